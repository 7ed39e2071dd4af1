#include "block_uses.h"

#include "common/status.h"

#include <utility>

namespace qor::cil {

BlockUses::Use::Use(Use&& other) noexcept
    : owner_(std::exchange(other.owner_, nullptr)), block_(other.block_), view_(std::exchange(other.view_, nullptr)) {}

BlockUses::Use::~Use() {
    if (owner_) owner_->release(block_);
}

BlockUses::Use BlockUses::use(Block block) {
    std::lock_guard lock(mutex_);
    Slot& slot = slots_[static_cast<int>(block)];
    if (slot.uses == 0) {
        switch (block) {
        case Block::Status: slot.mapping = blocks::open_status_block(); break;
        case Block::Data: slot.mapping = blocks::map_exchange_block(names::kDataBlock); break;
        case Block::Reply: slot.mapping = blocks::map_exchange_block(names::kReplyBlock); break;
        }
        if (!slot.mapping) return {};
    }
    ++slot.uses;
    return Use(this, block, slot.mapping.as<void>());
}

void BlockUses::release(Block block) {
    std::lock_guard lock(mutex_);
    Slot& slot = slots_[static_cast<int>(block)];
    if (slot.uses > 0 && --slot.uses == 0) slot.mapping = {};
}

}  // namespace qor::cil
