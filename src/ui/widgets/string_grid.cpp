#include "ui/widgets/string_grid.h"

#include <QHeaderView>
#include <algorithm>

namespace ui {

StringGrid::StringGrid(int columns, QWidget* parent) : QTableWidget(0, columns, parent) {
    verticalHeader()->hide();  // no fixed column
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setDefaultSectionSize(200);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    for (int c = 0; c < columns; ++c) setHorizontalHeaderItem(c, new QTableWidgetItem());
    SetRowCount(5);
}

void StringGrid::SetRowCount(int rows) { setRowCount(std::max(rows, 1) - 1); }

QString StringGrid::Cell(int column, int row) const {
    if (column < 0 || column >= columnCount() || row < 0 || row >= RowCount()) return {};
    const QTableWidgetItem* cell = row == 0 ? horizontalHeaderItem(column) : item(row - 1, column);
    return cell ? cell->text() : QString();
}

void StringGrid::SetCell(int column, int row, const QString& text) {
    if (column < 0 || column >= columnCount() || row < 0 || row >= RowCount()) return;
    if (row == 0) {
        horizontalHeaderItem(column)->setText(text);
        return;
    }
    if (QTableWidgetItem* cell = item(row - 1, column))
        cell->setText(text);
    else
        setItem(row - 1, column, new QTableWidgetItem(text));
}

void StringGrid::SetDefaultRowHeight(int height) {
    verticalHeader()->setMinimumSectionSize(
        std::min(height, verticalHeader()->minimumSectionSize()));
    verticalHeader()->setDefaultSectionSize(height);
}

}  // namespace ui
