#include "ui/main_window/result_model.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QIcon>
#include <QItemSelectionModel>
#include <algorithm>
#include <numeric>
#include <random>

#include "results/cell_order.h"
#include "ui/widgets/image_list.h"

namespace {

using Table = std::vector<std::vector<std::string>>;  // rows of cells

class ResultModelTest : public ::testing::Test {
  protected:
    // Fills the model like a query run: cells row after row.
    bool fill(const std::vector<std::string>& columns, const Table& rows,
              int32_t codePage = 65001) {
        wmi::TextList cells;
        for (const auto& row : rows) cells.insert(cells.end(), row.begin(), row.end());
        const bool rebuilt =
            model.Fill(columns, cells, int32_t(columns.size()), int32_t(rows.size()), codePage);
        EXPECT_TRUE(cells.empty()) << "the cells are taken over";
        return rebuilt;
    }
    std::vector<std::string> column(int c) const {
        std::vector<std::string> out;
        for (int r = 0; r < model.Rows(); ++r) out.emplace_back(model.Cell(r, c));
        return out;
    }
    qint64 decorationKey(int section) const {
        return model.headerData(section, Qt::Horizontal, Qt::DecorationRole)
            .value<QIcon>()
            .cacheKey();
    }

    std::shared_ptr<const ui::ImageList> images = std::make_shared<const ui::ImageList>();
    ui::ResultModel model{images};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(ResultModelTest, NewColumnsSortByTheFirstColumnAscending) {
    EXPECT_TRUE(fill({"Name", "Size"}, {{"b", "2"}, {"a", "10"}, {"c", "1"}}));
    EXPECT_EQ(model.SortColumn(), 0);
    EXPECT_TRUE(model.SortAscending());
    EXPECT_EQ(column(0), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(column(1), (std::vector<std::string>{"10", "2", "1"}));
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Size"));
    EXPECT_EQ(decorationKey(0), images->icon(ui::kImageSortAscending).cacheKey());
    EXPECT_FALSE(model.headerData(1, Qt::Horizontal, Qt::DecorationRole).isValid());
}

TEST_F(ResultModelTest, HeaderClicksTurnTheSameColumnAndKeepTheDirectionForAnother) {
    fill({"Name", "Size"}, {{"b", "2"}, {"a", "10"}, {"c", "1"}});
    model.ColumnClick(1);  // another column: still ascending
    EXPECT_EQ(model.SortColumn(), 1);
    EXPECT_TRUE(model.SortAscending());
    EXPECT_EQ(column(1), (std::vector<std::string>{"1", "2", "10"}));
    model.ColumnClick(1);  // the same column: descending
    EXPECT_FALSE(model.SortAscending());
    EXPECT_EQ(column(1), (std::vector<std::string>{"10", "2", "1"}));
    EXPECT_EQ(decorationKey(1), images->icon(ui::kImageSortDescending).cacheKey());
    EXPECT_FALSE(model.headerData(0, Qt::Horizontal, Qt::DecorationRole).isValid());
    model.ColumnClick(0);  // another column: stays descending
    EXPECT_FALSE(model.SortAscending());
    EXPECT_EQ(column(0), (std::vector<std::string>{"c", "b", "a"}));
    model.ColumnClick(0);
    model.ColumnClick(0);  // twice: back to the first direction
    EXPECT_FALSE(model.SortAscending());
}

TEST_F(ResultModelTest, SameColumnCountKeepsTheSortAndReplacesTheCaptions) {
    fill({"A", "B"}, {{"1", "x"}, {"2", "y"}});
    model.ColumnClick(1);
    model.ColumnClick(1);  // B descending
    EXPECT_FALSE(fill({"C", "D"}, {{"1", "p"}, {"2", "r"}, {"3", "q"}}));
    EXPECT_EQ(model.Caption(0), "C");
    EXPECT_EQ(model.Caption(1), "D");
    EXPECT_EQ(model.SortColumn(), 1);
    EXPECT_FALSE(model.SortAscending());
    EXPECT_EQ(column(1), (std::vector<std::string>{"r", "q", "p"}));

    EXPECT_TRUE(fill({"E", "F", "G"}, {{"2", "", ""}, {"1", "", ""}}));  // rebuilt
    EXPECT_EQ(model.SortColumn(), 0);
    EXPECT_TRUE(model.SortAscending());
    EXPECT_EQ(column(0), (std::vector<std::string>{"1", "2"}));
}

TEST_F(ResultModelTest, AResultWithoutColumnsRemovesTheRowsAndKeepsTheColumns) {
    fill({"A", "B"}, {{"1", "x"}});
    wmi::TextList none;
    EXPECT_FALSE(model.Fill({}, none, 0, 0, 65001));
    EXPECT_EQ(model.Rows(), 0);
    EXPECT_EQ(model.Columns(), 2);
    EXPECT_EQ(model.Caption(1), "B");
}

TEST_F(ResultModelTest, SortingMatchesAStableSortWithTheCompareRule) {
    // Integers, -1, texts, mixed pairs and many equal keys.
    const std::vector<std::string> pool = {"-1",   "-5", "9",  "10",         "0x10", "abc", "Zebra",
                                           "10.5", "",   " 7", "4294967296", "-1",   "b"};
    std::mt19937 random(7);
    Table rows;
    for (int r = 0; r < 400; ++r) rows.push_back({pool[random() % pool.size()], std::to_string(r)});
    fill({"Key", "Row"}, rows);
    for (bool ascending : {true, false}) {
        if (model.SortAscending() != ascending) model.ColumnClick(0);
        // The model sorts the order it shows; start the reference from the same order.
        std::vector<int> expected(rows.size());
        std::iota(expected.begin(), expected.end(), 0);
        std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
            return results::compareCells(rows[size_t(a)][0], rows[size_t(b)][0], true) < 0;
        });
        if (!ascending) {
            std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
                return results::compareCells(rows[size_t(a)][0], rows[size_t(b)][0], false) < 0;
            });
        }
        for (int r = 0; r < model.Rows(); ++r)
            ASSERT_EQ(model.Cell(r, 1), std::to_string(expected[size_t(r)]))
                << "row " << r << (ascending ? " ascending" : " descending");
    }
}

TEST_F(ResultModelTest, RowsThatCompareEqualKeepTheirPreviousOrder) {
    fill({"Group", "Name"}, {{"2", "d"}, {"1", "c"}, {"2", "a"}, {"1", "b"}});
    model.ColumnClick(1);  // by name: a b c d
    model.ColumnClick(0);  // by group, ascending: names stay in name order within a group
    EXPECT_EQ(column(1), (std::vector<std::string>{"b", "c", "a", "d"}));
}

TEST_F(ResultModelTest, CellsAreShownDecodedFromTheirCodePage) {
    fill({"Name"}, {{"\x8A\x9E"}}, 1250);
    EXPECT_EQ(model.data(model.index(0, 0)).toString(), QString::fromUtf16(u"\u0160\u017E"));
    EXPECT_EQ(model.Cell(0, 0), "\x8A\x9E");  // held as rendered
    fill({"Name"}, {{"\xC5\xA0"}}, 65001);
    EXPECT_EQ(model.data(model.index(0, 0)).toString(), QString::fromUtf16(u"\u0160"));
}

TEST_F(ResultModelTest, TheSelectedRowFollowsItsRowThroughASort) {
    fill({"Name"}, {{"c"}, {"a"}, {"b"}});
    QItemSelectionModel selection(&model);
    selection.setCurrentIndex(model.index(2, 0), QItemSelectionModel::SelectCurrent);  // "c"
    model.ColumnClick(0);  // descending: c b a
    EXPECT_EQ(selection.currentIndex().row(), 0);
    EXPECT_EQ(model.data(selection.currentIndex()).toString(), QStringLiteral("c"));
}

TEST_F(ResultModelTest, AskingOutsideTheTableGivesNothing) {
    fill({"A"}, {{"x"}});
    EXPECT_EQ(model.Cell(1, 0), "");
    EXPECT_EQ(model.Cell(0, 1), "");
    EXPECT_EQ(model.Cell(-1, 0), "");
    EXPECT_EQ(model.Caption(3), "");
    model.ColumnClick(5);  // ignored
    EXPECT_EQ(model.SortColumn(), 0);
}

TEST_F(ResultModelTest, EachRowKeepsItsObjectsPathThroughSorts) {
    // Two rows alike but for their objects; the last row's path is missing.
    wmi::TextList cells = {"sh", "sh", "init", "zsh"};
    wmi::TextList paths = {"P.Id=7", "P.Id=9", "P.Id=1"};
    model.Fill({"Name"}, cells, 1, 4, 65001, &paths);
    EXPECT_TRUE(paths.empty()) << "the paths are taken over";
    auto shownPaths = [&] {
        std::vector<std::string> out;
        for (int r = 0; r < model.Rows(); ++r) out.emplace_back(model.ObjectPath(r));
        return out;
    };
    // Ascending by name: init sh sh zsh, the two alike in their order.
    EXPECT_EQ(shownPaths(), (std::vector<std::string>{"P.Id=1", "P.Id=7", "P.Id=9", ""}));
    model.ColumnClick(0);  // descending: zsh sh sh init
    EXPECT_EQ(shownPaths(), (std::vector<std::string>{"", "P.Id=7", "P.Id=9", "P.Id=1"}));
    EXPECT_EQ(column(0), (std::vector<std::string>{"zsh", "sh", "sh", "init"}));
    EXPECT_EQ(model.ObjectPath(4), "");
    EXPECT_EQ(model.ObjectPath(-1), "");

    // A fill without paths forgets the last ones.
    fill({"Name"}, {{"a"}});
    EXPECT_EQ(model.ObjectPath(0), "");
}

TEST_F(ResultModelTest, MissingCellsReadAsEmpty) {
    wmi::TextList cells = {"a", "b", "c"};  // one short of 2 x 2
    model.Fill({"X", "Y"}, cells, 2, 2, 65001);
    EXPECT_EQ(model.Rows(), 2);
    std::vector<std::string> all;
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) all.emplace_back(model.Cell(r, c));
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all, (std::vector<std::string>{"", "a", "b", "c"}));
}

}  // namespace
