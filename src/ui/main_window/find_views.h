// Find in the two searchable views: the class list (a list box) and the query
// result (a report list view). The matching rules are in find_logic.h.
#pragma once

#include <QModelIndex>
#include <QString>

class QAbstractItemView;
class QListWidget;

namespace ui {

struct FindOptions {
    bool fromStart = false;
    bool select = false;
    bool wholeWord = false;
    bool matchCase = false;
};

// The position of the first entry found from the start or after the selected
// entry, or -1; with select the entry found becomes the current, selected one
// without the list box's signals, so that it counts as no user's selection.
int FindInListBox(QListWidget& listBox, const QString& text, const FindOptions& options);

// The position of the first row found from the start or after the focused
// row, or -1. A row is searched by its caption and the cells of its columns.
// With select the row found becomes the focused and only selected row and is
// scrolled into view, near the top when it was out of sight.
int FindInListView(QAbstractItemView& listView, const QString& text, const FindOptions& options);

// The position of row in the list view's rows, or -1 when it is none of them.
int ListItemIndex(const QAbstractItemView& listView, const QModelIndex& row);

}  // namespace ui
