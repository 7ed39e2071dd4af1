#include "status_reads.h"

#include "common/blocks_shared.h"
#include "common/status.h"

namespace qor::cil {

std::optional<blocks::StatusBlock> read_status_block(Library& library) {
    auto use = library.blocks.use(Block::Status);
    if (!use) return std::nullopt;
    blocks::BlockLock lock(names::kStatusMutex, 5000, false);
    if (!lock.held()) return std::nullopt;
    const auto* block = use.as<const blocks::StatusBlock>();
    return blocks::StatusBlock{block->control, block->status};
}

}  // namespace qor::cil
