// Writes dialog templates in memory for the tests, in the binary layout
// the resource compiler produces.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace uitest {

class Bytes {
public:
    void word(uint16_t v) {
        data.push_back(static_cast<uint8_t>(v));
        data.push_back(static_cast<uint8_t>(v >> 8));
    }
    void dword(uint32_t v) {
        word(static_cast<uint16_t>(v));
        word(static_cast<uint16_t>(v >> 16));
    }
    void text(const std::u16string& s) {
        for (char16_t c : s) word(c);
        word(0);
    }
    void ordinal(uint16_t v) {
        word(0xFFFF);
        word(v);
    }
    void align() {
        while (data.size() % 4) data.push_back(0);
    }
    std::vector<uint8_t> data;
};

struct Item {
    uint32_t style;
    int16_t x, y, cx, cy;
    uint16_t id;
    uint16_t atom;             // 0: use class_name
    std::u16string class_name;
    std::u16string title;
};

constexpr uint32_t kChild = 0x40000000 | 0x10000000;  // WS_CHILD | WS_VISIBLE

// An extended template (DIALOGEX) with "MS Shell Dlg" 8 unless `classic`.
inline std::vector<uint8_t> dialog(const std::u16string& title, int16_t cx, int16_t cy,
                                   const std::vector<Item>& items, bool classic = false) {
    Bytes b;
    uint32_t style = 0x80000000 | 0x00C00000 | 0x00080000 | 0x40;  // popup, caption, sysmenu, setfont
    if (classic) {
        b.dword(style);
        b.dword(0);
    } else {
        b.word(1);
        b.word(0xFFFF);
        b.dword(0);
        b.dword(0);
        b.dword(style);
    }
    b.word(static_cast<uint16_t>(items.size()));
    b.word(0); b.word(0); b.word(static_cast<uint16_t>(cx)); b.word(static_cast<uint16_t>(cy));
    b.word(0);  // no menu
    b.word(0);  // default class
    b.text(title);
    b.word(8);
    if (!classic) {
        b.word(400);
        b.data.push_back(0);
        b.data.push_back(1);
    }
    b.text(u"MS Shell Dlg");
    for (const Item& item : items) {
        b.align();
        if (classic) {
            b.dword(item.style);
            b.dword(0);
        } else {
            b.dword(0);
            b.dword(0);
            b.dword(item.style);
        }
        b.word(static_cast<uint16_t>(item.x)); b.word(static_cast<uint16_t>(item.y));
        b.word(static_cast<uint16_t>(item.cx)); b.word(static_cast<uint16_t>(item.cy));
        if (classic) b.word(item.id); else b.dword(item.id);
        if (item.atom) b.ordinal(item.atom); else b.text(item.class_name);
        b.text(item.title);
        b.word(0);
    }
    return b.data;
}

}  // namespace uitest
