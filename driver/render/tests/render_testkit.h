// Test support for the rendering driver: an installed driver folder with a
// description file and the stand-in spooler-side module, a spooler that
// knows one printer (linked into the test program, taking the place of the
// client calls the engine and the driver make), and readers of what the
// stand-in received.
#pragma once

#include "common/exdevmode.h"
#include "qor/ddi.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace rendertest {

inline constexpr char16_t kPrinter[] = u"ZEM Test";
inline constexpr DWORD kJobId = 41;

// Description-file text (CR LF lines) with the papers the tests use:
//   768  576 x 2376 dots, the default
//   300  577 x 40 dots, offsets 32 / 16 / 8
//   301  432 x 8000 dots
std::string test_description();

// Creates $QOR_ROOT/drivers/3 with QORKPDN5, the stand-in module (as
// Name=) and the description file, and registers the test printer.
void install_driver(const std::string& description = test_description());

// The path of the installed driver module (for CreateDCW).
std::u16string driver_path();

// A device mode with the description's defaults and the given changes.
struct DevmodeChanges {
    BYTE font = 0;
    BYTE bright = 150;
    SHORT orientation = DMORIENT_PORTRAIT;
    SHORT paper = 768;
    WORD code_page = 1252;
};
EXDEVMODE make_devmode(const DevmodeChanges& changes = {});

HDC create_dc(const EXDEVMODE& devmode);

// What the stand-in recorded.
std::vector<std::string> calls();
std::vector<uint8_t> stream();

struct Record {
    uint16_t type = 0;
    uint32_t length = 0;             // the header's payload length
    std::vector<uint8_t> bytes;      // the whole write (image writes: the image)
    bool image = false;              // the write after a band record
};
// Splits the stream along the recorded writes.
std::vector<Record> records();
std::vector<uint16_t> record_types();

// Calls the fake spooler saw: "StartDocPrinter", "EndDocPrinter", "AbortPrinter".
std::vector<std::string> spooler_calls();

// Prints a document of `pages` pages; draw(page) fills each page.
// Returns false at the first call that fails.
bool print_document(HDC hdc, int pages, const std::function<void(int)>& draw = {});

// The grey image of the n-th band write (from 0), `width` pixels per row.
struct GreyImage {
    DWORD width = 0, height = 0, stride = 0;
    std::vector<uint8_t> bytes;
    uint8_t at(DWORD x, DWORD y) const { return bytes[static_cast<size_t>(y) * stride + x]; }
};
GreyImage grey_image(size_t index, DWORD width);

class InstalledDriver : public ::testing::Test {
protected:
    void SetUp() override { install_driver(); }
};

}  // namespace rendertest
