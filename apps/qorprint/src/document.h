// One print job on a device context. Every file is laid out before the job
// starts (so the job's size is known and nothing is sent for a job that is
// refused): pictures scaled to the printable width and cut into pages, text
// broken into lines at the printable width and filled into pages.
#pragma once

#include "picture.h"

#include "qor/gdi.h"

#include <functional>
#include <memory>
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

    // Whole pages for the picture: scaled to the printable width, or at one
    // dot per pixel when `scale` is false (a wider picture is then cut at
    // the right edge, and a warning says how much).
    bool AddPicture(const Picture& picture, bool scale, const std::string& name, std::string* error);
    // UTF-8 text: lines broken at the printable width, pages filled.
    bool AddText(const std::string& utf8, const TextStyle& style, const std::string& name, std::string* error);

    // Pages the files laid out so far take, in all and per file.
    int planned_pages() const;
    struct FilePages {
        std::string name;
        int pages;
    };
    std::vector<FilePages> pages_per_file() const;
    // What the layout had to give up, one line each.
    const std::vector<std::string>& warnings() const { return warnings_; }

    // Prints the laid-out files as one job.
    bool Print(const std::string& title, std::string* error);
    int pages() const { return pages_; }

private:
    struct Part;
    bool PrintPicture(const Part& part, std::string* error);
    bool PrintText(const Part& part, std::string* error);
    bool BeginPage(const std::string& name, std::string* error);
    bool EndThisPage(std::string* error);

    HDC dc_;
    std::function<void(const std::string&)> progress_;
    int width_ = 0;
    int height_ = 0;
    std::vector<std::unique_ptr<Part>> parts_;
    std::vector<std::string> warnings_;
    bool started_ = false;
    int pages_ = 0;
};

// Text to UTF-16 lines: invalid UTF-8 becomes U+FFFD, tabs become spaces to
// the next multiple of 8, CR LF and LF end lines.
std::vector<std::u16string> SplitLines(const std::string& utf8);
// Breaks `line` into pieces of at most `columns` characters (each character
// one column) by the Unicode line-breaking rules.
std::vector<std::u16string> WrapLine(const std::u16string& line, size_t columns);
