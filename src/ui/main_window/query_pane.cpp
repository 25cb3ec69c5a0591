#include "ui/main_window/query_pane.h"

#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QPushButton>
#include <QTreeView>
#include <exception>
#include <vector>

#include "ui/dialogs/prompts.h"
#include "ui/main_window/find_views.h"
#include "ui/main_window/result_model.h"
#include "ui/query_logic.h"
#include "ui/text_codec.h"
#include "ui/widgets/combo_history.h"
#include "ui/widgets/image_list.h"
#include "ui/widgets/pane_layout.h"
#include "ui/widgets/query_strip.h"
#include "ui/widgets/wait_cursor.h"

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
    connect(strip.button, &QPushButton::clicked, this, [this] { Query2BtnClick(); });

    ListView1Model = named(new ResultModel(std::move(images), this), "ListView1Model");
    ListView1 = named(new QTreeView(this), "ListView1");
    ListView1->setModel(ListView1Model);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
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
    layout->addWidget(ListView1, 1);
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
    const int64_t start = clock_();
    WaitCursor wait;
    bool ok = false;
    try {
        const QString text = Query2Combo->currentText();
        wmi::TextList columns;
        wmi::TextList cells;
        int32_t columnCount = 0;
        int32_t rowCount = 0;
        ok = wmi_.RunQuery(toSystem(text), columns, cells, columnCount, rowCount);
        if (ok) {
            const int64_t elapsed = clock_() - start;
            const std::string status =
                queryStatusText(elapsed > 0 ? executionTimeText(double(elapsed) / 1000.0,
                                                                toSystem(QLocale().decimalPoint()))
                                            : std::string(),
                                rowCount);
            if (!status.empty()) emit statusMessage(fromSystem(status));
            addToComboHistory(*Query2Combo, text);
            lastQuery_ = toSystem(text);
            showResult(columns, cells, columnCount, rowCount);
        } else {
            wait.restore();
            const QString message = fromSystem(wmi_.LastError);
            prompts_.error(message);
            emit statusMessage(message);
        }
    } catch (const std::exception& e) {
        wait.restore();
        prompts_.error(errorText(e));
    }
    emit finished(ok);
}

void QueryPane::showResult(wmi::TextList& columns, wmi::TextList& cells, int32_t columnCount,
                           int32_t rowCount) {
    QHeaderView* header = ListView1->header();
    // A model reset gives the header's sections their default widths; kept
    // columns get back the widths they had, the user's included.
    std::vector<int> widths;
    for (int i = 0; i < ListView1Model->Columns(); ++i) widths.push_back(header->sectionSize(i));
    // The client width of the emptied list, which shows no scroll bar.
    const int clientWidth = ListView1->contentsRect().width();

    const bool rebuilt = ListView1Model->Fill(columns, cells, columnCount, rowCount, wmi_.CodePage);
    if (rebuilt) {
        const int width = resultColumnWidth(clientWidth, columnCount);
        for (int i = 0; i < columnCount; ++i) header->resizeSection(i, width);
    } else {
        for (int i = 0; i < int(widths.size()) && i < ListView1Model->Columns(); ++i)
            header->resizeSection(i, widths[size_t(i)]);
    }
}

bool QueryPane::Query2ComboKeyPress(char key) {
    if (key != '\r' || wmi::Trimmed(toSystem(Query2Combo->currentText())).empty()) return false;
    Query2BtnClick();
    return true;
}

bool QueryPane::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Query2Combo && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
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

}  // namespace ui
