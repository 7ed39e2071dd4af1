#include "document.h"

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
    std::vector<std::u16string> pieces;
    if (columns == 0) columns = 1;
    size_t start = 0;
    while (line.size() - start > columns) {
        size_t cut = start + columns;
        const size_t space = line.rfind(u' ', cut);
        if (space != std::u16string::npos && space > start + columns / 2) cut = space;
        pieces.push_back(line.substr(start, cut - start));
        start = cut;
        while (start < line.size() && line[start] == u' ') ++start;
    }
    pieces.push_back(line.substr(start));
    return pieces;
}

Document::Document(HDC dc, std::function<void(const std::string&)> progress)
    : dc_(dc), progress_(std::move(progress)) {
    width_ = GetDeviceCaps(dc_, HORZRES);
    height_ = GetDeviceCaps(dc_, VERTRES);
}

Document::~Document() {
    if (started_) AbortDoc(dc_);
}

bool Document::Start(const std::string& title, std::string* error) {
    if (width_ <= 0 || height_ <= 0) {
        *error = "the printer reports no printable area";
        return false;
    }
    std::u16string name;
    for (size_t i = 0; i < title.size();) Append(&name, NextCodePoint(title, &i));
    DOCINFOW doc{sizeof(DOCINFOW), name.c_str(), nullptr, nullptr, 0};
    if (StartDocW(dc_, &doc) <= 0) {
        *error = "the job could not be started (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    started_ = true;
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

bool Document::PrintPicture(const Picture& picture, const std::string& name, std::string* error) {
    const int64_t scaled_height = std::max<int64_t>(1, int64_t{picture.height} * width_ / picture.width);
    for (int64_t top = 0; top < scaled_height; top += height_) {
        const int64_t bottom = std::min<int64_t>(scaled_height, top + height_);
        // The source rows this page shows; each page gets at least one.
        const int64_t src_top = top * picture.height / scaled_height;
        const int64_t src_bottom = std::max(src_top + 1, bottom * picture.height / scaled_height);
        BITMAPINFO info;
        std::memset(&info, 0, sizeof(info));
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = picture.width;
        info.bmiHeader.biHeight = -static_cast<LONG>(src_bottom - src_top);  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        if (!BeginPage(name, error)) return false;
        const uint8_t* rows = picture.bgr.data() + static_cast<size_t>(src_top) * picture.stride;
        if (StretchDIBits(dc_, 0, 0, width_, static_cast<int>(bottom - top), 0, 0, picture.width,
                          static_cast<int>(src_bottom - src_top), rows, &info, DIB_RGB_COLORS, SRCCOPY) == 0) {
            *error = "the image could not be drawn (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
        if (!EndThisPage(error)) return false;
    }
    return true;
}

bool Document::PrintText(const std::string& utf8, const TextStyle& style, const std::string& name,
                         std::string* error) {
    LOGFONTW logfont;
    std::memset(&logfont, 0, sizeof(logfont));
    const std::string face = style.device_font ? "QOR Original" : style.face;
    for (size_t i = 0; i < face.size() && i < LF_FACESIZE - 1; ++i) logfont.lfFaceName[i] = static_cast<WCHAR>(face[i]);
    logfont.lfHeight = style.device_font ? style.device_cell : style.height;
    logfont.lfWeight = FW_NORMAL;
    logfont.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    HFONT font = CreateFontIndirectW(&logfont);
    if (!font) {
        *error = "no font '" + face + "' (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    // Device characters are half a cell wide; a TrueType face is measured
    // by its widest common letter, and lines that still overrun are trimmed.
    const int line_height = style.device_font ? style.device_cell + style.device_cell / 4 : style.height * 5 / 4;
    int char_width = style.device_cell / 2;
    if (!style.device_font) {
        HGDIOBJ previous = SelectObject(dc_, font);
        SIZE extent{0, 0};
        char_width = GetTextExtentPoint32W(dc_, u"M", 1, &extent) && extent.cx > 0 ? extent.cx : style.height / 2;
        SelectObject(dc_, previous);
    }
    const int lines_per_page = std::max(1, height_ / line_height);
    const size_t columns = static_cast<size_t>(std::max(1, width_ / std::max(1, char_width)));

    std::vector<std::u16string> lines;
    for (const std::u16string& line : SplitLines(utf8))
        for (std::u16string& piece : WrapLine(line, columns)) lines.push_back(std::move(piece));

    bool ok = true;
    for (size_t first = 0; ok && first < lines.size(); first += static_cast<size_t>(lines_per_page)) {
        if (!BeginPage(name, error)) {
            ok = false;
            break;
        }
        HGDIOBJ previous = SelectObject(dc_, font);
        SetBkMode(dc_, TRANSPARENT);
        SetTextColor(dc_, RGB(0, 0, 0));
        const size_t last = std::min(lines.size(), first + static_cast<size_t>(lines_per_page));
        for (size_t i = first; i < last; ++i) {
            std::u16string line = lines[i];
            if (!style.device_font) {
                SIZE extent{0, 0};
                while (!line.empty() && GetTextExtentPoint32W(dc_, line.c_str(), static_cast<int>(line.size()), &extent) &&
                       extent.cx > width_)
                    line.pop_back();
            }
            if (line.empty()) continue;
            const int y = static_cast<int>(i - first) * line_height;
            if (!ExtTextOutW(dc_, 0, y, 0, nullptr, line.c_str(), static_cast<UINT>(line.size()), nullptr)) {
                *error = "text could not be drawn (error " + std::to_string(GetLastError()) + ")";
                ok = false;
                break;
            }
        }
        SelectObject(dc_, previous);
        if (ok) ok = EndThisPage(error);
    }
    DeleteObject(font);
    return ok;
}

bool Document::Finish(std::string* error) {
    if (!started_) return true;
    started_ = false;
    if (EndDoc(dc_) <= 0) {
        *error = "the job could not be completed (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    return true;
}
