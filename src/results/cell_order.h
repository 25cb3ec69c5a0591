// How the cells of a query result compare, for the Query tab's sort and for
// wql -sort: both must order a table the same way, so both sort through here.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace results {

// The text as a signed 32-bit integer in the classic integer syntax: leading
// blanks, an optional sign, decimal digits, or hexadecimal after "$", "x" or
// "0x". Nothing else may follow; out of range is not an integer.
std::optional<int32_t> textAsInteger(std::string_view text);

// Two cells of the sort column: by value when both are integers, else byte
// by byte (unsigned, case-sensitive); negated when descending.
int compareCells(std::string_view a, std::string_view b, bool ascending);

// Sorts `order` (a permutation of the result rows 0..n-1), stable, by the
// cells that cellOf(row) gives, under compareCells. Each cell's number is
// worked out once, not at every comparison.
template <class CellOf>
void sortRowOrder(std::vector<int32_t>& order, CellOf cellOf, bool ascending) {
    if (order.size() < 2) return;
    struct Key {
        int32_t value;
        bool isInteger;
    };
    std::vector<Key> keys(order.size());
    for (size_t row = 0; row < keys.size(); ++row) {
        const auto number = textAsInteger(cellOf(static_cast<int32_t>(row)));
        keys[row] = {number.value_or(0), number.has_value()};
    }
    std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
        const Key& x = keys[static_cast<size_t>(a)];
        const Key& y = keys[static_cast<size_t>(b)];
        int result;
        if (x.isInteger && y.isInteger) {
            result = x.value > y.value ? 1 : (x.value < y.value ? -1 : 0);
        } else {
            const int c = std::string_view(cellOf(a)).compare(cellOf(b));
            result = c > 0 ? 1 : (c < 0 ? -1 : 0);
        }
        return ascending ? result < 0 : result > 0;
    });
}

}  // namespace results
