// The rules under the class page's views: parameter lines split into names,
// the methods tree's nodes, the copy texts and the one-line display of values.
#include <gtest/gtest.h>

#include <QTreeWidget>

#include "ui/clipboard_text.h"
#include "ui/main_window/method_tree.h"
#include "ui/widgets/image_list.h"
#include "ui/widgets/one_line_delegate.h"

namespace {

struct ParameterCase {
    const char* line;
    std::vector<std::string> names;
};

TEST(ParameterNames, SplitsAtCommasTrimsAndStopsAtTheFirstEmptyField) {
    const ParameterCase cases[] = {
        {"", {}},
        {"ReturnValue", {"ReturnValue"}},
        {"CommandLine, CurrentDirectory, ProcessStartupInformation",
         {"CommandLine", "CurrentDirectory", "ProcessStartupInformation"}},
        {" A ,\tB\r\n", {"A", "B"}},
        {"A, , B", {"A"}},  // an empty field ends the list
        {"A,", {"A"}},
        {", A", {}},
    };
    for (const ParameterCase& c : cases)
        EXPECT_EQ(ui::ParameterNames(c.line), c.names) << '"' << c.line << '"';
}

class MethodTreeTest : public ::testing::Test {
  protected:
    // M(in A, in B, out R), Ping without parameters, Get(out Value, out R).
    void SetUp() override {
        ui::AddMethodNodes(tree, images, {"M", "Ping", "Get"}, {"A, B", "", ""},
                           {"R", "", "Value, R"});
    }
    ui::ImageList images;
    QTreeWidget tree;
};

TEST_F(MethodTreeTest, MethodsAreTopLevelWithInputsBeforeOutputsAndTheirPictures) {
    ASSERT_EQ(tree.topLevelItemCount(), 3);
    const QTreeWidgetItem& m = *tree.topLevelItem(0);
    EXPECT_EQ(m.text(0), "M");
    EXPECT_EQ(ui::NodeImageIndex(m), ui::kImageMethod);
    ASSERT_EQ(m.childCount(), 3);
    const std::pair<const char*, int> children[] = {
        {"A", ui::kImageInParameter}, {"B", ui::kImageInParameter}, {"R", ui::kImageOutParameter}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(m.child(i)->text(0), children[i].first);
        EXPECT_EQ(ui::NodeImageIndex(*m.child(i)), children[i].second);
        EXPECT_FALSE(m.child(i)->icon(0).isNull());
    }
    EXPECT_EQ(tree.topLevelItem(1)->childCount(), 0);
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(tree.topLevelItem(i)->isExpanded());
}

TEST_F(MethodTreeTest, ListsCutShortByAFailureLeaveTheLastMethodWithoutParameters) {
    tree.clear();
    ui::AddMethodNodes(tree, images, {"M", "N"}, {"A"}, {});
    ASSERT_EQ(tree.topLevelItemCount(), 2);
    EXPECT_EQ(tree.topLevelItem(0)->childCount(), 1);
    EXPECT_EQ(tree.topLevelItem(1)->childCount(), 0);
}

TEST_F(MethodTreeTest, CopyTextsNameEachParameterInOrOutByItsPicture) {
    EXPECT_EQ(ui::MethodText(*tree.topLevelItem(0)),
              QStringLiteral("M\r\n  in A\r\n  in B\r\n  out R\r\n"));
    EXPECT_EQ(ui::MethodText(*tree.topLevelItem(1)), QStringLiteral("Ping\r\n"));
    EXPECT_EQ(ui::AllMethodsText(tree), QStringLiteral("M\r\n  in A\r\n  in B\r\n  out R\r\n"
                                                       "Ping\r\n"
                                                       "Get\r\n  out Value\r\n  out R\r\n"));
    tree.clear();
    EXPECT_EQ(ui::AllMethodsText(tree), QString());
}

TEST(CopyTexts, PropertyLinesLeaveOutBlankRowsAndKeepCellsAsTheyAre) {
    struct Case {
        std::vector<ui::GridRow> rows;
        QString text;
    };
    const Case cases[] = {
        {{}, ""},
        {{{"Name", ""}, {"Id", ""}}, "Name: \r\nId: \r\n"},
        {{{"Note", " "}}, "Note:  \r\n"},  // an empty instance value is one blank
        {{{"", ""}, {" ", "\t"}}, ""},
        {{{" Name ", "a\r\nb"}, {"", "x"}}, " Name : a\r\nb\r\n: x\r\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(ui::PropertyLinesText(c.rows), c.text);
}

TEST(CopyTexts, ListEndsEveryLineTheLastOneToo) {
    EXPECT_EQ(ui::ListText({}), QString());
    EXPECT_EQ(ui::ListText({"a", "", "Requesting WMI..."}),
              QStringLiteral("a\r\n\r\nRequesting WMI...\r\n"));
}

TEST(OneLineText, LineBreaksBecomeOneReturnMarkEach) {
    const QString mark(QChar(0x21B5));
    const std::pair<QString, QString> cases[] = {
        {"", ""},
        {"plain text", "plain text"},
        {"a\r\nb", "a" + mark + "b"},
        {"a\nb\rc", "a" + mark + "b" + mark + "c"},
        {"\n\r\n", mark + mark},
        {"a\n\nb", "a" + mark + mark + "b"},
        {"a\r" + QString(QChar::LineSeparator) + "b" + QChar::ParagraphSeparator,
         "a" + mark + "b" + mark},
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(ui::OneLineText(text), shown) << text.toStdString();
}

}  // namespace
