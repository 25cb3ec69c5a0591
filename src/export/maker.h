// The maker's addresses, shown in the HTML report's links (and wherever else
// the program points the user at its maker).
#pragma once

#include <string_view>

namespace exporter {

inline constexpr std::string_view kProductPageUrl = "https://www.brightwell.dev/cimscope/";
inline constexpr std::string_view kHomePageUrl = "https://www.brightwell.dev/";
inline constexpr std::string_view kWebAddress = "www.brightwell.dev";

// The program's version as the About box shows it and the support mail sends it.
inline constexpr std::string_view kProgramVersion = "1.10";
inline constexpr std::string_view kSupportEmail = "support@brightwell.dev";
inline constexpr std::string_view kSalesEmail = "sales@brightwell.dev";
// The About box's notice line.
inline constexpr std::string_view kNoticeLine = "Copyright (c) Brightwell. All rights reserved.";

}  // namespace exporter
