// Draws each cell or line of a view on one line: a text with line breaks
// shows them as a return mark instead of spilling out of its row, and the
// whole text comes up as a tooltip when it was flattened or does not fit.
#pragma once

#include <QStyledItemDelegate>

namespace ui {

// The text as one line: every CR LF, CR, LF or Unicode line or paragraph
// separator becomes the return mark.
QString OneLineText(const QString& text);

class OneLineDelegate : public QStyledItemDelegate {
    Q_OBJECT

  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

}  // namespace ui
