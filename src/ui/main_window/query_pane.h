// The query pane: the Query tab (TabQuery). Query2Combo, with the history of
// the queries run, and Execute (Query2Btn) run a WQL query on a worker thread
// (wmi/query_thread.h), while the window goes on answering: the status tells
// the run's time so far, and Esc or the button (Stop meanwhile) give it up,
// leaving everything as it was. ListView1 shows the result through
// ResultModel (ListView1Model), sorted by a click on a column's header with
// the rule of results/cell_order.h. The shown result
// can be saved as an HTML report, CSV or TSV (query_export.cpp).
// The result's menu (ResultMenu) and Ctrl+C copy rows, a cell or a column;
// it and a double click open a row as an object (dialogs/object_window.h)
// and follow its associations (dialogs/associations_win.h). Query2Combo
// completes class, property and key words from the class list as loaded.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "wmi/bw_wmi.h"
#include "wmi/query_thread.h"

class QAction;
class QComboBox;
class QPushButton;
class QTimer;
class QTreeView;

namespace ui {

class CompletionNames;
class ImageList;
class Prompts;
class ResultModel;
struct FindOptions;

class QueryPane : public QWidget {
    Q_OBJECT

  public:
    // `clock` is the wall clock in milliseconds for the query's timing. The
    // connection and the prompts must outlive the pane.
    QueryPane(wmi::TWMI& wmi, Prompts& prompts, std::function<int64_t()> clock,
              std::shared_ptr<const ImageList> images, QWidget* parent = nullptr);

    // The text in Query2Combo's edit field, run or not.
    QString queryText() const;
    void setQueryText(const QString& text);
    // Whether a query is under way.
    bool queryRunning() const { return runner_.running(); }
    // Gives up the query under way, if any, without waiting for it: its result
    // is dropped and nothing of the previous one changes; the status says so.
    void stopQuery();

    // The text of the last query that ran successfully; empty before.
    const std::string& lastQuery() const { return lastQuery_; }
    // The columns of the result on show.
    int resultColumnCount() const;
    // The queries run, most recent first, as the settings keep them.
    settings::HistoryList history() const;
    void setHistory(const settings::HistoryList& history);

    // Find in the result rows as shown: the position of the row found, made
    // the current and only selected row, or -1 (find_views.h).
    int findRow(const QString& text, const FindOptions& options);
    void showFoundRow();  // the result takes the focus

    // Query2Combo completes from these names.
    void completeFrom(std::shared_ptr<CompletionNames> names);

    // --- The design's handlers -------------------------------------------------------
    // Starts the text of Query2Combo, in place of a query under way. When it
    // ends: its time in the status bar, the text in the history, the result in
    // ListView1; a failure is told. Returns at once; the end comes with finished.
    void Query2BtnClick();
    // Enter in Query2Combo runs a text that is not blank; true when the key was consumed.
    bool Query2ComboKeyPress(char key);
    // A click on a column's header sorts by it (ResultModel::ColumnClick).
    void ListView1ColumnClick(int column);
    // "Save query result as...": the result as shown, in the format of the
    // chosen file name's extension (query_export.cpp).
    void Savequeryresultas1Click();
    // The result's menu: enables its items for the selection and the cell
    // under the mouse (or the current one).
    void ResultMenuPopup();
    void CopyRows1Click(bool withHeader);  // the selected rows, tab-separated
    void CopyCell1Click();
    void CopyColumn1Click();  // every row as shown, one cell a line
    // Opens the current row's object, read by the path the query gave it, in
    // a window of its own. A row without one (its query left out a key) is
    // found by running the query again for whole objects.
    void ShowObject1Click();
    void Associated1Click();
    void References1Click();

  signals:
    // The query's time, or why it failed, for the status bar.
    void statusMessage(const QString& text);
    // At the end of every query that was not stopped, successful or not,
    // once its result (or its failure) is shown.
    void finished(bool ok);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The window's side of the run's end.
    void queryDone(wmi::QueryThread::Outcome& outcome);
    // The strip and the list while a query runs, and back.
    void showRunning(bool running);
    void showProgress();
    void showResult(wmi::ResultTable& table, int32_t codePage);
    void buildResultMenu();
    std::vector<int> selectedRows() const;  // shown positions, top to bottom
    // The column the menu's cell commands work on: the one the menu opened
    // on, else the current cell's; -1 when neither.
    int menuColumn() const;
    // The path of the object shown at a row; empty (and an error box) when it
    // cannot be found.
    std::string rowObjectPath(int row);
    // rowObjectPath of the current row; empty without one or before a query ran.
    std::string currentObjectPath();
    // A failed run of `text`: the error box, and the status. A query the
    // parser refused also says where, and the cursor goes there while the box
    // still holds that text.
    void showQueryError(const QString& text, const wmi::QueryThread::Outcome& outcome);

    wmi::TWMI& wmi_;
    Prompts& prompts_;
    std::function<int64_t()> clock_;
    std::string lastQuery_;
    wmi::QueryThread runner_;  // drops the run under way with the pane
    QString runText_;          // the text under way, as it was started
    int64_t runStart_ = 0;     // its start on clock_
    QElapsedTimer runTime_;    // its time so far, for the status
    QTimer* progress_ = nullptr;
    QString lastExportFile_;  // proposed by the next save dialog
    int menuColumn_ = -1;     // the column of the cell the menu opened on

    QComboBox* Query2Combo = nullptr;
    QPushButton* Query2Btn = nullptr;
    QTreeView* ListView1 = nullptr;
    ResultModel* ListView1Model = nullptr;
    QAction* CopyRows1 = nullptr;
    QAction* CopyRowsHeader1 = nullptr;
    QAction* CopyCell1 = nullptr;
    QAction* CopyColumn1 = nullptr;
    QAction* ShowObject1 = nullptr;
    QAction* Associated1 = nullptr;
    QAction* References1 = nullptr;
};

}  // namespace ui
