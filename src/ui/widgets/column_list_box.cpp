#include "ui/widgets/column_list_box.h"

#include <QResizeEvent>
#include <algorithm>

#include "ui/text_codec.h"
#include "wbem/text.h"

namespace ui {

bool ClassNameLess(const std::string& a, const std::string& b) { return wbem::icompare(a, b) < 0; }

ColumnListBox::ColumnListBox(QWidget* parent) : QListWidget(parent) {
    setViewMode(QListView::ListMode);
    setFlow(QListView::TopToBottom);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideRight);
    // The grid follows the width and the font: it is set by the first resize
    // (every widget gets one before it shows), not here, so building the
    // window measures no text.
}

void ColumnListBox::SetSortedItems(std::vector<std::string> names) {
    std::stable_sort(names.begin(), names.end(), ClassNameLess);
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(names.size()));
    for (const std::string& name : names) texts.push_back(fromSystem(name));
    setUpdatesEnabled(false);
    clear();
    addItems(texts);
    setUpdatesEnabled(true);
}

std::vector<std::string> ColumnListBox::Items() const {
    std::vector<std::string> out;
    out.reserve(static_cast<size_t>(count()));
    for (int i = 0; i < count(); ++i) out.push_back(toSystem(item(i)->text()));
    return out;
}

void ColumnListBox::resizeEvent(QResizeEvent* event) {
    QListWidget::resizeEvent(event);
    updateGrid();
}

void ColumnListBox::updateGrid() {
    const int width = std::max(1, viewport()->width() / kColumns);
    const int height = fontMetrics().height() + 2;
    if (gridSize() != QSize(width, height)) setGridSize(QSize(width, height));
}

}  // namespace ui
