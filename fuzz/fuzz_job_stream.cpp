// The spooler-side driver's job-stream reader: records with lengths, text
// records with item counts, band images for device modes of any geometry.
// Input: an optional device-mode prologue (first byte odd: the next 8 bytes
// choose a small page's width, length, mode, orientation, feed, method and
// font), then calls of [16-bit length][bytes] handed to DrvSplWritePrinter.
#include "spooldrv_testing.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

spooltest::Bytes Prologue(const uint8_t* p) {
    EXDEVMODE dm = spooltest::MakeDevmode(1 + (p[0] | (p[1] & 0x03) << 8), 1 + p[2]);
    dm.Mode = p[3] & 1;
    dm.dm.dmOrientation = static_cast<SHORT>(1 + (p[3] >> 1 & 1));
    PaperMetrix paper = dm.CurrentPaper;
    paper.Feed = (p[3] & 4) ? PAPER_FEED_ROTATED : 0;
    dm.CurrentPaper = paper;
    dm.dm.dmDitherType = p[4] % 7;
    dm.Font = p[5] % 3;
    dm.Kind = p[6] % 3;
    dm.Cut = p[7] % 3;
    return spooltest::DevmodeRecord(dm);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static spooltest::Recorder* recorder = new spooltest::Recorder();
    recorder->clear();
    spooltest::Job job;
    if (size >= 9 && (data[0] & 1)) {
        job.write(Prologue(data + 1));
        data += 9;
        size -= 9;
    }
    while (size >= 2) {
        size_t length = static_cast<size_t>(data[0] | data[1] << 8);
        data += 2;
        size -= 2;
        if (length > size) length = size;
        // A private copy, so reading past the call's bytes is caught.
        spooltest::Bytes call(data, data + length);
        job.write(call.data(), static_cast<DWORD>(call.size()));
        data += length;
        size -= length;
    }
    return 0;
}
