// Shared by the helpers' tests: QorSetup loaded by name as an installer
// loads it, and the service program placed in the system folder.
#pragma once

#include "qor/base.h"

#include <string>

namespace setuptest {

struct QorSetup {
    QorSetup();
    ~QorSetup();
    BOOL (*reg_service)(DWORD) = nullptr;
    BOOL (*unreg_service)(DWORD) = nullptr;
    int (*is_exist_driver)(DWORD) = nullptr;

private:
    void* module_ = nullptr;
};

// The system folder's qorcsp.exe: a link to the real program, or a script.
std::string service_program_path();
void install_real_service_program();
void install_script(const std::string& body);

}  // namespace setuptest
