// Helpers for driving QORCPDN7 from tests, benchmarks and the fuzz target:
// device modes and job-stream records built by hand, and a recorder that
// stands in for WritePrinter.
#pragma once

#include "common/exdevmode.h"
#include "qor/base.h"

#include <cstdint>
#include <string>
#include <vector>

namespace spooltest {

using Bytes = std::vector<uint8_t>;

// A device mode with a valid settings block: portrait, normal feed, the
// given printable area in dots, threshold dithering, standard mode, full cut.
EXDEVMODE MakeDevmode(LONG area_width, LONG area_length);

Bytes DevmodeRecord(const EXDEVMODE& devmode);
Bytes EndPageRecord();
Bytes BandRecord();
Bytes PassThroughRecord(const Bytes& data);

struct TextItemSpec {
    LONG x;
    LONG y;
    uint8_t lead;
    uint8_t code;
};
Bytes TextRecord(const EXDEVMODE& devmode, LONG x0, LONG y0, LONG width, LONG height, bool double_byte,
                 const std::vector<TextItemSpec>& items);

// The writes the driver made, in order; each call's bytes kept apart.
class Recorder {
public:
    Recorder();   // installs itself in place of WritePrinter
    ~Recorder();  // puts WritePrinter back
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    const std::vector<Bytes>& writes() const;
    Bytes all() const;
    void clear();
    // From the next write on, writes fail with this error (0: succeed again).
    void fail_with(DWORD error);
    // Counts bytes without keeping them (for benchmarks).
    void count_only(bool on);
    uint64_t bytes() const;
};

// The job handle's entry points, called directly.
struct Job {
    explicit Job(HANDLE printer = reinterpret_cast<HANDLE>(0x1234));
    ~Job();
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;
    BOOL write(const Bytes& bytes, DWORD* written = nullptr);
    BOOL write(const void* bytes, DWORD length, DWORD* written = nullptr);
    HANDLE handle;
};

// A grey page image: white rows, black (or grey) rectangles painted in.
struct GreyImage {
    GreyImage(LONG image_width, LONG image_rows);
    void Paint(LONG x, LONG y, LONG w, LONG h, uint8_t grey = 0);
    LONG width;
    LONG rows;
    size_t stride;  // width rounded up to 4
    Bytes pixels;
};

// A whole page: device mode record, band record and image, end of page.
void PrintPage(Job& job, const EXDEVMODE& devmode, const GreyImage& image);

// The 35 bytes every job begins with.
Bytes JobStartBytes();

// Position of `needle` in `haystack` from `from`, or npos.
size_t Find(const Bytes& haystack, const Bytes& needle, size_t from = 0);
std::string Hex(const Bytes& bytes);

}  // namespace spooltest
