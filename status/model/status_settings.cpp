#include "status_settings.h"

namespace status {

StatusSettings::StatusSettings() {
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kMonitorKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY, nullptr, &key_, nullptr) != ERROR_SUCCESS)
        key_ = nullptr;
}

StatusSettings::~StatusSettings() {
    if (key_) RegCloseKey(key_);
}

bool StatusSettings::read_enabled() const {
    if (!key_) return false;
    BYTE value = 0;
    DWORD size = sizeof value, type = 0;
    if (RegQueryValueExA(key_, "Enable", nullptr, &type, &value, &size) != ERROR_SUCCESS) return false;
    return size == 1 && value != 0;
}

uint32_t StatusSettings::read_word(const char* name) const {
    if (!key_) return 0;
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
        return 0;
    return size == sizeof value ? value : 0;
}

Words StatusSettings::read_last() const { return Words{read_word("1_last"), read_word("0_last")}; }

void StatusSettings::write_word(HKEY key, const char* name, uint32_t value) {
    if (!key) return;
    DWORD word = value;
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&word), sizeof word);
}

void StatusSettings::write_last(const Words& words) {
    write_word(key_, "1_last", words.raised);
    write_word(key_, "0_last", words.cleared);
}

void StatusSettings::write_masks(const Words& masks) {
    write_word(key_, "1", masks.raised);
    write_word(key_, "0", masks.cleared);
}

void StatusSettings::write_enabled(bool on) {
    if (!key_) return;
    BYTE value = on ? 1 : 0;
    RegSetValueExA(key_, "Enable", 0, REG_BINARY, &value, 1);
}

void StatusSettings::write_read_interval(bool on) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kLanguageMonitorKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    write_word(key, "ReadInterval", on ? kIntervalOn : kIntervalOff);
    RegCloseKey(key);
}

}  // namespace status
