// The platform's style, key and version constants a resource script may name
// without including the platform's headers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qorrc {

std::optional<uint32_t> named_constant(const std::string& name);

}  // namespace qorrc
