// The texts the copy commands of the class page and of the query result put
// on the clipboard. Every line ends with CR LF.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

namespace ui {

class StringGrid;

// The text without leading and trailing blanks and control characters.
QString TrimmedText(const QString& text);

struct GridRow {
    QString name;
    QString value;
};

// "name: value" per row, the cells as they are; rows whose two cells are
// blank are left out.
QString PropertyLinesText(const std::vector<GridRow>& rows);

// The body rows of the grid that are selected, top to bottom.
std::vector<GridRow> SelectedGridRows(const StringGrid& grid);

// Every line, each one ended.
QString ListText(const QStringList& lines);

// Rows as lines of tab-separated cells; the captions first when withHeader.
// Tabs and line breaks inside a cell become blanks, so that each row stays
// one line of the right number of cells.
QString rowsText(const QStringList& captions, const std::vector<QStringList>& rows,
                 bool withHeader);

// The method's name, then "  in " or "  out " and the name of each parameter.
QString MethodText(const QTreeWidgetItem& method);

// MethodText of every method, in tree order.
QString AllMethodsText(const QTreeWidget& tree);

}  // namespace ui
