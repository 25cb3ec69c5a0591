// A main window on a test host of the embedded service, with a settings file
// in a fresh folder and the prompt fake, for the window's tests.
#pragma once

#include <gtest/gtest.h>

#include <QObject>
#include <QTemporaryDir>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "fake_prompts.h"
#include "ui/main_window/win1.h"

class QAction;
class QComboBox;
class QTabWidget;
class QTreeView;

namespace ui {
class ClassBrowser;
class ColumnListBox;
class InstanceLineBox;
class QueryPane;
class ResultModel;
class StringGrid;
class TFindDialog;
}  // namespace ui

namespace uitest {

// The one descendant of `scope` with that object name and type: a control, a
// menu item, a pane or a dialog. Throws, which fails the test, when there is
// none or more than one (a dialog may use a name the window uses too).
template <class T = QWidget>
T& control(const QObject& scope, const char* name) {
    const QList<T*> found = scope.findChildren<T*>(QString::fromLatin1(name));
    if (found.size() != 1)
        throw std::runtime_error(std::to_string(found.size()) + " objects named " + name);
    return *found.first();
}

// The panes and controls of a main window the tests use most, each found by
// its object name (in camelCase here): the panes TabClasses and TabQuery, the
// controls in them, the find dialog and the main menu's items.
ui::ClassBrowser& classBrowser(const ui::TMainWin& window);
ui::QueryPane& queryPane(const ui::TMainWin& window);
QTabWidget& pageControl2(const ui::TMainWin& window);
ui::ColumnListBox& classListBox(const ui::TMainWin& window);
ui::InstanceLineBox& instanceListBox(const ui::TMainWin& window);
ui::StringGrid& propGrid(const ui::TMainWin& window);
QComboBox& queryCombo(const ui::TMainWin& window);
QComboBox& query2Combo(const ui::TMainWin& window);
QTreeView& listView1(const ui::TMainWin& window);
ui::ResultModel& listView1Model(const ui::TMainWin& window);
ui::TFindDialog& findDialog(ui::TMainWin& window);
QAction& menuItem(const ui::TMainWin& window, const char* name);

// Waits for the end of the Query tab's query under way, if any (its finished
// signal); false when it did not end in time.
bool waitForQuery(const ui::TMainWin& window,
                  std::chrono::milliseconds timeout = std::chrono::seconds(60));

// Host "uihost": classes of mixed letter case, and instances to query.
extern const char* const kUiHostMof;

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A window whose clock advances `tick` milliseconds at every reading.
    std::unique_ptr<ui::TMainWin> makeWindow(std::vector<std::string> arguments = {},
                                             int64_t tick = 250);
    // makeWindow with "-host:uihost" and the arguments, shown and activated.
    std::unique_ptr<ui::TMainWin> startWindow(std::vector<std::string> arguments = {});
    // Runs a query as the user does: text into Query2Combo, then Execute, and
    // waits for its end.
    static void runQuery(ui::TMainWin& window, const QString& query);

    std::string settingsFile() const { return settingsFile_; }

    FakePrompts prompts;
    int64_t now = 1'700'000'000'000;  // the fake wall clock, in ms

  private:
    QTemporaryDir dir_;
    std::string settingsFile_;
};

}  // namespace uitest
