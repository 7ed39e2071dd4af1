// Decoding the images qorprint accepts, and refusing what it cannot print.
#include "picture.h"

#include "qortest.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <fstream>
#include <jpeglib.h>

namespace {

std::string WritePng(const std::string& name, int width, int height, bool alpha) {
    const std::string path = qortest::sandbox() + "/" + name;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    const int channels = alpha ? 4 : 3;
    std::vector<uint8_t> pixels(static_cast<size_t>(width * height * channels), 0);
    for (int i = 0; i < width * height; ++i) {
        pixels[static_cast<size_t>(i * channels)] = 200;  // red
        if (alpha) pixels[static_cast<size_t>(i * channels + 3)] = i == 0 ? 0 : 255;
    }
    EXPECT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr));
    return path;
}

TEST(Picture, PngRowsArePaddedBgrAndTransparencyIsPaper) {
    const std::string path = WritePng("red.png", 5, 2, true);
    FileKind kind;
    std::string error;
    ASSERT_TRUE(SniffFile(path, &kind, &error));
    EXPECT_EQ(kind, FileKind::Png);
    Picture picture;
    ASSERT_TRUE(LoadPicture(path, kind, &picture, &error)) << error;
    EXPECT_EQ(picture.width, 5);
    EXPECT_EQ(picture.height, 2);
    EXPECT_EQ(picture.stride, 16u);
    EXPECT_EQ(picture.bgr[0], 0xFF) << "the transparent pixel shows white paper";
    EXPECT_EQ(picture.bgr[3], 0);     // blue
    EXPECT_EQ(picture.bgr[5], 200);   // red
    EXPECT_EQ(picture.bgr[16 + 5], 200);
}

// A grey ramp from left to right, written as a baseline JPEG.
std::string WriteJpeg(const std::string& name, int width, int height) {
    const std::string path = qortest::sandbox() + "/" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
    for (int x = 0; x < width; ++x) std::fill_n(&row[static_cast<size_t>(x) * 3], 3, static_cast<uint8_t>(x * 255 / (width - 1)));
    for (int y = 0; y < height; ++y) {
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
    return path;
}

TEST(Picture, JpegDecodesToPaddedBgrRows) {
    const std::string path = WriteJpeg("ramp.jpg", 33, 9);
    FileKind kind;
    std::string error;
    ASSERT_TRUE(SniffFile(path, &kind, &error));
    EXPECT_EQ(kind, FileKind::Jpeg);
    Picture picture;
    ASSERT_TRUE(LoadPicture(path, kind, &picture, &error)) << error;
    EXPECT_EQ(picture.width, 33);
    EXPECT_EQ(picture.height, 9);
    EXPECT_EQ(picture.stride, 100u);
    for (int y = 0; y < 9; ++y) {
        const uint8_t* row = picture.bgr.data() + static_cast<size_t>(y) * picture.stride;
        EXPECT_LT(row[0], 12);
        EXPECT_GT(row[32 * 3 + 2], 243);
        EXPECT_NEAR(row[16 * 3 + 1], 127, 12);
    }
}

TEST(Picture, TextAndDamagedFilesAreToldApart) {
    const std::string text = qortest::sandbox() + "/note.txt";
    std::ofstream(text) << "hello\n";
    FileKind kind;
    std::string error;
    ASSERT_TRUE(SniffFile(text, &kind, &error));
    EXPECT_EQ(kind, FileKind::Text);

    const std::string broken = qortest::sandbox() + "/broken.png";
    std::ofstream(broken, std::ios::binary) << "\x89PNG\r\n\x1A\n garbage";
    ASSERT_TRUE(SniffFile(broken, &kind, &error));
    EXPECT_EQ(kind, FileKind::Png);
    Picture picture;
    EXPECT_FALSE(LoadPicture(broken, kind, &picture, &error));
    EXPECT_NE(error.find("PNG"), std::string::npos);

    const std::string jpeg = qortest::sandbox() + "/broken.jpg";
    std::ofstream(jpeg, std::ios::binary) << "\xFF\xD8\xFF\xE0 not really";
    ASSERT_TRUE(SniffFile(jpeg, &kind, &error));
    EXPECT_EQ(kind, FileKind::Jpeg);
    EXPECT_FALSE(LoadPicture(jpeg, kind, &picture, &error));
    EXPECT_NE(error.find("JPEG"), std::string::npos);

    EXPECT_FALSE(SniffFile(qortest::sandbox() + "/missing.png", &kind, &error));
    EXPECT_NE(error.find("No such file"), std::string::npos);
}

}  // namespace
