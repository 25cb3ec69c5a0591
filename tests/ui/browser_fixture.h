// The tests of the Classes tab's panes, the class browser and the instance
// browser: a main window on the small test host "browsehost", the panes and
// controls found by their object names, and helpers that drive them as a
// user does.
#pragma once

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "test_hosts.h"
#include "ui/main_window/class_browser.h"
#include "ui/main_window/instance_browser.h"
#include "ui/widgets/column_list_box.h"
#include "ui/widgets/instance_line_box.h"
#include "ui/widgets/string_grid.h"
#include "window_fixture.h"

namespace uitest {

class BrowserTest : public WindowTest {
  protected:
    // More instances than the window lists (its limit is 30000, so it shows 30001).
    static constexpr int kBulkCount = 30050;
    static constexpr const char* kPlaceholder = "Requesting WMI...";

    void SetUp() override;
    void TearDown() override;

    ui::ClassBrowser& classes() const { return control<ui::ClassBrowser>(*window, "TabClasses"); }
    ui::InstanceBrowser& instances() const {
        return control<ui::InstanceBrowser>(*window, "TabSheet4");
    }
    ui::ColumnListBox& classListBox() const {
        return control<ui::ColumnListBox>(classes(), "ClassListBox");
    }
    ui::InstanceLineBox& instanceListBox() const {
        return control<ui::InstanceLineBox>(instances(), "InstanceListBox");
    }
    ui::StringGrid& propGrid() const { return control<ui::StringGrid>(classes(), "PropGrid"); }
    QTreeWidget& treeView1() const { return control<QTreeWidget>(classes(), "TreeView1"); }
    QComboBox& queryCombo() const { return control<QComboBox>(classes(), "QueryCombo"); }
    QAction& action(const char* name) const { return control<QAction>(*window, name); }
    QMenu& menu(const char* name) const { return control<QMenu>(*window, name); }

    // A click on the class's entry, as the user makes it.
    void clickClass(const QString& name, Qt::KeyboardModifiers modifiers = {});
    void clickLine(int row);
    // Waits until the window was told of `calls` ends of runs in all.
    bool waitDone(int calls);
    std::vector<std::string> lines() const;
    // Column c of the grid, rows 0 to the last.
    QStringList gridColumn(int c) const;
    std::vector<std::pair<QString, int>> topNodes() const;
    static QString clipboard();
    // A click on the first row and a Shift+click on the last, grid rows
    // counted with the header as 0.
    void selectGridRows(int first, int last);
    // The class lookups (Get) of the window thread fail by their number,
    // counted from 1 (1 = properties, 2 = methods of a class selection); the
    // instance thread's connections pass untouched.
    void failWindowGets(std::set<int> calls);

    std::unique_ptr<ui::TMainWin> window;
    int doneCalls = 0;
    std::shared_ptr<std::atomic<int>> shift_ = std::make_shared<std::atomic<int>>(0);

  private:
    std::unique_ptr<wmitest::ScopedHost> host_;
};

}  // namespace uitest
