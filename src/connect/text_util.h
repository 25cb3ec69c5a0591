// Number parsing shared by the profile file, the history lists and the placement keys.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace settings {

// A decimal integer with an optional sign that fits 32 bits, nothing else.
std::optional<int32_t> parseInt32(std::string_view s);

}  // namespace settings
