#include "ui/main_window/find_views.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QListWidget>
#include <QSignalBlocker>
#include <algorithm>
#include <vector>

#include "ui/find_logic.h"
#include "ui/widgets/first_selected.h"

namespace ui {

namespace {

// Rows kept above a found row that had to be scrolled into view.
constexpr int kRowsAboveFound = 2;

bool rowVisible(const QAbstractItemView& view, const QModelIndex& index) {
    const QRect rect = view.visualRect(index);
    const QRect area = view.viewport()->rect();
    return rect.isValid() && rect.top() >= area.top() && rect.bottom() <= area.bottom();
}

}  // namespace

int FindInListBox(QListWidget& listBox, const QString& text, const FindOptions& options) {
    const QListWidgetItem* selected = firstSelected(listBox);
    const int start = ListBoxSearchStart(options.fromStart, selected ? listBox.row(selected) : -1);
    const int found = FindEntry(
        start, listBox.count(), [&](int i) { return listBox.item(i)->text(); }, text,
        options.wholeWord, options.matchCase);
    if (found >= 0 && options.select) {
        const QSignalBlocker block(&listBox);
        listBox.setCurrentRow(found, QItemSelectionModel::ClearAndSelect);
        listBox.scrollToItem(listBox.item(found));
        listBox.viewport()->update();
    }
    return found;
}

int FindInListView(QAbstractItemView& listView, const QString& text, const FindOptions& options) {
    const QAbstractItemModel* model = listView.model();
    if (!model) return -1;
    const int rows = model->rowCount();
    const int columns = model->columnCount();
    const QItemSelectionModel* selection = listView.selectionModel();
    const bool anySelected = selection && selection->hasSelection();
    const int start = ListViewSearchStart(options.fromStart, anySelected,
                                          ListItemIndex(listView, listView.currentIndex()), rows);
    std::vector<QString> cells;
    const int found = FindEntry(
        start, rows,
        [&](int r) {
            cells.clear();
            for (int c = 0; c < std::max(columns, 1); ++c)
                cells.push_back(model->index(r, c).data(Qt::DisplayRole).toString());
            return RowSearchText(cells, columns);
        },
        text, options.wholeWord, options.matchCase);
    if (found >= 0 && options.select) {
        const QModelIndex index = model->index(found, 0);
        // Judged before the row becomes current: the view then scrolls it in
        // itself, just far enough to show it at an edge.
        const bool wasVisible = rowVisible(listView, index);
        listView.selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        if (!wasVisible) {
            listView.scrollTo(model->index(std::max(0, found - kRowsAboveFound), 0),
                              QAbstractItemView::PositionAtTop);
            listView.scrollTo(index, QAbstractItemView::EnsureVisible);
        }
    }
    return found;
}

int ListItemIndex(const QAbstractItemView& listView, const QModelIndex& row) {
    if (!row.isValid() || row.model() != listView.model() || row.parent().isValid()) return -1;
    return row.row();
}

}  // namespace ui
