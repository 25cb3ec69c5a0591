// The Query tab and wql -sort must put the rows of one result in the same
// order: the same tables through the result model and through wql's sort.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/result_rows.h"
#include "ui/main_window/result_model.h"

namespace {

struct SortCase {
    const char* what;
    std::vector<std::string> keys;  // the sort column, one key a row
    // Numbers mixed with text do not compare transitively (9 < 10 by value,
    // "10" < "10.5" < "9" by text), so a sort's outcome depends on the order
    // it starts from. The window sorts descending from its ascending order,
    // wql from the result's order: only the first sort starts alike there.
    bool bothDirections = true;
};

// Rows as [key, row number]; the row number tells which row went where.
wmi::ResultTable tableOf(const std::vector<std::string>& keys) {
    wmi::ResultTable table;
    table.Columns = {"Key", "Row"};
    table.ColumnCount = 2;
    table.RowCount = static_cast<int32_t>(keys.size());
    for (size_t r = 0; r < keys.size(); ++r) {
        table.Cells.push_back(keys[r]);
        table.Cells.push_back(std::to_string(r));
    }
    return table;
}

TEST(SortAgreement, ResultModelAndWqlSortOrderTheSameTableAlike) {
    const SortCase cases[] = {
        {"integers by value, -1 among them", {"10", "9", "-1", "-5", "0", "2147483647"}},
        {"hexadecimal forms", {"$10", "15", "0x1F", "x2", "-$1"}},
        {"text byte by byte", {"b", "B", "apple", "app", "\xC3\xA9t\xC3\xA9", "Zebra", ""}},
        {"numbers and text mixed", {"9", "abc", "10", "10.5", " 7", "4294967296", "-"}, false},
        {"equal keys keep result order", {"x", "1", "x", "01", "1", "x", "0x1", "$1"}},
        {"one row", {"only"}},
    };
    for (const SortCase& c : cases) {
        for (bool ascending : {true, false}) {
            if (!ascending && !c.bothDirections) continue;
            const wmi::ResultTable table = tableOf(c.keys);
            const std::vector<int32_t> wqlOrder = cli::sortedRows(table, 0, ascending);

            ui::ResultModel model;
            wmi::TextList cells = table.Cells;
            model.Fill(table.Columns, cells, table.ColumnCount, table.RowCount, 65001);
            if (model.SortAscending() != ascending) model.ColumnClick(0);
            ASSERT_EQ(model.SortAscending(), ascending);

            std::vector<int32_t> modelOrder;
            for (int r = 0; r < model.Rows(); ++r)
                modelOrder.push_back(std::stoi(std::string(model.Cell(r, 1))));
            EXPECT_EQ(modelOrder, wqlOrder)
                << c.what << (ascending ? ", ascending" : ", descending");
        }
    }
}

}  // namespace
