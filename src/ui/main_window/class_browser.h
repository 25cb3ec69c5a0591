// The class browser: the Classes tab (TabClasses). The class list
// (ClassListBox) on top; below it the instance browser's page beside the
// class's Properties (PropGrid) and Methods (TreeView1) pages, and the strip
// (Panel4) whose Execute runs QueryCombo's text on the Query tab.
//
// Selecting a class shows its property names and methods and has the
// instance browser list its instances; the class list's menu (PopupMenu1)
// runs the class's query or lists its instances again. The grid shows the
// values of the instance the instance browser read. The grid's and the
// tree's menus (PopupMenu2, PopupMenu4) and Ctrl+C copy from them; the
// tree's menu and a double-click on a method also run it (method_dialog.h).
#pragma once

#include <QString>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "wmi/bw_wmi.h"
#include "wmi/property_details.h"

class QAction;
class QComboBox;
class QPlainTextEdit;
class QTreeWidget;

namespace ui {

class ColumnListBox;
class CompletionNames;
class ImageList;
class InstanceBrowser;
class Prompts;
class StringGrid;
struct FindOptions;

class ClassBrowser : public QWidget {
    Q_OBJECT

  public:
    // The instance browser becomes the Instances page. The connection, the
    // instance browser and the prompts must outlive the class browser.
    ClassBrowser(wmi::TWMI& wmi, InstanceBrowser& instances, Prompts& prompts,
                 std::shared_ptr<const ImageList> images, QWidget* parent = nullptr);

    // Fills the class list from the connection, sorted, nothing selected, and
    // empties the instance list; a failure is told. Selecting the class shown
    // before shows it anew.
    void loadClasses();
    int classCount() const;
    // The names in the class list, as loaded.
    std::vector<std::string> classNames() const;
    // QueryCombo completes from these names.
    void completeFrom(std::shared_ptr<CompletionNames> names);
    // The class on show: the last one selected by the user.
    const std::string& currentClass() const { return currentClass_; }

    // The names and values of an instance under the grid's headers.
    void showInstanceValues(const wmi::TextList& names, const wmi::TextList& values);

    // Find in the class list: the position of the class found, selected
    // without it being the user's choice, or -1 (find_views.h).
    int findClass(const QString& text, const FindOptions& options);
    // After a find: the list takes the focus; the grid and the instance list
    // are emptied, as the found class is not on show until the user picks it.
    void showFoundClass();

    // The grid's value column fills what the name column leaves of the grid.
    void fitValueColumn();
    // The grid's rows as high as its font's text.
    void fitRowHeight();

    // --- The design's handlers -------------------------------------------------------
    // Runs at every selection change of ClassListBox that signals and at a
    // click on the entry already selected; code that selects a class without
    // it being the user's choice (the search) blocks the list's signals.
    void ClassListBoxClick();
    void PopupMenu1Popup();  // names the selected class in Selectfrom1 and Refresh2
    void Selectfrom1Click();
    void Refresh2Click();
    void PopupMenu2Popup();  // enables CopyPropert1
    void CopyPropert1Click();
    void PopupMenu4Popup();  // enables ExecuteMethod1, Copymethod1 and Copyallmethods1
    // "Execute method..." (also a double-click on a method): the method
    // dialog for the selected method, on the instance the instance browser
    // has selected or, for a static method, on the class.
    void ExecuteMethod1Click();
    void Copymethod1Click();
    void Copyallmethods1Click();
    void Query1BtnClick();
    // The details pane (PropDetails) shows the property of the grid's current
    // row: type, key, qualifiers and full value; an instance's values are
    // read at the first look.
    void PropGridSelect();
    void ShowMof1Click();  // the selected class's MOF text

  signals:
    // A query to run on the Query tab (Query1Btn, Selectfrom1).
    void queryRequested(const QString& text);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildLayout();
    void buildMenus();
    void showMethods(bool reportFailure);
    void clearGrid();  // the header row and one blank row
    // Key icons and type tooltips on the grid's names, from the class's details.
    void markRows();

    wmi::TWMI& wmi_;
    InstanceBrowser& instances_;
    Prompts& prompts_;
    std::shared_ptr<const ImageList> images_;

    std::string currentClass_;
    // A reload of the class list (or the search) emptied what the views
    // showed of currentClass_: selecting that class again shows it anew
    // instead of being taken for a repeated notification.
    bool currentClassCleared_ = false;
    std::string selectFromQuery_;  // what Selectfrom1 runs, set when PopupMenu1 opens

    wmi::ObjectDetails classDetails_;  // of currentClass_
    // The details of the instance whose values the grid shows, read when
    // first looked at; shownPath_ is its path ("" for an instance without
    // one), none while the grid shows the class or a line of no instance.
    std::optional<std::string> shownPath_;
    bool instanceDetailsRead_ = false;
    wmi::ObjectDetails instanceDetails_;
    std::string instanceDetailsError_;

    ColumnListBox* ClassListBox = nullptr;
    StringGrid* PropGrid = nullptr;
    QTreeWidget* TreeView1 = nullptr;
    QPlainTextEdit* PropDetails = nullptr;
    QComboBox* QueryCombo = nullptr;
    QAction* Refresh2 = nullptr;
    QAction* Selectfrom1 = nullptr;
    QAction* ShowMof1 = nullptr;
    QAction* CopyPropert1 = nullptr;
    QAction* ExecuteMethod1 = nullptr;
    QAction* Copymethod1 = nullptr;
    QAction* Copyallmethods1 = nullptr;
};

}  // namespace ui
