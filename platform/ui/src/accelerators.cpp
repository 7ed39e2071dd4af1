// Accelerator tables: ACCELERATORS resources bound to a window's keys.
#include "menu_table.h"
#include "templates.h"
#include "window_table.h"

#include <QGuiApplication>
#include <QKeySequence>
#include <QShortcut>

#include <map>
#include <mutex>
#include <set>
#include <vector>

using namespace qorui;

namespace {

constexpr WORD kVkBack = 0x08, kVkTab = 0x09, kVkReturn = 0x0D, kVkEscape = 0x1B, kVkSpace = 0x20, kVkPrior = 0x21,
               kVkDown = 0x28, kVkInsert = 0x2D, kVkDelete = 0x2E, kVkF1 = 0x70, kVkF12 = 0x7B;

struct Tables {
    std::mutex lock;
    std::map<uintptr_t, std::vector<ACCEL>> tables;
    std::set<std::pair<HWND, HACCEL>> bound;
    uintptr_t next = 0x4A000001;
};
Tables& tables() {
    static auto* all = new Tables;
    return *all;
}

std::optional<std::vector<ACCEL>> entries_of(HACCEL table) {
    std::lock_guard guard(tables().lock);
    auto found = tables().tables.find(reinterpret_cast<uintptr_t>(table));
    if (found == tables().tables.end()) return std::nullopt;
    return found->second;
}

int qt_key(WORD vk) {
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return vk;  // Qt::Key_A.. and Key_0.. are ASCII
    if (vk >= kVkF1 && vk <= kVkF12) return Qt::Key_F1 + (vk - kVkF1);
    if (vk >= kVkPrior && vk <= kVkDown) {
        static const int kMoves[] = {Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_End, Qt::Key_Home,
                                     Qt::Key_Left,   Qt::Key_Up,       Qt::Key_Right, Qt::Key_Down};
        return kMoves[vk - kVkPrior];
    }
    switch (vk) {
    case kVkBack: return Qt::Key_Backspace;
    case kVkTab: return Qt::Key_Tab;
    case kVkReturn: return Qt::Key_Return;
    case kVkEscape: return Qt::Key_Escape;
    case kVkSpace: return Qt::Key_Space;
    case kVkInsert: return Qt::Key_Insert;
    case kVkDelete: return Qt::Key_Delete;
    default: return 0;
    }
}

// The key an entry means: a virtual key with its modifiers, or a character
// (a control character being Ctrl with its letter).
QKeySequence sequence_of(const ACCEL& entry) {
    int modifiers = 0;
    if (entry.fVirt & FALT) modifiers |= Qt::AltModifier;
    if (!(entry.fVirt & FVIRTKEY)) {
        if (entry.key > 0 && entry.key < 0x20) return QKeySequence(modifiers | Qt::ControlModifier | ('@' + entry.key));
        return QKeySequence(modifiers | QChar(entry.key).toUpper().unicode());
    }
    int key = qt_key(entry.key);
    if (!key) return {};
    if (entry.fVirt & FSHIFT) modifiers |= Qt::ShiftModifier;
    if (entry.fVirt & FCONTROL) modifiers |= Qt::ControlModifier;
    return QKeySequence(modifiers | key);
}

// The command, unless the window's menu has it disabled once the owner
// has been asked about the pop-up that holds it.
bool send_command(HWND window, WORD command) {
    HMENU bar = GetMenu(window);
    if (auto place = bar ? find_command(bar, command) : std::nullopt) {
        if (place->menu != bar) {
            auto holder = find_parent(bar, place->menu);
            SendMessageW(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(place->menu),
                         MAKELONG(static_cast<WORD>(holder ? holder->position : 0), 0));
        }
        if (GetMenuState(bar, command, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) return false;
    }
    SendMessageW(window, WM_COMMAND, MAKELONG(command, 1), 0);
    return true;
}

void bind_keys(HWND handle, HACCEL table, const std::vector<ACCEL>& entries) {
    auto window = find_window(handle);
    if (!window || !window->widget) return;
    {
        std::lock_guard guard(tables().lock);
        if (!tables().bound.insert({handle, table}).second) return;
    }
    for (const ACCEL& entry : entries) {
        QKeySequence keys = sequence_of(entry);
        if (keys.isEmpty()) continue;
        auto* shortcut = new QShortcut(keys, window->widget, nullptr, nullptr, Qt::WindowShortcut);
        WORD command = entry.cmd;
        QObject::connect(shortcut, &QShortcut::activated, shortcut, [handle, command] { send_command(handle, command); });
    }
}

bool modifiers_match(BYTE flags) {
    Qt::KeyboardModifiers held = QGuiApplication::keyboardModifiers();
    return bool(flags & FSHIFT) == bool(held & Qt::ShiftModifier) &&
           bool(flags & FCONTROL) == bool(held & Qt::ControlModifier) && bool(flags & FALT) == bool(held & Qt::AltModifier);
}

}  // namespace

extern "C" {

HACCEL CreateAcceleratorTableW(LPACCEL entries, int count) {
    if (!entries || count <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::lock_guard guard(tables().lock);
    uintptr_t number = tables().next;
    tables().next += 2;
    tables().tables[number] = std::vector<ACCEL>(entries, entries + count);
    return reinterpret_cast<HACCEL>(number);
}

HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR name) {
    HRSRC resource = FindResourceW(instance, name, MAKEINTRESOURCEW(9));
    if (!resource) return nullptr;
    auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(instance, resource)));
    auto read = data ? read_accelerators(data, SizeofResource(instance, resource)) : std::nullopt;
    if (!read || read->empty()) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    std::vector<ACCEL> entries;
    for (const Accelerator& entry : *read) entries.push_back(ACCEL{static_cast<BYTE>(entry.flags), entry.key, entry.command});
    return CreateAcceleratorTableW(entries.data(), static_cast<int>(entries.size()));
}

BOOL DestroyAcceleratorTable(HACCEL table) {
    std::lock_guard guard(tables().lock);
    return tables().tables.erase(reinterpret_cast<uintptr_t>(table)) > 0;
}

int TranslateAcceleratorW(HWND window, HACCEL table, LPMSG message) {
    auto entries = entries_of(table);
    if (!entries || !find_window(window)) return 0;
    bind_keys(window, table, *entries);
    if (!message || (message->message != WM_KEYDOWN && message->message != WM_SYSKEYDOWN)) return 0;
    for (const ACCEL& entry : *entries)
        if ((entry.fVirt & FVIRTKEY) && entry.key == message->wParam && modifiers_match(entry.fVirt))
            return send_command(window, entry.cmd) ? 1 : 0;
    return 0;
}

}  // extern "C"
