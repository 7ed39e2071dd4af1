// A model module that keeps reply bytes but cannot parse them.
#include "qor/base.h"

#include <atomic>

namespace {
std::atomic<DWORD> g_bytes{0};
}

extern "C" QORAPI BOOL SetStatusRawData(HANDLE, LPBYTE, LPDWORD count) {
    g_bytes += *count;
    return TRUE;
}

extern "C" QORAPI DWORD RawOnlyBytesSeen(void) { return g_bytes.load(); }
