// PropGrid: a grid of texts addressed like a classic string grid, column then
// row, where row 0 is the fixed row shown as the column headers and rows 1 and
// on are the body.
#pragma once

#include <QString>
#include <QTableWidget>

namespace ui {

class StringGrid : public QTableWidget {
    Q_OBJECT

  public:
    StringGrid(int columns, QWidget* parent = nullptr);

    // Rows including the fixed row 0; at least 1.
    int RowCount() const { return rowCount() + 1; }
    void SetRowCount(int rows);
    QString Cell(int column, int row) const;
    void SetCell(int column, int row, const QString& text);

    int ColumnWidth(int column) const { return columnWidth(column); }
    void SetColumnWidth(int column, int width) { setColumnWidth(column, width); }
    // Width of the area that shows the cells.
    int ClientWidth() const { return viewport()->width(); }
    void SetDefaultRowHeight(int height);
};

}  // namespace ui
