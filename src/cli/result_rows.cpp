#include "result_rows.h"

#include <algorithm>
#include <numeric>

#include "results/cell_order.h"
#include "wbem/text.h"

namespace cli {

namespace {

const std::string& cell(const wmi::ResultTable& table, int32_t row, int column) {
    return table.Cells[static_cast<size_t>(row) * static_cast<size_t>(table.ColumnCount) +
                       static_cast<size_t>(column)];
}

}  // namespace

std::optional<int> sortColumnOf(const std::vector<std::string>& columns, const SortKey& key,
                                std::string& error) {
    const int count = static_cast<int>(columns.size());
    if (key.number > 0) {
        if (key.number <= count) return key.number - 1;
        error = "-sort:" + key.column + ": the result has " + std::to_string(count) +
                (count == 1 ? " column" : " columns");
        return std::nullopt;
    }
    for (int c = 0; c < count; ++c)
        if (columns[static_cast<size_t>(c)] == key.column) return c;
    for (int c = 0; c < count; ++c)
        if (wbem::iequals(columns[static_cast<size_t>(c)], key.column)) return c;
    error = "-sort:" + key.column + ": no such column; the result's columns are:";
    for (int c = 0; c < count; ++c) error += (c ? ", " : " ") + columns[static_cast<size_t>(c)];
    return std::nullopt;
}

std::vector<int32_t> resultOrder(const wmi::ResultTable& table) {
    std::vector<int32_t> order(static_cast<size_t>(std::max(table.RowCount, 0)));
    std::iota(order.begin(), order.end(), 0);
    return order;
}

std::vector<int32_t> sortedRows(const wmi::ResultTable& table, int column, bool ascending) {
    std::vector<int32_t> order = resultOrder(table);
    if (column < 0 || column >= table.ColumnCount) return order;
    results::sortRowOrder(
        order, [&](int32_t row) -> const std::string& { return cell(table, row, column); },
        ascending);
    return order;
}

std::string TableView::columnCaption(int column) const {
    return table_.Columns.at(static_cast<size_t>(column));
}

std::string TableView::cellText(int row, int column) const {
    return cell(table_, order_.at(static_cast<size_t>(row)), column);
}

}  // namespace cli
