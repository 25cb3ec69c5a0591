#include "window_fixture.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>

#include "ui/dialogs/find_win.h"
#include "ui/main_window/class_browser.h"
#include "ui/main_window/query_pane.h"
#include "ui/main_window/result_model.h"
#include "ui/widgets/column_list_box.h"
#include "ui/widgets/instance_line_box.h"
#include "ui/widgets/string_grid.h"
#include "wbem/service/hosts.h"
#include "wmi/bw_wmi.h"

namespace uitest {

ui::ClassBrowser& classBrowser(const ui::TMainWin& window) {
    return control<ui::ClassBrowser>(window, "TabClasses");
}
ui::QueryPane& queryPane(const ui::TMainWin& window) {
    return control<ui::QueryPane>(window, "TabQuery");
}
QTabWidget& pageControl2(const ui::TMainWin& window) {
    return control<QTabWidget>(window, "PageControl2");
}
ui::ColumnListBox& classListBox(const ui::TMainWin& window) {
    return control<ui::ColumnListBox>(window, "ClassListBox");
}
ui::InstanceLineBox& instanceListBox(const ui::TMainWin& window) {
    return control<ui::InstanceLineBox>(window, "InstanceListBox");
}
ui::StringGrid& propGrid(const ui::TMainWin& window) {
    return control<ui::StringGrid>(window, "PropGrid");
}
QComboBox& queryCombo(const ui::TMainWin& window) {
    return control<QComboBox>(window, "QueryCombo");
}
QComboBox& query2Combo(const ui::TMainWin& window) {
    return control<QComboBox>(window, "Query2Combo");
}
QTreeView& listView1(const ui::TMainWin& window) { return control<QTreeView>(window, "ListView1"); }
ui::ResultModel& listView1Model(const ui::TMainWin& window) {
    return control<ui::ResultModel>(window, "ListView1Model");
}
ui::TFindDialog& findDialog(ui::TMainWin& window) {
    window.prepareDialogs();  // built when first needed
    return control<ui::TFindDialog>(window, "TFindDialog");
}
QAction& menuItem(const ui::TMainWin& window, const char* name) {
    return control<QAction>(window, name);
}

const char* const kUiHostMof = R"MOF(
class Widget
{
    [key] uint32 Id;
    string Name;
    sint32 Score;
    string Note;
};

class Pair
{
    [key] uint32 Id;
    string Label;
};

class alpha { [key] uint32 Id; };
class Beta { [key] uint32 Id; };
class gamma { [key] uint32 Id; };
class Zulu_Last { [key] uint32 Id; };

instance of Widget { Id = 1; Name = "pear"; Score = 10; Note = "b"; };
instance of Widget { Id = 2; Name = "Apple"; Score = -1; Note = "a"; };
instance of Widget { Id = 3; Name = "fig"; Score = -5; Note = "b"; };
instance of Widget { Id = 4; Name = "apple"; Score = 9; Note = "a"; };

instance of Pair { Id = 1; Label = "one"; };
instance of Pair { Id = 2; Label = "two"; };
)MOF";

void WindowTest::SetUp() {
    ASSERT_TRUE(dir_.isValid());
    settingsFile_ = dir_.filePath(QStringLiteral("cimscope.ini")).toStdString();
    wbem::registerTestHost("uihost", kUiHostMof);
    wbem::setLocatorAvailable(true);
    wmi::AuthenticationLevel = 0;
}

void WindowTest::TearDown() {
    wbem::unregisterTestHost("uihost");
    wbem::setLocatorAvailable(true);
    wmi::AuthenticationLevel = 0;
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the hourglass was left showing";
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

std::unique_ptr<ui::TMainWin> WindowTest::makeWindow(std::vector<std::string> arguments,
                                                     int64_t tick) {
    ui::MainWindowOptions options;
    options.settingsFile = settingsFile_;
    options.arguments = std::move(arguments);
    options.clock = [this, tick] { return now += tick; };
    return std::make_unique<ui::TMainWin>(prompts, std::move(options));
}

std::unique_ptr<ui::TMainWin> WindowTest::startWindow(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "-host:uihost");
    auto window = makeWindow(std::move(arguments));
    window->show();
    window->FormActivate();
    return window;
}

bool waitForQuery(const ui::TMainWin& window, std::chrono::milliseconds timeout) {
    ui::QueryPane& pane = queryPane(window);
    if (!pane.queryRunning()) return true;
    QSignalSpy ends(&pane, &ui::QueryPane::finished);
    return ends.wait(int(timeout.count()));
}

void WindowTest::runQuery(ui::TMainWin& window, const QString& query) {
    query2Combo(window).setEditText(query);
    QTest::mouseClick(&control<QPushButton>(window, "Query2Btn"), Qt::LeftButton);
    EXPECT_TRUE(waitForQuery(window)) << "the query did not end: " << query.toStdString();
}

}  // namespace uitest
