#include "png_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <png.h>
#include <unistd.h>
#include <vector>

namespace qoremu {

namespace {

constexpr png_uint_32 kDotsPerMetre = 7992;  // 203 dpi

// libpng reports errors by longjmp; keep everything with a destructor out
// of the function that calls setjmp.
bool encode(FILE* file, const Bitmap& bitmap, const std::vector<png_bytep>& rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(bitmap.width()), png_uint_32(bitmap.height()), 1, PNG_COLOR_TYPE_GRAY,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_pHYs(png, info, kDotsPerMetre, kDotsPerMetre, PNG_RESOLUTION_METER);
    png_write_info(png, info);
    png_set_invert_mono(png);  // our bits are ink; in the file 0 is black
    png_write_image(png, const_cast<png_bytepp>(rows.data()));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool write_png(const std::string& path, const Bitmap& bitmap, std::string* error) {
    if (bitmap.width() <= 0 || bitmap.height() <= 0) {
        if (error) *error = "empty image";
        return false;
    }
    std::string temporary = path + ".part";
    FILE* file = std::fopen(temporary.c_str(), "wbe");
    if (!file) {
        if (error) *error = temporary + ": " + std::strerror(errno);
        return false;
    }
    std::vector<png_bytep> rows(size_t(bitmap.height()));
    for (int y = 0; y < bitmap.height(); ++y) rows[size_t(y)] = const_cast<png_bytep>(bitmap.row(y));
    bool ok = encode(file, bitmap, rows);
    ok = (std::fclose(file) == 0) && ok;
    if (ok && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
    if (error) *error = path + ": could not write the image";
    ::unlink(temporary.c_str());
    return false;
}

}  // namespace qoremu
