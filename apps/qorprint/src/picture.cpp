#include "picture.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>

namespace {

constexpr int kMaxSide = 65535;

size_t StrideOf(int width) { return (static_cast<size_t>(width) * 3 + 3) & ~size_t{3}; }

bool LoadPng(const std::string& path, Picture* picture, std::string* error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        *error = std::string("not a readable PNG image: ") + image.message;
        return false;
    }
    if (image.width == 0 || image.height == 0 || image.width > kMaxSide || image.height > kMaxSide) {
        png_image_free(&image);
        *error = "the image is " + std::to_string(image.width) + " x " + std::to_string(image.height) +
                 " pixels; at most 65535 a side can be printed";
        return false;
    }
    image.format = PNG_FORMAT_BGR;
    picture->width = static_cast<int>(image.width);
    picture->height = static_cast<int>(image.height);
    picture->stride = StrideOf(picture->width);
    picture->bgr.assign(picture->stride * image.height, 0xFF);
    png_color white{0xFF, 0xFF, 0xFF};
    if (!png_image_finish_read(&image, &white, picture->bgr.data(), static_cast<png_int_32>(picture->stride),
                               nullptr)) {
        *error = std::string("damaged PNG image: ") + image.message;
        return false;
    }
    return true;
}

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void JpegFail(j_common_ptr info) {
    auto* err = reinterpret_cast<JpegError*>(info->err);
    (*info->err->format_message)(info, err->message);
    std::longjmp(err->jump, 1);
}

// Only trivially destructible objects live between setjmp and longjmp
// here; `rows` belongs to the caller.
bool DecodeJpeg(FILE* file, std::vector<uint8_t>* rows, int* width, int* height, size_t* stride,
                char* message) {
    jpeg_decompress_struct info;
    JpegError err;
    info.err = jpeg_std_error(&err.manager);
    err.manager.error_exit = JpegFail;
    // A warning means damaged data (a truncated file, corrupt entropy
    // data); the decoder would fill the rest with grey, so it is refused.
    err.manager.emit_message = [](j_common_ptr common, int level) {
        if (level < 0) JpegFail(common);
    };
    if (setjmp(err.jump)) {
        std::strcpy(message, err.message);
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    if (info.output_width == 0 || info.output_height == 0 || info.output_width > kMaxSide ||
        info.output_height > kMaxSide) {
        std::snprintf(message, JMSG_LENGTH_MAX, "the image is %u x %u pixels; at most 65535 a side can be printed",
                      info.output_width, info.output_height);
        jpeg_destroy_decompress(&info);
        return false;
    }
    *width = static_cast<int>(info.output_width);
    *height = static_cast<int>(info.output_height);
    *stride = StrideOf(*width);
    rows->assign(*stride * info.output_height, 0xFF);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = rows->data() + *stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

bool LoadJpeg(const std::string& path, Picture* picture, std::string* error) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        *error = std::strerror(errno);
        return false;
    }
    char message[JMSG_LENGTH_MAX] = {};
    const bool ok = DecodeJpeg(file, &picture->bgr, &picture->width, &picture->height, &picture->stride, message);
    std::fclose(file);
    if (!ok) *error = std::string("damaged JPEG image: ") + message;
    return ok;
}

}  // namespace

bool SniffFile(const std::string& path, FileKind* kind, std::string* error) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        *error = std::strerror(errno);
        return false;
    }
    unsigned char head[8] = {};
    const size_t got = std::fread(head, 1, sizeof(head), file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        *error = "read error";
        return false;
    }
    static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (got == 8 && std::memcmp(head, kPng, 8) == 0) *kind = FileKind::Png;
    else if (got >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) *kind = FileKind::Jpeg;
    else *kind = FileKind::Text;
    return true;
}

bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        *error = std::strerror(errno);
        return false;
    }
    bytes->clear();
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0) bytes->append(chunk, got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) *error = "read error";
    return !failed;
}

bool LoadPicture(const std::string& path, FileKind kind, Picture* picture, std::string* error) {
    return kind == FileKind::Png ? LoadPng(path, picture, error) : LoadJpeg(path, picture, error);
}
