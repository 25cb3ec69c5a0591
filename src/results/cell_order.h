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

// The eight bytes of a text from `from` on as a big-endian number, zeros past
// its end: two texts that agree before `from` and whose keys differ compare as
// their keys do.
inline uint64_t textKey(std::string_view text, size_t from) {
    uint64_t key = 0;
    for (size_t i = from; i < from + 8; ++i)
        key = key << 8 | (i < text.size() ? static_cast<unsigned char>(text[i]) : 0u);
    return key;
}

// Sorts `order` (a permutation of the result rows 0..n-1), stable, by the
// cells that cellOf(row) gives, under compareCells. Each cell's number (and,
// unless the column holds only integers, its eight bytes after what all cells
// of the column begin with) is worked out once and sorted along with its row,
// so that most comparisons read only these keys, side by side in memory,
// instead of two cells anywhere in the result; only texts that agree in their
// keys and go on past them are read.
template <class CellOf>
void sortRowOrder(std::vector<int32_t>& order, CellOf cellOf, bool ascending) {
    if (order.size() < 2) return;
    auto ordered = [ascending](int result) { return ascending ? result < 0 : result > 0; };

    // A column of integers only (the common case of a number column) needs
    // nothing but the numbers.
    {
        struct Number {
            int32_t value;
            int32_t row;
        };
        std::vector<Number> numbers;
        numbers.reserve(order.size());
        for (const int32_t row : order) {
            const auto number = textAsInteger(cellOf(row));
            if (!number) break;
            numbers.push_back({*number, row});
        }
        if (numbers.size() == order.size()) {
            std::stable_sort(numbers.begin(), numbers.end(), [&](const Number& x, const Number& y) {
                return ordered(x.value > y.value ? 1 : (x.value < y.value ? -1 : 0));
            });
            for (size_t i = 0; i < order.size(); ++i) order[i] = numbers[i].row;
            return;
        }
    }

    const std::string_view first(cellOf(order[0]));
    size_t shared = first.size();
    for (size_t i = 1; i < order.size() && shared > 0; ++i) {
        const std::string_view text(cellOf(order[i]));
        const size_t n = std::min(shared, text.size());
        shared = static_cast<size_t>(
            std::mismatch(first.begin(), first.begin() + static_cast<ptrdiff_t>(n), text.begin())
                .first -
            first.begin());
    }
    struct Entry {
        uint64_t key;   // the eight bytes after the shared beginning
        int32_t value;  // the number of an integer cell
        int32_t row;
        uint8_t rest;  // bytes after the shared beginning, 9 meaning more than 8
        bool isInteger;
    };
    std::vector<Entry> entries(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        const std::string_view text(cellOf(order[i]));
        const auto number = textAsInteger(text);
        entries[i] = {textKey(text, shared), number.value_or(0), order[i],
                      static_cast<uint8_t>(std::min<size_t>(text.size() - shared, 9)),
                      number.has_value()};
    }
    std::stable_sort(entries.begin(), entries.end(), [&](const Entry& x, const Entry& y) {
        if (x.isInteger && y.isInteger)
            return ordered(x.value > y.value ? 1 : (x.value < y.value ? -1 : 0));
        if (x.key != y.key) return ordered(x.key > y.key ? 1 : -1);
        // Both end within their keys: equal up to the shorter one's end.
        if (x.rest <= 8 && y.rest <= 8)
            return ordered(x.rest > y.rest ? 1 : (x.rest < y.rest ? -1 : 0));
        const int c = std::string_view(cellOf(x.row)).compare(cellOf(y.row));
        return ordered(c > 0 ? 1 : (c < 0 ? -1 : 0));
    });
    for (size_t i = 0; i < order.size(); ++i) order[i] = entries[i].row;
}

}  // namespace results
