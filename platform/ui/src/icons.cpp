// LoadIconW: the RT_GROUP_ICON directory, its RT_ICON images (PNG, or a
// 24- or 32-bit DIB with its AND mask) as one QIcon per handle.
#include "icons.h"

#include "window_table.h"

#include <QImage>
#include <QPixmap>

#include <cstring>
#include <map>
#include <mutex>

namespace qorui {
namespace {

constexpr size_t kGroupHeader = 6, kGroupEntry = 14, kDibHeader = 40;
constexpr int kMaxSide = 512;

uint32_t read16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t read32(const uint8_t* p) { return read16(p) | (read16(p + 2) << 16); }

struct IconTable {
    std::mutex lock;
    std::map<HICON, QIcon> icons;
    std::map<std::pair<HMODULE, ULONG_PTR>, HICON> loaded;  // by module and ordinal
    uintptr_t next = 0x1C0000;
};
IconTable& table() {
    static auto* icons = new IconTable;
    return *icons;
}

// One RT_ICON image; a null image when its format is not understood or its
// sizes do not fit its bytes.
QImage decode_image(const uint8_t* data, size_t size) {
    static const uint8_t kPng[] = {0x89, 'P', 'N', 'G'};
    if (size >= 4 && std::memcmp(data, kPng, 4) == 0)
        return QImage::fromData(data, static_cast<int>(size), "PNG");
    if (size < kDibHeader || read32(data) < kDibHeader) return {};
    const int32_t width = static_cast<int32_t>(read32(data + 4));
    const int32_t height = static_cast<int32_t>(read32(data + 8)) / 2;  // colour rows, then the mask
    const uint32_t bits = read16(data + 14), compression = read32(data + 16);
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide || compression != 0) return {};
    if (bits != 32 && bits != 24) return {};
    const size_t header = read32(data);
    const size_t stride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
    const size_t mask_stride = ((static_cast<size_t>(width) + 31) / 32) * 4;
    const size_t need = header + stride * static_cast<size_t>(height);
    if (header > size || need > size) return {};
    const bool has_mask = need + mask_stride * static_cast<size_t>(height) <= size;
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = data + header + stride * static_cast<size_t>(height - 1 - y);  // bottom-up
        const uint8_t* mask = data + need + mask_stride * static_cast<size_t>(height - 1 - y);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = row + static_cast<size_t>(x) * (bits / 8);
            int alpha = bits == 32 ? p[3] : 255;
            if (bits == 24 && has_mask && (mask[x / 8] & (0x80 >> (x % 8)))) alpha = 0;
            out[x] = qRgba(p[2], p[1], p[0], alpha);
        }
    }
    return image;
}

QIcon load_group(HMODULE module, LPCWSTR name) {
    HRSRC group = FindResourceW(module, name, reinterpret_cast<LPCWSTR>(RT_GROUP_ICON));
    if (!group) return {};
    const auto* dir = static_cast<const uint8_t*>(LockResource(LoadResource(module, group)));
    const size_t size = SizeofResource(module, group);
    if (!dir || size < kGroupHeader || read16(dir + 2) != 1) return {};
    const size_t count = read16(dir + 4);
    if (size < kGroupHeader + count * kGroupEntry) return {};
    QIcon icon;
    for (size_t k = 0; k < count; ++k) {
        const uint8_t* entry = dir + kGroupHeader + k * kGroupEntry;
        WORD id = static_cast<WORD>(read16(entry + 12));
        HRSRC image = FindResourceW(module, MAKEINTRESOURCEW(id), reinterpret_cast<LPCWSTR>(RT_ICON));
        if (!image) continue;
        const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(module, image)));
        QImage picture = bytes ? decode_image(bytes, SizeofResource(module, image)) : QImage();
        if (!picture.isNull()) icon.addPixmap(QPixmap::fromImage(picture));
    }
    return icon;
}

}  // namespace

QIcon icon_of(HICON handle) {
    IconTable& icons = table();
    std::lock_guard<std::mutex> guard(icons.lock);
    auto it = icons.icons.find(handle);
    return it == icons.icons.end() ? QIcon() : it->second;
}

}  // namespace qorui

using namespace qorui;

extern "C" HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    ensure_application();
    HMODULE module = static_cast<HMODULE>(instance);
    IconTable& icons = table();
    const bool ordinal = IS_INTRESOURCE(name);
    if (ordinal) {
        std::lock_guard<std::mutex> guard(icons.lock);
        auto found = icons.loaded.find({module, reinterpret_cast<ULONG_PTR>(name)});
        if (found != icons.loaded.end()) return found->second;
    }
    QIcon icon = load_group(module, name);
    if (icon.isNull()) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(icons.lock);
    auto handle = reinterpret_cast<HICON>(icons.next++);
    icons.icons[handle] = icon;
    if (ordinal) icons.loaded[{module, reinterpret_cast<ULONG_PTR>(name)}] = handle;
    return handle;
}

extern "C" BOOL DestroyIcon(HICON handle) {
    std::lock_guard<std::mutex> guard(table().lock);
    return table().icons.count(handle) ? TRUE : FALSE;  // shared icons stay
}
