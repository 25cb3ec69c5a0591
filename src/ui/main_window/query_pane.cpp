#include "ui/main_window/query_pane.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <exception>
#include <vector>

#include "ui/clipboard_text.h"
#include "ui/dialogs/associations_win.h"
#include "ui/dialogs/object_window.h"
#include "ui/dialogs/prompts.h"
#include "ui/main_window/find_views.h"
#include "ui/main_window/result_model.h"
#include "ui/query_completion.h"
#include "ui/query_logic.h"
#include "ui/result_rows.h"
#include "ui/text_codec.h"
#include "ui/widgets/combo_history.h"
#include "ui/widgets/copy_key.h"
#include "ui/widgets/image_list.h"
#include "ui/widgets/pane_layout.h"
#include "ui/widgets/query_completer.h"
#include "ui/widgets/query_strip.h"
#include "ui/widgets/wait_cursor.h"
#include "wmi/object_access.h"

namespace ui {

QueryPane::QueryPane(wmi::TWMI& wmi, Prompts& prompts, std::function<int64_t()> clock,
                     std::shared_ptr<const ImageList> images, QWidget* parent)
    : QWidget(parent), wmi_(wmi), prompts_(prompts), clock_(std::move(clock)) {
    setObjectName(QStringLiteral("TabQuery"));
    auto* layout = bareColumn(this);
    const QueryStrip strip = makeQueryStrip(this, "Panel5", "Label5", "Query2Combo", "Query2Btn");
    Query2Combo = strip.combo;
    Query2Combo->setEditText(
        QStringLiteral("select Caption, HandleCount, ThreadCount from Win32_Process"));
    // Keys come to the combo box, the focus proxy of its edit field, which
    // hands them on to the field past any filter of the field's own.
    Query2Combo->installEventFilter(this);
    layout->addWidget(strip.panel);
    Query2Btn = strip.button;
    // The button stops the query it started: a second press is a stop.
    connect(Query2Btn, &QPushButton::clicked, this, [this] {
        if (queryRunning())
            stopQuery();
        else
            Query2BtnClick();
    });
    progress_ = new QTimer(this);
    progress_->setInterval(1000);
    connect(progress_, &QTimer::timeout, this, [this] { showProgress(); });

    ListView1Model = named(new ResultModel(std::move(images), this), "ListView1Model");
    ListView1 = named(new QTreeView(this), "ListView1");
    ListView1->setModel(ListView1Model);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setSortingEnabled(false);  // the model sorts, by the header's clicks
    ListView1->setIconSize(QSize(ImageList::kSize, ImageList::kSize));
    QHeaderView* header = ListView1->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(header, &QHeaderView::sectionClicked, this,
            [this](int column) { ListView1ColumnClick(column); });
    ListView1->installEventFilter(this);  // Esc stops a query there too
    layout->addWidget(ListView1, 1);
    buildResultMenu();
}

void QueryPane::buildResultMenu() {
    auto* ResultMenu = named(new QMenu(this), "ResultMenu");
    CopyRows1 = popupItem(ResultMenu, "CopyRows1", QStringLiteral("Copy row(s)"));
    CopyRowsHeader1 =
        popupItem(ResultMenu, "CopyRowsHeader1", QStringLiteral("Copy row(s) with header"));
    CopyCell1 = popupItem(ResultMenu, "CopyCell1", QStringLiteral("Copy cell"));
    CopyColumn1 = popupItem(ResultMenu, "CopyColumn1", QStringLiteral("Copy column"));
    ResultMenu->addSeparator();
    ShowObject1 = popupItem(ResultMenu, "ShowObject1", QStringLiteral("Show object"));
    Associated1 = popupItem(ResultMenu, "Associated1", QStringLiteral("Associated objects..."));
    References1 = popupItem(ResultMenu, "References1", QStringLiteral("References..."));

    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListView1, &QWidget::customContextMenuRequested, ResultMenu,
            [this, ResultMenu](const QPoint& pos) {
                const QModelIndex at = ListView1->indexAt(pos);
                menuColumn_ = at.isValid() ? at.column() : -1;
                ResultMenu->popup(ListView1->viewport()->mapToGlobal(pos));
            });
    connect(ResultMenu, &QMenu::aboutToShow, this, [this] { ResultMenuPopup(); });
    connect(CopyRows1, &QAction::triggered, this, [this] { CopyRows1Click(false); });
    connect(CopyRowsHeader1, &QAction::triggered, this, [this] { CopyRows1Click(true); });
    connect(CopyCell1, &QAction::triggered, this, [this] { CopyCell1Click(); });
    connect(CopyColumn1, &QAction::triggered, this, [this] { CopyColumn1Click(); });
    connect(ShowObject1, &QAction::triggered, this, [this] { ShowObject1Click(); });
    connect(Associated1, &QAction::triggered, this, [this] { Associated1Click(); });
    connect(References1, &QAction::triggered, this, [this] { References1Click(); });
    copyKeyRuns(ListView1, CopyRows1, [this] {
        menuColumn_ = -1;
        ResultMenuPopup();
    });
    connect(ListView1, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (!index.isValid()) return;
        ListView1->setCurrentIndex(index);
        ShowObject1Click();
    });
}

QString QueryPane::queryText() const { return Query2Combo->currentText(); }

void QueryPane::setQueryText(const QString& text) { Query2Combo->setEditText(text); }

int QueryPane::resultColumnCount() const { return ListView1Model->Columns(); }

settings::HistoryList QueryPane::history() const { return comboHistory(*Query2Combo); }

void QueryPane::setHistory(const settings::HistoryList& history) {
    setComboHistory(*Query2Combo, history);
}

// --- Running a query ------------------------------------------------------------------

void QueryPane::Query2BtnClick() {
    const QString text = Query2Combo->currentText();
    const int64_t start = clock_();
    try {
        // Started with the connection as it is now; a query under way gives way.
        runner_.start(wmi_, toSystem(text), true,
                      [this](wmi::QueryThread::Outcome& outcome) { queryDone(outcome); });
    } catch (const std::exception& e) {
        showRunning(false);
        prompts_.error(errorText(e));
        emit finished(false);
        return;
    }
    runText_ = text;
    runStart_ = start;
    runTime_.start();
    showRunning(true);
    showProgress();
}

void QueryPane::stopQuery() {
    if (!queryRunning()) return;
    runner_.stop();
    showRunning(false);
    emit statusMessage(QStringLiteral("Query stopped"));
}

void QueryPane::showRunning(bool running) {
    Query2Btn->setText(running ? QStringLiteral("Stop") : QStringLiteral("Execute"));
    // Only the list waits; the rest of the window goes on answering.
    if (running) {
        ListView1->setCursor(Qt::BusyCursor);
        progress_->start();
    } else {
        ListView1->unsetCursor();
        progress_->stop();
    }
}

void QueryPane::showProgress() {
    // The status bar is the window's: on another tab it tells that tab's state.
    if (!isVisible()) return;
    const qint64 seconds = runTime_.elapsed() / 1000;
    emit statusMessage(seconds < 1 ? QStringLiteral("Executing query...")
                                   : QStringLiteral("Executing query... %1 s").arg(seconds));
}

void QueryPane::queryDone(wmi::QueryThread::Outcome& outcome) {
    showRunning(false);
    const QString text = runText_;
    try {
        if (outcome.ok) {
            const int64_t elapsed = clock_() - runStart_;
            // Without a time to show, the rows still replace the progress.
            const std::string status =
                queryStatusText(elapsed > 0 ? executionTimeText(double(elapsed) / 1000.0,
                                                                toSystem(QLocale().decimalPoint()))
                                            : std::string(),
                                outcome.table.RowCount);
            emit statusMessage(fromSystem(status));
            addToComboHistory(*Query2Combo, text);
            lastQuery_ = toSystem(text);
            showResult(outcome.table, outcome.codePage);
        } else {
            showQueryError(text, outcome);
        }
    } catch (const std::exception& e) {
        prompts_.error(errorText(e));
    }
    emit finished(outcome.ok);
}

void QueryPane::showResult(wmi::ResultTable& table, int32_t codePage) {
    QHeaderView* header = ListView1->header();
    // A model reset gives the header's sections their default widths; kept
    // columns get back the widths they had, the user's included.
    std::vector<int> widths;
    for (int i = 0; i < ListView1Model->Columns(); ++i) widths.push_back(header->sectionSize(i));
    // The client width of the emptied list, which shows no scroll bar.
    const int clientWidth = ListView1->contentsRect().width();

    const bool rebuilt = ListView1Model->Fill(table.Columns, table.Cells, table.ColumnCount,
                                              table.RowCount, codePage, &table.Paths);
    if (rebuilt) {
        const int width = resultColumnWidth(clientWidth, table.ColumnCount);
        for (int i = 0; i < table.ColumnCount; ++i) header->resizeSection(i, width);
    } else {
        for (int i = 0; i < int(widths.size()) && i < ListView1Model->Columns(); ++i)
            header->resizeSection(i, widths[size_t(i)]);
    }
}

void QueryPane::showQueryError(const QString& text, const wmi::QueryThread::Outcome& outcome) {
    const QString message = fromSystem(outcome.error);
    if (outcome.errorOffset < 0) {
        prompts_.error(message);
    } else {
        const int position = textPosition(text, outcome.errorOffset);
        prompts_.error(queryErrorText(message, fromSystem(outcome.errorDetail), text, position));
        // A text edited since the start has moved on: its cursor stays.
        if (Query2Combo->currentText() == text) {
            Query2Combo->setFocus();
            Query2Combo->lineEdit()->setCursorPosition(position);
        }
    }
    emit statusMessage(message);
}

bool QueryPane::Query2ComboKeyPress(char key) {
    if (key != '\r' || wmi::Trimmed(toSystem(Query2Combo->currentText())).empty()) return false;
    Query2BtnClick();
    return true;
}

bool QueryPane::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == Query2Combo || watched == ListView1) && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && queryRunning()) {
            stopQuery();
            return true;
        }
        if (watched == Query2Combo &&
            (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            Query2ComboKeyPress('\r'))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

// --- The result -----------------------------------------------------------------------

void QueryPane::ListView1ColumnClick(int column) { ListView1Model->ColumnClick(column); }

int QueryPane::findRow(const QString& text, const FindOptions& options) {
    return FindInListView(*ListView1, text, options);
}

void QueryPane::showFoundRow() { ListView1->setFocus(); }

std::vector<int> QueryPane::selectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : ListView1->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int QueryPane::menuColumn() const {
    return menuColumn_ >= 0 ? menuColumn_ : ListView1->currentIndex().column();
}

void QueryPane::ResultMenuPopup() {
    const bool anyRow = !selectedRows().empty();
    const QModelIndex current = ListView1->currentIndex();
    const int column = menuColumn();
    CopyRows1->setEnabled(anyRow);
    CopyRowsHeader1->setEnabled(anyRow);
    CopyCell1->setEnabled(current.isValid() && column >= 0);
    CopyColumn1->setEnabled(ListView1Model->Rows() > 0 && column >= 0);
    const bool oneObject = current.isValid() && !lastQuery_.empty();
    ShowObject1->setEnabled(oneObject);
    Associated1->setEnabled(oneObject);
    References1->setEnabled(oneObject);
}

void QueryPane::CopyRows1Click(bool withHeader) {
    const ResultModel& model = *ListView1Model;
    QStringList captions;
    for (int c = 0; c < model.Columns(); ++c) captions.push_back(fromSystem(model.Caption(c)));
    std::vector<QStringList> rows;
    for (int r : selectedRows()) {
        QStringList cells;
        for (int c = 0; c < model.Columns(); ++c)
            cells.push_back(fromCodePage(model.Cell(r, c), model.CodePage()));
        rows.push_back(std::move(cells));
    }
    if (!rows.empty()) putOnClipboard(rowsText(captions, rows, withHeader));
}

void QueryPane::CopyCell1Click() {
    const QModelIndex current = ListView1->currentIndex();
    const int column = menuColumn();
    if (!current.isValid() || column < 0) return;
    putOnClipboard(
        fromCodePage(ListView1Model->Cell(current.row(), column), ListView1Model->CodePage()));
}

void QueryPane::CopyColumn1Click() {
    const int column = menuColumn();
    if (column < 0) return;
    std::vector<QStringList> rows;
    for (int r = 0; r < ListView1Model->Rows(); ++r)
        rows.push_back({fromCodePage(ListView1Model->Cell(r, column), ListView1Model->CodePage())});
    putOnClipboard(rowsText({}, rows, false));
}

std::string QueryPane::rowObjectPath(int row) {
    const ResultModel& model = *ListView1Model;
    if (const std::string_view path = model.ObjectPath(row); !path.empty())
        return std::string(path);

    // The query left out a key, so the row's object has no path: find it among
    // the query's objects run again whole, by its keys or by all its cells.
    wmi::TextList captions;
    std::vector<std::string> cells;
    for (int c = 0; c < model.Columns(); ++c) {
        captions.push_back(model.Caption(c));
        cells.emplace_back(model.Cell(row, c));
    }
    // Rows alike keep their order in any sort: the n-th alike shown is the
    // n-th alike the query returns.
    int occurrence = 0;
    for (int r = 0; r < row; ++r) {
        bool same = true;
        for (int c = 0; c < model.Columns() && same; ++c)
            same = model.Cell(r, c) == cells[size_t(c)];
        occurrence += same ? 1 : 0;
    }
    WaitCursor wait;
    std::vector<wmi::TextList> rows;
    wmi::TextList paths;
    if (!wmi::QueryObjectPaths(wmi_, selectAllQuery(lastQuery_), captions, rows, paths)) {
        wait.restore();
        prompts_.error(fromSystem(wmi_.LastError));
        return {};
    }
    const int found = matchingRow(captions, rows, paths, cells, occurrence);
    if (found < 0 || paths[size_t(found)].empty()) {
        wait.restore();
        prompts_.error(QStringLiteral("The object of this row was not found: it may be gone."));
        return {};
    }
    return paths[size_t(found)];
}

std::string QueryPane::currentObjectPath() {
    const QModelIndex current = ListView1->currentIndex();
    if (!current.isValid() || lastQuery_.empty()) return {};
    return rowObjectPath(current.row());
}

void QueryPane::ShowObject1Click() {
    if (const std::string path = currentObjectPath(); !path.empty())
        openObjectWindow(wmi_, prompts_, this, path);
}

void QueryPane::Associated1Click() {
    if (const std::string path = currentObjectPath(); !path.empty())
        openAssociationsWin(wmi_, prompts_, AssociationsWin::Kind::Associators, this, path);
}

void QueryPane::References1Click() {
    if (const std::string path = currentObjectPath(); !path.empty())
        openAssociationsWin(wmi_, prompts_, AssociationsWin::Kind::References, this, path);
}

void QueryPane::completeFrom(std::shared_ptr<CompletionNames> names) {
    completeQueries(*Query2Combo, std::move(names));
}

}  // namespace ui
