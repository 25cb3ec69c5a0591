// The rules of the Query tab that do not need a window: how wide new columns
// are and how the execution time reads. How cells sort is results/cell_order.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ui {

// Width of each column of a new result of `columns` columns in a view whose
// client area is `clientWidth` pixels wide.
int resultColumnWidth(int clientWidth, int columns);

// "Query execution time: 0.1250 sec", with the user's decimal separator.
std::string executionTimeText(double seconds, std::string_view decimalSeparator);

// The status after a query: the number of rows beside its time when the
// clock saw one pass, "12 rows · Query execution time: 0.1250 sec"; just the
// rows without a time, so that an empty result is never silent.
std::string queryStatusText(const std::string& timeText, int32_t rows);

}  // namespace ui
