#include "notify_settings.h"

#include "qor/registry.h"
#include "qor/sysinfo.h"

namespace qor::statmon {

namespace {

// One mask value: true when it was read or, missing or malformed, written.
bool read_or_create(HKEY key, const char* name, DWORD& value) {
    DWORD word = 0;
    DWORD size = sizeof word;
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&word), &size) == ERROR_SUCCESS) {
        value = word;
        return true;
    }
    word = 0;
    if (RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&word), sizeof word) != ERROR_SUCCESS)
        return false;
    value = 0;
    return true;
}

}  // namespace

bool read_masks(Masks& masks) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    Masks read;
    const bool raised = read_or_create(key, kRaisedValue, read.raised);
    const bool cleared = read_or_create(key, kClearedValue, read.cleared);
    RegCloseKey(key);
    if (!raised && !cleared) return false;
    masks = read;
    return true;
}

bool SettingsRecord::read() {
    Masks masks;
    const bool ok = read_masks(masks);
    std::lock_guard guard(lock_);
    if (ok) settings_.masks = masks;
    settings_.last_read_tick = GetTickCount();
    return ok;
}

Recheck SettingsRecord::recheck(bool polled) {
    if (polled) {
        std::lock_guard guard(lock_);
        if (GetTickCount() - settings_.last_read_tick <= kPolledSettingsIntervalMs) return {true, false};
    }
    Masks fresh;
    const bool ok = read_masks(fresh);
    std::lock_guard guard(lock_);
    settings_.last_read_tick = GetTickCount();
    if (!ok) return {false, false};
    const bool changed = !(fresh == settings_.masks);
    settings_.masks = fresh;
    return {true, changed};
}

Masks SettingsRecord::masks() const {
    std::lock_guard guard(lock_);
    return settings_.masks;
}

}  // namespace qor::statmon
