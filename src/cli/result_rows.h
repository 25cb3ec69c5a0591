// A query result as the writers read it: columns in result order, rows in a
// chosen order (sorted like the window's result table, or as they came).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "export/result_view.h"
#include "wmi/bw_wmi.h"
#include "wql_options.h"

namespace cli {

// The 0-based column the key names: by number, else by name (exact first,
// then ignoring letter case). nullopt with `error` when there is none.
std::optional<int> sortColumnOf(const std::vector<std::string>& columns, const SortKey& key,
                                std::string& error);

// Row numbers in the order of a stable sort by one column with the result
// table's compare rule (numbers by value, other text byte by byte).
std::vector<int32_t> sortedRows(const wmi::ResultTable& table, int column, bool ascending);

// The rows 0, 1, ... as the result gave them.
std::vector<int32_t> resultOrder(const wmi::ResultTable& table);

class TableView final : public exporter::ResultView {
  public:
    TableView(const wmi::ResultTable& table, std::vector<int32_t> order)
        : table_(table), order_(std::move(order)) {}

    int columnCount() const override { return table_.ColumnCount; }
    std::string columnCaption(int column) const override;
    int rowCount() const override { return static_cast<int>(order_.size()); }
    std::string cellText(int row, int column) const override;

  private:
    const wmi::ResultTable& table_;
    std::vector<int32_t> order_;
};

}  // namespace cli
