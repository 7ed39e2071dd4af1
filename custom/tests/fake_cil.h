// A scripted QORCIL for the tool's tests: each CommQorPrinterData call
// takes the next reply piece, and can be made to hang until released.
#pragma once

#include "exchange.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace fakecil {

struct Script {
    DWORD open_result = 0;
    std::deque<std::vector<BYTE>> pieces;  // received per call
    DWORD send_per_call = 0xFFFFFFFF;      // bytes taken per call (all by default)
    DWORD comm_result = 0;
    bool hang = false;                     // calls block until release()
    // What was seen.
    std::string opened_name;
    std::vector<BYTE> sent;
    int opens = 0, calls = 0, closes = 0;
};

Script& script();  // under lock() only
std::unique_lock<std::mutex> lock();
void reset();
void release();  // ends hanging calls
custom::CilLink link();
// Short pauses and limits for tests; `after_time_out` as given.
custom::ExchangeTiming fast_timing(std::chrono::milliseconds after_time_out);

}  // namespace fakecil
