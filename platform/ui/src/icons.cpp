// LoadIconW: the RT_GROUP_ICON directory and its RT_ICON images (PNG, or
// DIBs read by icon_images) as one QIcon per handle.
#include "icons.h"

#include "icon_images.h"
#include "window_table.h"

#include <QImage>
#include <QPixmap>

#include <cstring>
#include <map>
#include <mutex>

namespace qorui {
namespace {

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
    if (size >= 4 && std::memcmp(data, kPng, 4) == 0) return QImage::fromData(data, static_cast<int>(size), "PNG");
    auto pixels = decode_dib_icon(data, size);
    if (!pixels) return {};
    QImage image(pixels->width, pixels->height, QImage::Format_ARGB32);
    for (int y = 0; y < pixels->height; ++y)
        std::memcpy(image.scanLine(y), pixels->argb.data() + static_cast<size_t>(y) * pixels->width,
                    static_cast<size_t>(pixels->width) * 4);
    return image;
}

QIcon load_group(HMODULE module, LPCWSTR name) {
    HRSRC group = FindResourceW(module, name, reinterpret_cast<LPCWSTR>(RT_GROUP_ICON));
    if (!group) return {};
    const auto* dir = static_cast<const uint8_t*>(LockResource(LoadResource(module, group)));
    QIcon icon;
    for (uint16_t id : icon_group_ids(dir, dir ? SizeofResource(module, group) : 0)) {
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
