#include "setup_testing.h"

#include "qor/module.h"
#include "qor/sysinfo.h"
#include "qortest.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace setuptest {

QorSetup::QorSetup() {
    HMODULE m = LoadLibraryA("QorSetup.so");
    EXPECT_NE(nullptr, m);
    module_ = m;
    if (!m) return;
    auto entry = [m](const char* name) { return reinterpret_cast<void (*)()>(GetProcAddress(m, name)); };
    reg_service = reinterpret_cast<BOOL (*)(DWORD)>(entry("RegService"));
    unreg_service = reinterpret_cast<BOOL (*)(DWORD)>(entry("UnregService"));
    is_exist_driver = reinterpret_cast<int (*)(DWORD)>(entry("IsExistDriver"));
    EXPECT_TRUE(reg_service && unreg_service && is_exist_driver);
}

QorSetup::~QorSetup() {
    if (module_) FreeLibrary(static_cast<HMODULE>(module_));
}

std::string service_program_path() {
    char system[260];
    GetSystemDirectoryA(system, sizeof system);
    return std::string(system) + "/qorcsp.exe";
}

void install_real_service_program() {
    std::filesystem::remove(service_program_path());
    std::filesystem::create_symlink(qortest::bin_dir() + "/qorcsp", service_program_path());
}

void install_script(const std::string& body) {
    std::filesystem::remove(service_program_path());
    std::ofstream(service_program_path()) << "#!/bin/sh\n" << body << "\n";
    std::filesystem::permissions(service_program_path(), std::filesystem::perms::owner_all);
}

}  // namespace setuptest
