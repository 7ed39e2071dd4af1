#include "exchange_blocks.h"

#include "common/blocks_shared.h"
#include "common/status.h"

#include <mutex>

namespace qor::model {

namespace {

// Each block is mapped once per process and kept, as QORCIL does.
blocks::MappedBlock& mapped(const char* name, blocks::MappedBlock& slot, std::mutex& mutex) {
    std::lock_guard lock(mutex);
    if (!slot) slot = blocks::map_exchange_block(name);
    return slot;
}

std::mutex g_reply_mutex, g_data_mutex;
blocks::MappedBlock g_reply, g_data;

}  // namespace

DWORD append_to_reply_block(const BYTE* bytes, size_t count) {
    if (count == 0) return 0;
    auto& block = mapped(names::kReplyBlock, g_reply, g_reply_mutex);
    if (!block) return 0;
    blocks::BlockLock lock(names::kReplyMutex);
    if (!lock.held()) return 0;
    return blocks::reply_append(*block.as<blocks::ReplyBlock>(), bytes, count);
}

DWORD drain_data_block(const std::function<DWORD(const BYTE*, DWORD)>& send) {
    auto& block = mapped(names::kDataBlock, g_data, g_data_mutex);
    if (!block) return 0;
    blocks::BlockLock lock(names::kDataMutex);
    if (!lock.held()) return 0;
    const BYTE* staged = nullptr;
    const DWORD count = blocks::data_staged(*block.as<blocks::DataBlock>(), &staged);
    return count ? send(staged, count) : 0;
}

}  // namespace qor::model
