#include "ui/clipboard_text.h"

#include <QItemSelectionModel>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <set>

#include "ui/main_window/method_tree.h"
#include "ui/widgets/image_list.h"
#include "ui/widgets/string_grid.h"

namespace ui {

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

void appendParameterLines(QString& text, const QTreeWidgetItem& method) {
    for (int i = 0; i < method.childCount(); ++i) {
        const QTreeWidgetItem& parameter = *method.child(i);
        text += NodeImageIndex(parameter) == kImageInParameter ? QStringLiteral("  in ")
                                                               : QStringLiteral("  out ");
        text += parameter.text(0) + kLineEnd;
    }
}

QString oneLine(QString cell) {
    for (QChar& c : cell)
        if (c == u'\t' || c == u'\r' || c == u'\n') c = u' ';
    return cell;
}

void appendRow(QString& text, const QStringList& cells) {
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0) text += u'\t';
        text += oneLine(cells[i]);
    }
    text += kLineEnd;
}

}  // namespace

QString TrimmedText(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 0x20) ++begin;
    while (end > begin && text[end - 1].unicode() <= 0x20) --end;
    return text.mid(begin, end - begin);
}

QString PropertyLinesText(const std::vector<GridRow>& rows) {
    QString text;
    for (const GridRow& row : rows)
        if (!TrimmedText(row.name).isEmpty() || !TrimmedText(row.value).isEmpty())
            text += row.name + QStringLiteral(": ") + row.value + kLineEnd;
    return text;
}

std::vector<GridRow> SelectedGridRows(const StringGrid& grid) {
    std::set<int> rows;
    for (const QModelIndex& index : grid.selectionModel()->selectedIndexes())
        rows.insert(index.row() + 1);  // the header is grid row 0
    std::vector<GridRow> out;
    out.reserve(rows.size());
    for (int row : rows) out.push_back({grid.Cell(0, row), grid.Cell(1, row)});
    return out;
}

QString ListText(const QStringList& lines) {
    QString text;
    for (const QString& line : lines) text += line + kLineEnd;
    return text;
}

QString rowsText(const QStringList& captions, const std::vector<QStringList>& rows,
                 bool withHeader) {
    QString text;
    if (withHeader) appendRow(text, captions);
    for (const QStringList& row : rows) appendRow(text, row);
    return text;
}

QString MethodText(const QTreeWidgetItem& method) {
    QString text = method.text(0) + kLineEnd;
    appendParameterLines(text, method);
    return text;
}

QString AllMethodsText(const QTreeWidget& tree) {
    QString text;
    // Parameters have no children, so this gives each method's line followed
    // by its parameters' lines.
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(&tree)); *it; ++it) {
        const QTreeWidgetItem& node = **it;
        if (!node.parent()) text += node.text(0) + kLineEnd;
        appendParameterLines(text, node);
    }
    return text;
}

}  // namespace ui
