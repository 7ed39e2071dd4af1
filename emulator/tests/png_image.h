// Test side: tickets read back with libpng's reader, and expected images
// drawn by hand, so goldens do not depend on the emulator's own code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace emutest {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> ink;  // 1 = black

    Image() = default;
    Image(int w, int h) : width(w), height(h), ink(size_t(w) * size_t(h), 0) {}
    bool at(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height && ink[size_t(y * width + x)]; }
    void set(int x, int y) {
        if (x >= 0 && y >= 0 && x < width && y < height) ink[size_t(y * width + x)] = 1;
    }
    // Packed raster bytes (first dot in bit 0x80) drawn at x, y.
    void raster(int x, int y, const std::vector<uint8_t>& row_bytes);
    // The outline the printer prints for a missing character, in a cell at x, y.
    void box(int x, int y, int w, int h);
    // Ink bounding box within a region; false when the region is blank.
    bool ink_bounds(int x0, int y0, int x1, int y1, int* left, int* top, int* right, int* bottom) const;
    int ink_count(int x0, int y0, int x1, int y1) const;
};

// False with a reason when the file is not a readable PNG.
bool read_png(const std::string& path, Image* image, std::string* error);
// "" when equal, else where they first differ.
std::string compare(const Image& actual, const Image& expected);

}  // namespace emutest
