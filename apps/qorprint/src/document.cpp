#include "document.h"

#include "line_breaker.h"

#include <algorithm>
#include <cstring>

namespace {

// Decodes one UTF-8 sequence at `i`; ill-formed input gives U+FFFD.
char32_t NextCodePoint(const std::string& s, size_t* i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(*i);
    if (lead < 0x80) {
        ++*i;
        return lead;
    }
    const int extra = (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
    if (extra < 0 || *i + static_cast<size_t>(extra) >= s.size()) {
        ++*i;
        return 0xFFFD;
    }
    char32_t cp = lead & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        const unsigned char next = byte(*i + static_cast<size_t>(k));
        if ((next & 0xC0) != 0x80) {
            ++*i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    *i += static_cast<size_t>(extra) + 1;
    static const char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFD;
    return cp;
}

void Append(std::u16string* out, char32_t cp) {
    if (cp < 0x10000) {
        out->push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

}  // namespace

std::vector<std::u16string> SplitLines(const std::string& utf8) {
    std::vector<std::u16string> lines(1);
    size_t i = 0;
    if (utf8.rfind("\xEF\xBB\xBF", 0) == 0) i = 3;  // byte-order mark
    while (i < utf8.size()) {
        const char32_t cp = NextCodePoint(utf8, &i);
        if (cp == '\r') continue;
        if (cp == '\n') {
            lines.emplace_back();
        } else if (cp == '\t') {
            do lines.back().push_back(u' ');
            while (lines.back().size() % 8 != 0);
        } else if (cp < 0x20 || cp == 0x7F) {
            continue;  // other control characters have no picture
        } else {
            Append(&lines.back(), cp);
        }
    }
    if (lines.size() > 1 && lines.back().empty()) lines.pop_back();  // the file's last line end
    return lines;
}

std::vector<std::u16string> WrapLine(const std::u16string& line, size_t columns) {
    return BreakLine(line, static_cast<long>(columns), [](std::u16string_view piece) {
        return static_cast<long>(piece.size());
    });
}

struct Document::Part {
    std::string name;
    int pages = 0;
    // A picture, drawn draw_width x draw_height dots before it is cut into pages.
    const Picture* picture = nullptr;
    int draw_width = 0;
    int64_t draw_height = 0;
    // Text.
    HFONT font = nullptr;
    std::vector<std::u16string> lines;
    int line_height = 0;
    int lines_per_page = 0;

    Part() = default;
    Part(const Part&) = delete;
    Part& operator=(const Part&) = delete;
    ~Part() {
        if (font) DeleteObject(font);
    }
};

Document::Document(HDC dc, std::function<void(const std::string&)> progress)
    : dc_(dc), progress_(std::move(progress)) {
    width_ = GetDeviceCaps(dc_, HORZRES);
    height_ = GetDeviceCaps(dc_, VERTRES);
}

Document::~Document() {
    if (started_) AbortDoc(dc_);
}

bool Document::AddPicture(const Picture& picture, bool scale, const std::string& name, std::string* error) {
    if (width_ <= 0 || height_ <= 0) {
        *error = "the printer reports no printable area";
        return false;
    }
    auto part = std::make_unique<Part>();
    part->name = name;
    part->picture = &picture;
    part->draw_width = scale ? width_ : picture.width;
    part->draw_height =
        scale ? std::max<int64_t>(1, int64_t{picture.height} * width_ / picture.width) : picture.height;
    part->pages = static_cast<int>((part->draw_height + height_ - 1) / height_);
    if (!scale && picture.width > width_)
        warnings_.push_back(name + ": " + std::to_string(picture.width) + " dots wide, the printable width is " +
                            std::to_string(width_) + "; without scaling the right " +
                            std::to_string(picture.width - width_) + " dots are not printed");
    parts_.push_back(std::move(part));
    return true;
}

bool Document::AddText(const std::string& utf8, const TextStyle& style, const std::string& name,
                       std::string* error) {
    if (width_ <= 0 || height_ <= 0) {
        *error = "the printer reports no printable area";
        return false;
    }
    LOGFONTW logfont;
    std::memset(&logfont, 0, sizeof(logfont));
    const std::string face = style.device_font ? "QOR Original" : style.face;
    for (size_t i = 0; i < face.size() && i < LF_FACESIZE - 1; ++i) logfont.lfFaceName[i] = static_cast<WCHAR>(face[i]);
    logfont.lfHeight = style.device_font ? style.device_cell : style.height;
    logfont.lfWeight = FW_NORMAL;
    logfont.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    auto part = std::make_unique<Part>();
    part->name = name;
    part->font = CreateFontIndirectW(&logfont);
    if (!part->font) {
        *error = "no font '" + face + "' (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    part->line_height = style.device_font ? style.device_cell + style.device_cell / 4 : style.height * 5 / 4;
    part->lines_per_page = std::max(1, height_ / part->line_height);
    // The printer places a device character only while a whole double-width
    // cell still fits, so device text keeps half a cell clear at the right.
    const long width = style.device_font ? width_ - style.device_cell / 2 : width_;
    HGDIOBJ previous = SelectObject(dc_, part->font);
    bool measured = true;
    const MeasureText measure = [&](std::u16string_view piece) -> long {
        SIZE extent{0, 0};
        if (!GetTextExtentPoint32W(dc_, piece.data(), static_cast<int>(piece.size()), &extent)) measured = false;
        return extent.cx;
    };
    for (const std::u16string& line : SplitLines(utf8))
        for (std::u16string& piece : BreakLine(line, width, measure)) part->lines.push_back(std::move(piece));
    SelectObject(dc_, previous);
    if (!measured) {
        *error = "the text cannot be measured in '" + face + "' (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    const size_t per_page = static_cast<size_t>(part->lines_per_page);
    part->pages = static_cast<int>((part->lines.size() + per_page - 1) / per_page);
    parts_.push_back(std::move(part));
    return true;
}

int Document::planned_pages() const {
    int64_t total = 0;
    for (const auto& part : parts_) total += part->pages;
    return static_cast<int>(std::min<int64_t>(total, 0x7FFFFFFF));
}

std::vector<Document::FilePages> Document::pages_per_file() const {
    std::vector<FilePages> files;
    for (const auto& part : parts_) files.push_back({part->name, part->pages});
    return files;
}

bool Document::Print(const std::string& title, std::string* error) {
    std::u16string name;
    for (size_t i = 0; i < title.size();) Append(&name, NextCodePoint(title, &i));
    DOCINFOW doc{sizeof(DOCINFOW), name.c_str(), nullptr, nullptr, 0};
    if (StartDocW(dc_, &doc) <= 0) {
        *error = "the job could not be started (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    started_ = true;
    for (const auto& part : parts_)
        if (!(part->picture ? PrintPicture(*part, error) : PrintText(*part, error))) return false;
    started_ = false;
    if (EndDoc(dc_) <= 0) {
        *error = "the job could not be completed (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    return true;
}

bool Document::BeginPage(const std::string& name, std::string* error) {
    ++pages_;
    if (progress_) progress_("page " + std::to_string(pages_) + " (" + name + ")");
    if (StartPage(dc_) <= 0) {
        *error = "page " + std::to_string(pages_) + " could not be started (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    return true;
}

bool Document::EndThisPage(std::string* error) {
    if (EndPage(dc_) <= 0) {
        *error = "page " + std::to_string(pages_) + " could not be printed (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    return true;
}

bool Document::PrintPicture(const Part& part, std::string* error) {
    const Picture& picture = *part.picture;
    const int64_t drawn_height = part.draw_height;
    for (int64_t top = 0; top < drawn_height; top += height_) {
        const int64_t bottom = std::min<int64_t>(drawn_height, top + height_);
        // The source rows this page shows; each page gets at least one.
        const int64_t src_top = top * picture.height / drawn_height;
        const int64_t src_bottom = std::max(src_top + 1, bottom * picture.height / drawn_height);
        BITMAPINFO info;
        std::memset(&info, 0, sizeof(info));
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = picture.width;
        info.bmiHeader.biHeight = -static_cast<LONG>(src_bottom - src_top);  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        if (!BeginPage(part.name, error)) return false;
        const uint8_t* rows = picture.bgr.data() + static_cast<size_t>(src_top) * picture.stride;
        if (StretchDIBits(dc_, 0, 0, part.draw_width, static_cast<int>(bottom - top), 0, 0, picture.width,
                          static_cast<int>(src_bottom - src_top), rows, &info, DIB_RGB_COLORS, SRCCOPY) == 0) {
            *error = "the image could not be drawn (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
        if (!EndThisPage(error)) return false;
    }
    return true;
}

bool Document::PrintText(const Part& part, std::string* error) {
    const size_t per_page = static_cast<size_t>(part.lines_per_page);
    for (size_t first = 0; first < part.lines.size(); first += per_page) {
        if (!BeginPage(part.name, error)) return false;
        HGDIOBJ previous = SelectObject(dc_, part.font);
        SetBkMode(dc_, TRANSPARENT);
        SetTextColor(dc_, RGB(0, 0, 0));
        const size_t last = std::min(part.lines.size(), first + per_page);
        bool drawn = true;
        for (size_t i = first; drawn && i < last; ++i) {
            const std::u16string& line = part.lines[i];
            if (line.empty()) continue;
            const int y = static_cast<int>(i - first) * part.line_height;
            drawn = ExtTextOutW(dc_, 0, y, 0, nullptr, line.c_str(), static_cast<UINT>(line.size()), nullptr) != FALSE;
        }
        SelectObject(dc_, previous);
        if (!drawn) {
            *error = "text could not be drawn (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
        if (!EndThisPage(error)) return false;
    }
    return true;
}
