// The named shared-memory blocks as seen by one process: mapping, probing
// and the 5-second block locks.
#pragma once

#include "common/blocks.h"

namespace qor::blocks {

// A mapped view of one named block; unmapped and closed on destruction.
class MappedBlock {
public:
    MappedBlock() = default;
    MappedBlock(HANDLE mapping, void* view) : mapping_(mapping), view_(view) {}
    MappedBlock(MappedBlock&& other) noexcept;
    MappedBlock& operator=(MappedBlock&& other) noexcept;
    MappedBlock(const MappedBlock&) = delete;
    MappedBlock& operator=(const MappedBlock&) = delete;
    ~MappedBlock();

    explicit operator bool() const { return view_ != nullptr; }
    template <class Block>
    Block* as() const { return static_cast<Block*>(view_); }

private:
    void release();
    HANDLE mapping_ = nullptr;
    void* view_ = nullptr;
};

// Creates the Status block (its creator's side) or opens an existing one.
MappedBlock create_status_block(DWORD size);
// Opens the Status block for writing; empty when it does not exist.
MappedBlock open_status_block();
// Creates or opens the Data or Reply block (4112 bytes) by name.
MappedBlock map_exchange_block(const char* name);

enum class Presence { Present, Missing, Unknown };
// Whether the Status block exists, without keeping it open. A failure other
// than "no such object" is retried once after 50 ms.
Presence probe_status_block();

// One block mutex held for the life of the object: created or opened by
// name, waited for at most `timeout_ms`. An abandoned mutex counts as held
// only when `accept_abandoned` is set.
class BlockLock {
public:
    explicit BlockLock(const char* mutex_name, DWORD timeout_ms = 5000, bool accept_abandoned = true);
    BlockLock(const BlockLock&) = delete;
    BlockLock& operator=(const BlockLock&) = delete;
    ~BlockLock();

    bool held() const { return held_; }

private:
    HANDLE mutex_ = nullptr;
    bool owned_ = false;
    bool held_ = false;
};

}  // namespace qor::blocks
