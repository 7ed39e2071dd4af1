#include "templates.h"

#include <cstring>

namespace qorui {
namespace {

constexpr uint16_t kMfPopup = 0x0010;
constexpr uint16_t kMfEnd = 0x0080;
constexpr uint16_t kAccelEnd = 0x0080;
constexpr uint32_t kDsSetFont = 0x40;
// Menus deeper than this are refused rather than recursed into.
constexpr int kMaxMenuDepth = 16;

// A cursor over untrusted bytes; every read checks what is left.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool ok() const { return ok_; }
    size_t offset() const { return pos_; }
    bool at_end() const { return pos_ >= size_; }

    uint8_t byte() {
        if (!need(1)) return 0;
        return data_[pos_++];
    }
    uint16_t word() {
        if (!need(2)) return 0;
        uint16_t v = static_cast<uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
        pos_ += 2;
        return v;
    }
    uint32_t dword() {
        uint32_t lo = word();
        uint32_t hi = word();
        return lo | (hi << 16);
    }
    int16_t short_value() { return static_cast<int16_t>(word()); }

    std::u16string string() {
        std::u16string text;
        while (ok_) {
            uint16_t c = word();
            if (!ok_ || c == 0) break;
            text.push_back(static_cast<char16_t>(c));
        }
        return text;
    }
    NameOrOrdinal name_or_ordinal() {
        NameOrOrdinal value;
        uint16_t first = word();
        if (!ok_ || first == 0) return value;
        if (first == 0xFFFF) {
            value.ordinal = word();
            return value;
        }
        value.text.push_back(static_cast<char16_t>(first));
        value.text += string();
        return value;
    }
    std::vector<uint8_t> bytes(size_t count) {
        if (!need(count)) return {};
        std::vector<uint8_t> out(data_ + pos_, data_ + pos_ + count);
        pos_ += count;
        return out;
    }
    // Templates align items on DWORDs from the template's start.
    void align_dword() {
        size_t aligned = (pos_ + 3) & ~size_t{3};
        pos_ = aligned <= size_ ? aligned : size_;
    }

private:
    bool need(size_t count) {
        if (!ok_ || count > size_ - pos_) {
            ok_ = false;
            return false;
        }
        return true;
    }
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

void read_item(Reader& in, bool extended, DialogItem& item) {
    if (extended) {
        item.help_id = in.dword();
        item.ex_style = in.dword();
        item.style = in.dword();
    } else {
        item.style = in.dword();
        item.ex_style = in.dword();
    }
    item.x = in.short_value();
    item.y = in.short_value();
    item.cx = in.short_value();
    item.cy = in.short_value();
    item.id = extended ? in.dword() : in.word();
    item.window_class = in.name_or_ordinal();
    item.title = in.name_or_ordinal();
    uint16_t extra = in.word();
    // The classic form counts the size word itself when data follows.
    if (!extended && extra >= 2) extra = static_cast<uint16_t>(extra - 2);
    item.creation_data = in.bytes(extra);
}

bool read_menu_level(Reader& in, std::vector<MenuItem>& items, int depth) {
    if (depth > kMaxMenuDepth) return false;
    while (in.ok()) {
        MenuItem item;
        uint16_t option = in.word();
        if (!(option & kMfPopup)) item.id = in.word();
        item.text = in.string();
        item.flags = static_cast<uint16_t>(option & ~kMfEnd);
        if (!in.ok()) return false;
        if ((option & kMfPopup) && !read_menu_level(in, item.children, depth + 1)) return false;
        items.push_back(std::move(item));
        if (option & kMfEnd) return true;
    }
    return false;
}

}  // namespace

std::optional<DialogTemplate> read_dialog_template(const uint8_t* data, size_t size) {
    Reader in(data, size);
    DialogTemplate dialog;
    uint16_t version = in.word();
    uint16_t signature = in.word();
    dialog.extended = version == 1 && signature == 0xFFFF;
    if (dialog.extended) {
        dialog.help_id = in.dword();
        dialog.ex_style = in.dword();
        dialog.style = in.dword();
    } else {
        dialog.style = static_cast<uint32_t>(version) | (static_cast<uint32_t>(signature) << 16);
        dialog.ex_style = in.dword();
    }
    uint16_t count = in.word();
    dialog.x = in.short_value();
    dialog.y = in.short_value();
    dialog.cx = in.short_value();
    dialog.cy = in.short_value();
    dialog.menu = in.name_or_ordinal();
    dialog.window_class = in.name_or_ordinal();
    dialog.title = in.string();
    if (dialog.style & kDsSetFont) {
        dialog.has_font = true;
        dialog.point_size = in.word();
        if (dialog.extended) {
            dialog.weight = in.word();
            dialog.italic = in.byte() != 0;
            dialog.charset = in.byte();
        }
        dialog.face = in.string();
    }
    if (!in.ok()) return std::nullopt;
    // Each item needs at least its fixed part, so a count beyond what the
    // bytes can hold is refused before anything is reserved.
    if (count > size / 18) return std::nullopt;
    dialog.items.resize(count);
    for (DialogItem& item : dialog.items) {
        in.align_dword();
        read_item(in, dialog.extended, item);
        if (!in.ok()) return std::nullopt;
    }
    return dialog;
}

std::optional<std::vector<MenuItem>> read_menu_template(const uint8_t* data, size_t size) {
    Reader in(data, size);
    uint16_t version = in.word();
    uint16_t header_size = in.word();
    if (!in.ok() || version != 0) return std::nullopt;
    in.bytes(header_size);
    std::vector<MenuItem> items;
    if (!in.ok() || !read_menu_level(in, items, 0)) return std::nullopt;
    return items;
}

std::optional<std::vector<Accelerator>> read_accelerators(const uint8_t* data, size_t size) {
    Reader in(data, size);
    std::vector<Accelerator> table;
    while (!in.at_end()) {
        uint16_t flags = in.word();
        Accelerator entry;
        entry.key = in.word();
        entry.command = in.word();
        in.word();  // padding
        if (!in.ok()) return std::nullopt;
        entry.flags = static_cast<uint16_t>(flags & ~kAccelEnd);
        table.push_back(entry);
        if (flags & kAccelEnd) return table;
    }
    return std::nullopt;
}

}  // namespace qorui
