// The result menu's texts and how a row is found again as an object; how the
// associations window groups what the service answers.
#include "ui/result_rows.h"

#include <gtest/gtest.h>

#include "ui/association_groups.h"
#include "ui/clipboard_text.h"

namespace {

TEST(ResultRows, RowsAreTabSeparatedLinesWithAnOptionalHeader) {
    const QStringList captions = {"Name", "Id"};
    const std::vector<QStringList> rows = {{"a", "1"}, {"b\tc", "2"}, {"two\r\nlines", ""}};
    EXPECT_EQ(ui::rowsText(captions, rows, false), "a\t1\r\nb c\t2\r\ntwo  lines\t\r\n");
    EXPECT_EQ(ui::rowsText(captions, {rows[0]}, true), "Name\tId\r\na\t1\r\n");
    EXPECT_EQ(ui::rowsText(captions, {}, false), "");
}

TEST(ResultRows, SelectAllQueryAsksForWholeObjects) {
    struct Case {
        const char* query;
        const char* expected;
    } cases[] = {
        {"select Name, Id from C where X = 1", "select * from C where X = 1"},
        {"  SELECT Name FROM C", "  SELECT * FROM C"},
        {"select*from C", "select * from C"},
        {"select \"from\", Name from C", "select * from C"},  // FROM inside quotes is no keyword
        {"select fromage from C", "select * from C"},
        {"select * from meta_class", "select * from meta_class"},
        {"ASSOCIATORS OF {C.Id=1}", "ASSOCIATORS OF {C.Id=1}"},
        {"selected from C", "selected from C"},  // not SELECT
        {"select Name", "select Name"},          // no FROM
        {"select Name from C where N = 'a from b'", "select * from C where N = 'a from b'"},
        {"select Name # from C", "select Name # from C"},  // not WQL
    };
    for (const auto& c : cases) EXPECT_EQ(ui::selectAllQuery(c.query), c.expected) << c.query;
}

TEST(ResultRows, TheShownRowIsFoundAgainByItsKeysOrAllItsCells) {
    const std::vector<std::string> paths = {"\\\\H\\ns:P.Id=1", "P.Id=2", "P.Id=3", "P.Id=4"};
    struct Case {
        std::vector<std::string> columns;
        std::vector<std::vector<std::string>> rows;  // as the query returns them now
        std::vector<std::string> row;                // as shown
        int occurrence, found;
    } cases[] = {
        // Without the key among the columns every cell decides; the n-th row
        // alike is the n-th alike the query returns.
        {{"Name", "Size"}, {{"a", "1"}, {"b", "2"}, {"a", "1"}, {"a", "2"}}, {"a", "1"}, 0, 0},
        {{"Name", "Size"}, {{"a", "1"}, {"b", "2"}, {"a", "1"}, {"a", "2"}}, {"a", "1"}, 1, 2},
        {{"Name", "Size"}, {{"a", "1"}, {"b", "2"}, {"a", "1"}, {"a", "2"}}, {"a", "1"}, 2, -1},
        {{"Name", "Size"}, {{"a", "1"}, {"b", "2"}, {"a", "1"}, {"a", "2"}}, {"a", "2"}, 0, 3},
        {{"Name", "Size"}, {{"a", "1"}, {"b", "2"}, {"a", "1"}, {"a", "3"}}, {"a", "2"}, 0, -1},
        // With the key (in any letter case, in any column) it alone decides:
        // the size changed since the row was shown.
        {{"ID", "Size"}, {{"1", "5"}, {"2", "5"}, {"3", "5"}, {"4", "5"}}, {"3", "99"}, 0, 2},
        {{"Size", "id"}, {{"5", "1"}, {"5", "2"}, {"5", "3"}, {"5", "4"}}, {"99", "4"}, 0, 3},
        {{"ID", "Size"}, {{"1", "5"}, {"2", "5"}, {"3", "5"}, {"4", "5"}}, {"9", "5"}, 0, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ui::matchingRow(c.columns, c.rows, paths, c.row, c.occurrence), c.found)
            << c.columns[0] << " " << c.row[0] << "," << c.row[1] << " #" << c.occurrence;
    // A path that names no key, or is not a path: every cell decides.
    EXPECT_EQ(ui::matchingRow({"Id"}, {{"1"}, {"1"}}, {"Cls", "?"}, {"1"}, 1), 1);
}

TEST(AssociationGroups, PathsCompareAsWmiComparesThem) {
    struct Case {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"\\\\H\\root\\cimv2:P.Handle=\"1\"", "P.Handle=\"1\"", true},
        {"p.handle=\"ABC\"", "P.Handle=\"abc\"", true},
        {"T.A=1,B=\"x\"", "T.B=\"x\",A=1", true},
        {"P.Handle=\"1\"", "P.Handle=\"2\"", false},
        {"P.Handle=\"1\"", "Q.Handle=\"1\"", false},
        {"\\\\H\\root\\a:P.Handle=\"1\"", "\\\\H\\root\\b:P.Handle=\"1\"", false},
        {"not a path ===", "P.Handle=\"1\"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(ui::samePathText(c.a, c.b), c.same) << c.a << " " << c.b;
    EXPECT_EQ(ui::relativePath("\\\\H\\root\\cimv2:P.Name=\"a:b\""), "P.Name=\"a:b\"");
    EXPECT_EQ(ui::relativePath("P.Name=\"a:b\""), "P.Name=\"a:b\"");
}

TEST(AssociationGroups, ByAssociationClassAndRole) {
    const std::string src = "\\\\H\\ns:Proc.Handle=\"1\"";
    const std::vector<wmi::AssociationObject> refs = {
        {"Owns",
         "\\\\H\\ns:Owns.A=1",
         {{"Owner", "Proc.Handle=\"1\""}, {"Item", "\\\\H\\ns:Thread.Id=7"}}},
        {"Owns",
         "\\\\H\\ns:Owns.A=2",
         {{"Owner", "proc.handle=\"1\""}, {"Item", "\\\\H\\ns:Thread.Id=8"}}},
        // The same object in the other role of the same class.
        {"Owns",
         "\\\\H\\ns:Owns.A=3",
         {{"Owner", "\\\\H\\ns:Proc.Handle=\"0\""}, {"Item", "\\\\H\\ns:Proc.Handle=\"1\""}}},
        // A dangling reference: the service does not answer it as associated.
        {"Owns", "\\\\H\\ns:Owns.A=4", {{"Owner", src}, {"Item", "\\\\H\\ns:Thread.Id=99"}}},
        // Twice the same endpoint through one class and role: listed once.
        {"Peer", "\\\\H\\ns:Peer.A=1", {{"Left", src}, {"Right", "\\\\H\\ns:Proc.Handle=\"2\""}}},
        {"Peer", "\\\\H\\ns:Peer.A=2", {{"Left", src}, {"Right", "\\\\H\\ns:Proc.Handle=\"2\""}}},
    };
    const std::vector<std::string> associators = {
        "\\\\H\\ns:Thread.Id=7",       "\\\\H\\ns:Thread.Id=8",       "\\\\H\\ns:Proc.Handle=\"0\"",
        "\\\\H\\ns:Proc.Handle=\"2\"", "\\\\H\\ns:Proc.Handle=\"2\"", "\\\\H\\ns:Lone.Id=5"};

    const auto groups = ui::groupAssociators(src, refs, associators);
    ASSERT_EQ(groups.size(), 4u);
    EXPECT_EQ(groups[0].assocClass, "Owns");
    EXPECT_EQ(groups[0].role, "Owner");
    EXPECT_EQ(groups[0].entries, (std::vector<std::pair<std::string, std::string>>{
                                     {"Item", associators[0]}, {"Item", associators[1]}}));
    EXPECT_EQ(groups[1].role, "Item");
    EXPECT_EQ(groups[1].entries,
              (std::vector<std::pair<std::string, std::string>>{{"Owner", associators[2]}}));
    EXPECT_EQ(groups[2].assocClass, "Peer");
    EXPECT_EQ(groups[2].role, "Left");
    EXPECT_EQ(groups[2].entries,
              (std::vector<std::pair<std::string, std::string>>{{"Right", associators[3]}}));
    // What no reference leads to is still listed.
    EXPECT_EQ(groups[3].assocClass, "");
    EXPECT_EQ(groups[3].entries,
              (std::vector<std::pair<std::string, std::string>>{{"", associators[5]}}));

    const auto byRef = ui::groupReferences(src, refs);
    ASSERT_EQ(byRef.size(), 3u);
    EXPECT_EQ(byRef[0].assocClass + "/" + byRef[0].role, "Owns/Owner");
    EXPECT_EQ(byRef[0].entries.size(), 3u);  // A=1, A=2, A=4
    EXPECT_EQ(byRef[1].assocClass + "/" + byRef[1].role, "Owns/Item");
    EXPECT_EQ(byRef[1].entries,
              (std::vector<std::pair<std::string, std::string>>{{"", "\\\\H\\ns:Owns.A=3"}}));
    EXPECT_EQ(byRef[2].assocClass + "/" + byRef[2].role, "Peer/Left");
    EXPECT_EQ(byRef[2].entries.size(), 2u);
}

}  // namespace
