// Which writer a file name asks for.
#pragma once

#include <string_view>

namespace exporter {

enum class ExportFormat { Html, Csv, Tsv, Unknown };

inline constexpr std::string_view kUnknownFileFormat = "Unknown file format";
inline constexpr char kCsvSeparator = ',';
inline constexpr char kTsvSeparator = '\t';

// Judged by the text after the last "." of the whole name (path included),
// with A-Z lowered: "csv", "tsv", "htm"/"html"; a name ending in "." is HTML.
// A name without any "." is judged by its whole text.
ExportFormat ExportFormatOf(std::string_view fileName);

}  // namespace exporter
