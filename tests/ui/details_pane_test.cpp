// The properties grid's details pane and the MOF text viewer, driven as a
// user drives them: a click on a class, an instance line and a grid row, the
// key icons and type tooltips, and the viewer's Copy.
#include <QAbstractButton>
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTest>

#include "test_hosts.h"
#include "ui/dialogs/mof_text_viewer.h"
#include "ui/main_window/class_browser.h"
#include "ui/main_window/instance_browser.h"
#include "ui/widgets/column_list_box.h"
#include "ui/widgets/instance_line_box.h"
#include "ui/widgets/string_grid.h"
#include "window_fixture.h"

namespace uitest {
namespace {

const char* const kDetailsMof = R"MOF(
class Computer { [key] string Name; };

[Description("The settings of a network adapter")]
class AdapterConfig
{
    [key, Description("The adapter's index, the same as long as the adapter stays "
                      "installed on this machine.")]
    uint32 Index;
    string IPAddress[];
    Computer REF Host;
    string Caption;
};

instance of Computer { Name = "pc1"; };
instance of AdapterConfig
{
    Index = 7;
    IPAddress = {"192.168.1.20", "fe80::1"};
    Host = "Computer.Name=\"pc1\"";
    Caption = "Wired";
};
)MOF";

class DetailsPaneTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        host_ = std::make_unique<wmitest::ScopedHost>("detailshost", kDetailsMof);
        window = makeWindow({"-host:detailshost"});
        window->show();
        window->FormActivate();
        QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
    }
    void TearDown() override {
        window.reset();
        host_.reset();
        WindowTest::TearDown();
    }

    ui::StringGrid& grid() const { return propGrid(*window); }
    QPlainTextEdit& details() const {
        return control<QPlainTextEdit>(classBrowser(*window), "PropDetails");
    }

    void clickClass(const QString& name) {
        ui::ColumnListBox& list = classListBox(*window);
        const auto found = list.findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        list.scrollToItem(found.first());
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                          list.visualItemRect(found.first()).center());
    }
    // Grid rows counted with the header as 0.
    int rowOf(const QString& name) const {
        for (int r = 1; r < grid().RowCount(); ++r)
            if (grid().Cell(0, r) == name) return r;
        return -1;
    }
    void clickRow(const QString& name) {
        const int row = rowOf(name);
        ASSERT_GE(row, 1) << name.toStdString();
        const QRect cell = grid().visualRect(grid().model()->index(row - 1, 1));
        QTest::mouseClick(grid().viewport(), Qt::LeftButton, {}, cell.center());
    }
    void clickInstanceLine(int row) {
        ui::InstanceLineBox& list = instanceListBox(*window);
        ASSERT_TRUE(QTest::qWaitFor([&] { return list.count() > row; }, 30000));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                          list.visualItemRect(list.item(row)).center());
    }
    ui::MofTextViewer* viewer() const {
        return window->findChild<ui::MofTextViewer*>(QStringLiteral("MofTextViewer"));
    }

    std::unique_ptr<ui::TMainWin> window;

  private:
    std::unique_ptr<wmitest::ScopedHost> host_;
};

TEST_F(DetailsPaneTest, AClassRowShowsTypeKeyAndQualifiersAndTheGridMarksKeysAndTypes) {
    EXPECT_TRUE(control<QSplitter>(classBrowser(*window), "Splitter3").isVisible());
    clickClass("AdapterConfig");
    struct Case {
        const char* name;
        const char* type;
        bool key;
    };
    const Case cases[] = {{"Index", "uint32", true},
                          {"IPAddress", "string[]", false},
                          {"Host", "ref:Computer", false},
                          {"Caption", "string", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int row = rowOf(c.name);
        ASSERT_GE(row, 1);
        const QTableWidgetItem* cell = grid().item(row - 1, 0);
        EXPECT_EQ(cell->toolTip(), c.type);
        EXPECT_EQ(!cell->icon().isNull(), c.key);
        clickRow(c.name);
        const QString text = details().toPlainText();
        EXPECT_TRUE(text.startsWith(
            QStringLiteral("%1\nType: %2\nKey: %3\n").arg(c.name, c.type, c.key ? "yes" : "no")))
            << text.toStdString();
    }
    clickRow("Index");
    EXPECT_TRUE(details().toPlainText().contains(
        "Description:\nThe adapter's index, the same as long as the adapter stays installed on "
        "this machine.\n"))
        << details().toPlainText().toStdString();
    EXPECT_EQ(grid().Cell(1, rowOf("Index")), "");  // the class's grid shows no values
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(DetailsPaneTest, AnInstanceRowShowsEachElementOfAnArrayAndTheGridCellStaysAsItWas) {
    clickClass("AdapterConfig");
    clickRow("IPAddress");
    EXPECT_TRUE(details().toPlainText().endsWith("Value:\nNULL"))
        << details().toPlainText().toStdString();
    clickInstanceLine(0);
    const QString cell = grid().Cell(1, rowOf("IPAddress"));
    EXPECT_EQ(cell, "array[0..1]");  // the grid's own text
    // The row stays current: the pane now shows the instance's value.
    EXPECT_TRUE(details().toPlainText().endsWith("Value:\n[0] 192.168.1.20\n[1] fe80::1"))
        << details().toPlainText().toStdString();
    clickRow("Host");
    EXPECT_TRUE(details().toPlainText().endsWith("Value:\nComputer.Name=\"pc1\""))
        << details().toPlainText().toStdString();
    clickRow("IPAddress");
    EXPECT_TRUE(details().toPlainText().contains("Type: string[]\nKey: no\n"));
    EXPECT_TRUE(details().toPlainText().endsWith("[1] fe80::1"));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(DetailsPaneTest, TheMofViewersOfAClassAndAnInstanceCopyTheirText) {
    struct Case {
        const char* what;
        const char* popup;
        const char* action;
        const char* start;
    };
    const Case cases[] = {
        {"class", "PopupMenu1", "ShowMof1",
         "\n[Description(\"The settings of a network adapter\")]\n"
         "class AdapterConfig\n{\n"},
        {"instance", "PopupMenu3", "ShowMof2", "\ninstance of AdapterConfig\n{\n"},
    };
    clickClass("AdapterConfig");
    clickInstanceLine(0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
        emit control<QMenu>(*window, c.popup).aboutToShow();
        QAction& show = control<QAction>(*window, c.action);
        ASSERT_TRUE(show.isEnabled());
        show.trigger();
        ui::MofTextViewer* v = viewer();
        ASSERT_NE(v, nullptr);
        const QString text = control<QPlainTextEdit>(*v, "MofText").toPlainText();
        EXPECT_TRUE(text.startsWith(c.start)) << text.toStdString();
        EXPECT_TRUE(control<QPlainTextEdit>(*v, "MofText").isReadOnly());
        QTest::mouseClick(&control<QAbstractButton>(*v, "CopyBtn"), Qt::LeftButton);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), text);
        QTest::mouseClick(&control<QAbstractButton>(*v, "CloseBtn"), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return viewer() == nullptr; }, 5000));
    }
    EXPECT_TRUE(prompts.shown.empty());
}

}  // namespace
}  // namespace uitest
