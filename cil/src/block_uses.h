// The Status, Data and Reply blocks as this process maps them: one mapping
// per block with a use count. The first user maps, later users share the
// view, the last one unmaps and closes.
#pragma once

#include "common/blocks_shared.h"

#include <mutex>

namespace qor::cil {

enum class Block { Status, Data, Reply };

class BlockUses {
public:
    class Use {
    public:
        Use() = default;
        Use(Use&& other) noexcept;
        Use& operator=(Use&&) = delete;
        Use(const Use&) = delete;
        ~Use();
        explicit operator bool() const { return view_ != nullptr; }
        template <class View>
        View* as() const { return static_cast<View*>(view_); }

    private:
        friend class BlockUses;
        Use(BlockUses* owner, Block block, void* view) : owner_(owner), block_(block), view_(view) {}
        BlockUses* owner_ = nullptr;
        Block block_ = Block::Status;
        void* view_ = nullptr;
    };

    // Empty when the block cannot be mapped (the Status block is only ever
    // opened: it exists while the monitor side keeps it).
    Use use(Block block);

private:
    void release(Block block);

    struct Slot {
        blocks::MappedBlock mapping;
        unsigned uses = 0;
    };
    std::mutex mutex_;
    Slot slots_[3];
};

}  // namespace qor::cil
