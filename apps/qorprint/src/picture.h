// Images to print: PNG and JPEG files decoded into 24-bit top-down rows as
// the graphics engine takes them (blue, green, red; rows padded to 4 bytes).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Picture {
    int width = 0;
    int height = 0;
    size_t stride = 0;  // bytes per row: width * 3 rounded up to 4
    std::vector<uint8_t> bgr;
};

enum class FileKind { Png, Jpeg, Text };

// What a file holds, by its first bytes: PNG and JPEG signatures, anything
// else is text. False with a message when the file cannot be read.
bool SniffFile(const std::string& path, FileKind* kind, std::string* error);

// The whole file; false with a message when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error);

// Decodes a PNG or JPEG file; transparent pixels are laid on white paper.
// False with a message for unreadable or damaged files and pictures too
// large to print (more than 65535 pixels a side).
bool LoadPicture(const std::string& path, FileKind kind, Picture* picture, std::string* error);
