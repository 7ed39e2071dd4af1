// Test support for the engine's tests: device contexts on the QORGDITEST
// driver named directly, and readers of what the driver recorded.
#pragma once

#include "gditest_driver.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace gditest {

struct Settings {
    LONG width = 64, height = 48;
    LONG band_height = 16;
    DWORD fonts = 0;
    DWORD fail = 0;
};

GDITEST_DEVMODE devmode(const Settings& settings = {});
std::u16string driver_path();
inline constexpr char16_t kDevice[] = u"Engine Test";
HDC create_dc(const Settings& settings = {});

// A page as the driver composed it from its bands.
struct Image {
    LONG width = 0, height = 0;
    std::vector<BYTE> bytes;
    ULONG at(LONG x, LONG y) const;  // 0xRRGGBB
    // Smallest rectangle (exclusive right and bottom) holding every pixel
    // that is not `background`; all zero when there is none.
    RECT ink(ULONG background = 0xFFFFFF) const;
    size_t count(ULONG colour) const;
    bool operator==(const Image& other) const = default;
};

// The driver module, kept loaded by the test so its records outlive the
// device contexts; each test starts with an empty record.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::vector<std::string> log() const;
    // Log lines that start with `prefix`.
    std::vector<std::string> lines(const std::string& prefix) const;
    size_t page_count() const;
    Image page(ULONG index) const;
    void clear() const;

private:
    HMODULE module_ = nullptr;
    PFN_GdiTestLog log_ = nullptr;
    PFN_GdiTestClear clear_ = nullptr;
    PFN_GdiTestPage page_ = nullptr;
};

// One document of one page drawn by `draw`; false at the first failing call.
bool print_page(HDC hdc, const std::function<void()>& draw);

// The engine objects that `action` created and left alive.
size_t objects_left_by(const std::function<void()>& action);

// A bitmap header with a colour table, ready for StretchDIBits.
struct Dib {
    std::vector<BYTE> info;  // header and colour table or masks
    std::vector<BYTE> bits;
    const BITMAPINFO* header() const { return reinterpret_cast<const BITMAPINFO*>(info.data()); }
};
// `rows` top row first, one 0xRRGGBB per pixel (for 1 and 8 bits: palette
// indexes into `palette`), stored bottom-up unless `top_down`.
Dib make_dib(WORD bits, const std::vector<std::vector<ULONG>>& rows, const std::vector<ULONG>& palette = {},
             bool top_down = false);

}  // namespace gditest

// Rectangles compared and printed by the tests (found by argument lookup).
inline bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline std::ostream& operator<<(std::ostream& out, const RECT& r) {
    return out << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}
