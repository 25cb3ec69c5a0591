// Reports a left click on the entry of a list that is already selected: such
// a click changes no selection, so the list sends no selection signal for it.
#pragma once

#include <QAbstractItemView>
#include <QEvent>
#include <QItemSelectionModel>
#include <functional>

namespace ui {

class SameLineClick : public QObject {
  public:
    SameLineClick(QAbstractItemView* view, std::function<void()> onClick)
        : QObject(view), view_(view), onClick_(std::move(onClick)) {
        view->viewport()->installEventFilter(this);
        connect(view, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
            if (index.row() == rowAtPress_) onClick_();
        });
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        // Seen before the view handles the press, so before it moves the selection.
        if (event->type() == QEvent::MouseButtonPress) rowAtPress_ = selectedRow();
        return false;
    }

  private:
    int selectedRow() const {
        const QModelIndexList rows = view_->selectionModel()->selectedIndexes();
        return rows.isEmpty() ? -1 : rows.first().row();
    }

    QAbstractItemView* view_;
    std::function<void()> onClick_;
    int rowAtPress_ = -1;
};

}  // namespace ui
