// The spooler's request decoding: frame headers, tagged fields and every
// record a request can carry, fed with arbitrary bytes.
#include "qor/spool/protocol.h"

#include <cstring>

using namespace qor::spool;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size >= sizeof(FrameHeader)) {
        FrameHeader h;
        std::memcpy(&h, data, sizeof h);
        check_header(h);
        data += sizeof h;
        size -= sizeof h;
    }
    {
        Reader r(data, size);
        PrinterInfo p;
        decode(r, p);
    }
    {
        Reader r(data, size);
        std::vector<JobInfo> jobs;
        decode_list(r, jobs);
    }
    {
        Reader r(data, size);
        DriverInfo d;
        decode(r, d);
    }
    {
        Reader r(data, size);
        PortInfo p;
        MonitorInfo m;
        decode(r, p);
        decode(r, m);
    }
    // Fields in whatever order the input's tags suggest, as the service's
    // handlers read them.
    Reader r(data, size);
    for (size_t i = 0; i < size && r.ok() && !r.at_end(); ++i) {
        switch (data[i] % 4) {
        case 0: r.u32(); break;
        case 1: r.u64(); break;
        case 2: r.str(); break;
        default: r.bytes(kMaxPrinterData); break;
        }
    }
    return 0;
}
