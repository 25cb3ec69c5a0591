// The maker's addresses, shown in the HTML report's links (and wherever else
// the program points the user at its maker).
#pragma once

#include <string_view>

namespace exporter {

inline constexpr std::string_view kProductPageUrl = "https://www.brightwell.dev/cimscope/";
inline constexpr std::string_view kHomePageUrl = "https://www.brightwell.dev/";
inline constexpr std::string_view kWebAddress = "www.brightwell.dev";

}  // namespace exporter
