// One print job on a device context: pictures scaled to the printable
// width and cut into pages, text laid out in lines and pages.
#pragma once

#include "picture.h"

#include "qor/gdi.h"

#include <functional>
#include <string>
#include <vector>

struct TextStyle {
    bool device_font = false;  // the printer's resident font instead of TrueType
    int device_cell = 24;      // 24 or 16 dots
    std::string face;          // TrueType face
    int height = 24;           // TrueType height, dots
};

class Document {
public:
    // `progress` hears one line per page started.
    Document(HDC dc, std::function<void(const std::string&)> progress);
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;
    ~Document();

    bool Start(const std::string& title, std::string* error);
    // Whole pages for the picture: as wide as the printable area, as many
    // pages as its height needs.
    bool PrintPicture(const Picture& picture, const std::string& name, std::string* error);
    // UTF-8 text: lines wrapped at the printable width, pages filled.
    bool PrintText(const std::string& utf8, const TextStyle& style, const std::string& name, std::string* error);
    bool Finish(std::string* error);

    int pages() const { return pages_; }

private:
    bool BeginPage(const std::string& name, std::string* error);
    bool EndThisPage(std::string* error);

    HDC dc_;
    std::function<void(const std::string&)> progress_;
    int width_ = 0;
    int height_ = 0;
    bool started_ = false;
    int pages_ = 0;
};

// Text to UTF-16 lines: invalid UTF-8 becomes U+FFFD, tabs become spaces to
// the next multiple of 8, CR LF and LF end lines.
std::vector<std::u16string> SplitLines(const std::string& utf8);
// Breaks `line` into pieces of at most `columns` characters, at a space
// where one is near.
std::vector<std::u16string> WrapLine(const std::u16string& line, size_t columns);
