// Decoding the images qorprint accepts, and refusing what it cannot print.
#include "picture.h"

#include "qortest.h"

#include <gtest/gtest.h>
#include <png.h>

#include <fstream>

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
