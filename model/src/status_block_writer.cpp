#include "status_block_writer.h"

#include "common/blocks_shared.h"
#include "common/status.h"

#include <cstring>
#include <mutex>

namespace qor::model {

namespace {

std::mutex g_mutex;  // guards g_block within this process
blocks::MappedBlock g_block;

template <class Change>
bool update(Change change) {
    std::lock_guard guard(g_mutex);
    if (!g_block) {
        g_block = blocks::create_status_block(kStatusBlockSize);
        if (!g_block) return false;
    }
    blocks::BlockLock lock(names::kStatusMutex);
    if (!lock.held()) return false;
    auto* block = g_block.as<blocks::StatusBlock>();
    change(*block);
    DWORD counter;
    auto* bytes = g_block.as<BYTE>();
    std::memcpy(&counter, bytes + kUpdateCounterOffset, sizeof counter);
    ++counter;
    std::memcpy(bytes + kUpdateCounterOffset, &counter, sizeof counter);
    return true;
}

}  // namespace

bool ensure_status_block() {
    std::lock_guard guard(g_mutex);
    if (!g_block) g_block = blocks::create_status_block(kStatusBlockSize);
    return bool(g_block);
}

void release_status_block() {
    std::lock_guard guard(g_mutex);
    g_block = {};
}

bool store_printer_status(DWORD status) {
    return update([&](blocks::StatusBlock& block) {
        blocks::write_status(block, status & status::kAllPrinterBits);
        blocks::set_no_connection(block, false);
        block.control |= status::kControlAnnounce;
    });
}

bool store_no_answer() {
    return update([](blocks::StatusBlock& block) {
        blocks::set_no_connection(block, true);
        block.control &= ~status::kControlAnnounce;
    });
}

DWORD last_printer_status() {
    std::lock_guard guard(g_mutex);
    if (!g_block) return 0;
    blocks::BlockLock lock(names::kStatusMutex);
    DWORD status = 0;
    if (lock.held()) blocks::read_status(*g_block.as<blocks::StatusBlock>(), &status);
    return status;
}

}  // namespace qor::model
