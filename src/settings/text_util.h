// Number parsing shared by the profile file, the history lists, the remote
// hosts' choices and the placement keys.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace settings {

// A decimal integer with an optional sign that fits 32 bits, nothing else.
std::optional<int32_t> parseInt32(std::string_view s);

// The index of a key "prefix<n>" (prefix compared ignoring case) with n in
// decimal without leading zeros, the only spelling under which a numbered
// entry is ever looked up; nullopt for any other key.
std::optional<int32_t> numberedKeyIndex(std::string_view key, std::string_view prefix);

}  // namespace settings
