#include "png_image.h"

#include <cstdio>
#include <png.h>

namespace emutest {

void Image::raster(int x, int y, const std::vector<uint8_t>& row_bytes) {
    for (size_t i = 0; i < row_bytes.size() * 8; ++i)
        if (row_bytes[i / 8] & (0x80 >> (i % 8))) set(x + int(i), y);
}

void Image::box(int x, int y, int w, int h) {
    for (int i = 1; i <= w - 2; ++i) {
        set(x + i, y + 1);
        set(x + i, y + h - 2);
    }
    for (int j = 1; j <= h - 2; ++j) {
        set(x + 1, y + j);
        set(x + w - 2, y + j);
    }
}

bool Image::ink_bounds(int x0, int y0, int x1, int y1, int* left, int* top, int* right, int* bottom) const {
    bool any = false;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (at(x, y)) {
                if (!any) {
                    *left = *right = x;
                    *top = *bottom = y;
                    any = true;
                }
                *left = std::min(*left, x);
                *right = std::max(*right, x);
                *top = std::min(*top, y);
                *bottom = std::max(*bottom, y);
            }
    return any;
}

int Image::ink_count(int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += at(x, y);
    return n;
}

namespace {

bool decode(FILE* file, Image* image) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    // Whatever the file's depth, read 8-bit grey: 0 black, 255 white.
    png_set_expand_gray_1_2_4_to_8(png);
    png_set_strip_16(png);
    png_set_rgb_to_gray_fixed(png, 1, -1, -1);
    png_set_strip_alpha(png);
    png_read_update_info(png, info);
    image->width = int(png_get_image_width(png, info));
    image->height = int(png_get_image_height(png, info));
    image->ink.assign(size_t(image->width) * size_t(image->height), 0);
    std::vector<png_byte> row(png_get_rowbytes(png, info));
    for (int y = 0; y < image->height; ++y) {
        png_read_row(png, row.data(), nullptr);
        for (int x = 0; x < image->width; ++x) image->ink[size_t(y * image->width + x)] = row[size_t(x)] < 128;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

}  // namespace

bool read_png(const std::string& path, Image* image, std::string* error) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        *error = "cannot open " + path;
        return false;
    }
    bool ok = decode(file, image);
    std::fclose(file);
    if (!ok) *error = "not a PNG: " + path;
    return ok;
}

std::string compare(const Image& actual, const Image& expected) {
    if (actual.width != expected.width || actual.height != expected.height)
        return "size " + std::to_string(actual.width) + "x" + std::to_string(actual.height) + ", expected " +
               std::to_string(expected.width) + "x" + std::to_string(expected.height);
    for (int y = 0; y < actual.height; ++y)
        for (int x = 0; x < actual.width; ++x)
            if (actual.at(x, y) != expected.at(x, y))
                return "dot " + std::to_string(x) + "," + std::to_string(y) + " is " +
                       (actual.at(x, y) ? "black" : "white");
    return "";
}

}  // namespace emutest
