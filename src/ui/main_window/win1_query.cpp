// The Query tab: running a query, its timing and history, filling and
// sorting ListView1, and the Enter key of Query2Combo.
#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QTreeView>
#include <exception>
#include <vector>

#include "ui/dialogs/prompts.h"
#include "ui/main_window/result_model.h"
#include "ui/main_window/win1.h"
#include "ui/query_logic.h"
#include "ui/text_codec.h"
#include "ui/widgets/string_grid.h"
#include "ui/widgets/wait_cursor.h"

namespace ui {

void TMainWin::Query2BtnClick() {
    const int64_t start = options_.clock();
    WaitCursor wait;
    bool ok = false;
    try {
        const QString text = Query2Combo->currentText();
        int32_t columns = 0;
        int32_t rows = 0;
        ok = WMI->RunQuery(toSystem(text), ResultColumns, ResultCells, columns, rows);
        if (ok) {
            const int64_t elapsed = options_.clock() - start;
            if (elapsed > 0)
                SetStatusText(2, fromSystem(executionTimeText(double(elapsed) / 1000.0,
                                                              toSystem(QLocale().decimalPoint()))));
            AddToHistory(Query2Combo, text);
            LastQuery = toSystem(text);
            Savequeryresultas1->setEnabled(true);
            showResult(columns, rows);
        } else {
            wait.restore();
            const QString message = fromSystem(WMI->LastError);
            prompts_.error(message);
            SetStatusText(2, message);
        }
    } catch (const std::exception& e) {
        wait.restore();
        prompts_.error(errorText(e));
    }
    emit queryFinished(ok);
}

void TMainWin::showResult(int32_t columnCount, int32_t rowCount) {
    QHeaderView* header = ListView1->header();
    // A model reset gives the header's sections their default widths; kept
    // columns get back the widths they had, the user's included.
    std::vector<int> widths;
    for (int i = 0; i < ListView1Model->Columns(); ++i) widths.push_back(header->sectionSize(i));
    // The client width of the emptied list, which shows no scroll bar.
    const int clientWidth = ListView1->contentsRect().width();

    const bool rebuilt =
        ListView1Model->Fill(ResultColumns, ResultCells, columnCount, rowCount, WMI->CodePage);
    if (rebuilt) {
        const int width = resultColumnWidth(clientWidth, columnCount);
        for (int i = 0; i < columnCount; ++i) header->resizeSection(i, width);
    } else {
        for (int i = 0; i < int(widths.size()) && i < ListView1Model->Columns(); ++i)
            header->resizeSection(i, widths[size_t(i)]);
    }
}

bool TMainWin::Query2ComboKeyPress(char key) {
    if (key != '\r' || wmi::Trimmed(toSystem(Query2Combo->currentText())).empty()) return false;
    Query2BtnClick();
    return true;
}

void TMainWin::ListView1ColumnClick(int column) { ListView1Model->ColumnClick(column); }

void TMainWin::Query1BtnClick() {
    SelectPage(kTabQuery);
    Query2Combo->setEditText(QueryCombo->currentText());
    Query2BtnClick();
}

bool TMainWin::eventFilter(QObject* watched, QEvent* event) {
    if (PropGrid && watched == PropGrid->viewport() && event->type() == QEvent::Resize)
        FormResize();
    if (Query2Combo && watched == Query2Combo->lineEdit() && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            Query2ComboKeyPress('\r'))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace ui
