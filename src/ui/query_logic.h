// The rules of the query result table that do not need a window: how two
// cells compare, how wide new columns are, how the execution time reads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ui {

// The text as a signed 32-bit integer in the classic integer syntax: leading
// blanks, an optional sign, decimal digits, or hexadecimal after "$", "x" or
// "0x". Nothing else may follow; out of range is not an integer.
std::optional<int32_t> textAsInteger(std::string_view text);

// The code page of a host's "CodeSet" answer: the trimmed text as an integer,
// or 1250 when it is none.
int32_t CodePageFromCodeSet(std::string_view answer);

// Two cells of the sort column: by value when both are integers, else byte
// by byte (unsigned, case-sensitive); negated when descending.
int compareCells(std::string_view a, std::string_view b, bool ascending);

// Width of each column of a new result of `columns` columns in a view whose
// client area is `clientWidth` pixels wide.
int resultColumnWidth(int clientWidth, int columns);

// "Query execution time: 0.1250 sec", with the user's decimal separator.
std::string executionTimeText(double seconds, std::string_view decimalSeparator);

}  // namespace ui
