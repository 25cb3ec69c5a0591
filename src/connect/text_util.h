// Small text helpers shared by the profile file and the history lists.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "wbem/text.h"

namespace settings {

// Blanks and control characters: everything up to and including the blank.
inline bool isBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Removes leading and trailing blanks and control characters.
inline std::string_view trimBlanks(std::string_view s) { return wbem::trimmed(s); }

// Names in the settings file are ASCII; letter case is ignored for them.
inline bool equalsIgnoreCase(std::string_view a, std::string_view b) { return wbem::iequals(a, b); }

// A decimal integer with an optional sign that fits 32 bits, nothing else.
std::optional<int32_t> parseInt32(std::string_view s);

}  // namespace settings
