// Named blocks and their mutexes through the platform's kernel objects.
#include "common/blocks_shared.h"

#include "common/status.h"
#include "qor/kernel.h"

#include <chrono>
#include <thread>
#include <utility>

namespace qor::blocks {

MappedBlock::MappedBlock(MappedBlock&& other) noexcept
    : mapping_(std::exchange(other.mapping_, nullptr)), view_(std::exchange(other.view_, nullptr)) {}

MappedBlock& MappedBlock::operator=(MappedBlock&& other) noexcept {
    if (this != &other) {
        release();
        mapping_ = std::exchange(other.mapping_, nullptr);
        view_ = std::exchange(other.view_, nullptr);
    }
    return *this;
}

MappedBlock::~MappedBlock() { release(); }

void MappedBlock::release() {
    if (view_) UnmapViewOfFile(view_);
    if (mapping_) CloseHandle(mapping_);
    view_ = nullptr;
    mapping_ = nullptr;
}

namespace {

MappedBlock map_whole(HANDLE mapping, DWORD access) {
    if (!mapping) return {};
    void* view = MapViewOfFile(mapping, access, 0, 0, 0);
    if (!view) {
        const DWORD error = GetLastError();
        CloseHandle(mapping);
        SetLastError(error);
        return {};
    }
    return MappedBlock(mapping, view);
}

MappedBlock create_named(const char* name, DWORD size) {
    if (size < kStatusBlockMinSize) size = kStatusBlockMinSize;
    return map_whole(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name),
                     FILE_MAP_ALL_ACCESS);
}

}  // namespace

MappedBlock create_status_block(DWORD size) { return create_named(names::kStatusBlock, size); }

MappedBlock open_status_block() {
    return map_whole(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, names::kStatusBlock), FILE_MAP_WRITE);
}

MappedBlock map_exchange_block(const char* name) { return create_named(name, kExchangeBlockSize); }

Presence probe_status_block() {
    for (int attempt = 0; attempt < 2; ++attempt) {
        HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, names::kStatusBlock);
        if (mapping) {
            CloseHandle(mapping);
            return Presence::Present;
        }
        if (GetLastError() == ERROR_FILE_NOT_FOUND) return Presence::Missing;
        if (attempt == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return Presence::Unknown;
}

BlockLock::BlockLock(const char* mutex_name, DWORD timeout_ms, bool accept_abandoned) {
    mutex_ = CreateMutexA(nullptr, FALSE, mutex_name);
    if (!mutex_) return;
    const DWORD result = WaitForSingleObject(mutex_, timeout_ms);
    // An abandoned acquisition still owns the mutex, so it must be released
    // even when the caller does not count it as held.
    owned_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    held_ = result == WAIT_OBJECT_0 || (accept_abandoned && result == WAIT_ABANDONED);
}

BlockLock::~BlockLock() {
    if (owned_) ReleaseMutex(mutex_);
    if (mutex_) CloseHandle(mutex_);
}

}  // namespace qor::blocks
