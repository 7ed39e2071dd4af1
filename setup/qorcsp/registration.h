// Registering and removing the service "QORCSP" with the manager.
#pragma once

#include <string>

namespace qorcsp {

inline constexpr char kServiceName[] = "QORCSP";

// Registers the service to run `program`; an existing registration is kept.
bool register_service(const std::string& program);
// Stops the service if it runs, then removes it; true when it is gone.
bool unregister_service();

}  // namespace qorcsp
