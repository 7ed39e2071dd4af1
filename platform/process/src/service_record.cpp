// The named objects behind a started service.
#include "service_record.h"

#include "qor/registry.h"

#include <cctype>

namespace qor::service {

std::string object_name(const std::string& service) {
    std::string name = "QorService.";
    for (char c : service) name += char(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

std::string image_path(const std::string& service) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (kServicesKey + service).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    char value[1024] = {};
    DWORD size = sizeof value - 1, type = 0;
    LONG r = RegQueryValueExA(key, "ImagePath", nullptr, &type, reinterpret_cast<LPBYTE>(value), &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS ? std::string(value) : std::string();
}

ServiceLink::ServiceLink(const std::string& name, Mode mode) {
    std::string base = object_name(name);
    if (mode == Mode::Create) {
        mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, base.c_str());
        existed_ = mapping_ && GetLastError() == ERROR_ALREADY_EXISTS;
        if (mapping_) {
            control_ = CreateEventA(nullptr, FALSE, FALSE, (base + ".control").c_str());
            changed_ = CreateEventA(nullptr, FALSE, FALSE, (base + ".changed").c_str());
        }
    } else {
        mapping_ = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, base.c_str());
        if (mapping_) {
            control_ = OpenEventA(EVENT_ALL_ACCESS, FALSE, (base + ".control").c_str());
            changed_ = OpenEventA(EVENT_ALL_ACCESS, FALSE, (base + ".changed").c_str());
        }
    }
    if (!mapping_ || !control_ || !changed_) return;
    record_ = static_cast<SharedRecord*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SharedRecord)));
}

ServiceLink::~ServiceLink() {
    if (record_) UnmapViewOfFile(record_);
    for (HANDLE h : {changed_, control_, mapping_})
        if (h) CloseHandle(h);
}

SERVICE_STATUS ServiceLink::status() const {
    return SERVICE_STATUS{SERVICE_WIN32_OWN_PROCESS,
                          record_->state.load(),
                          record_->controls_accepted.load(),
                          record_->win32_exit_code.load(),
                          record_->service_exit_code.load(),
                          record_->checkpoint.load(),
                          record_->wait_hint.load()};
}

}  // namespace qor::service
