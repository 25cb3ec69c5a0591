#include "ui/main_window/result_export_view.h"

#include <QHeaderView>

#include "ui/main_window/result_model.h"

namespace ui {

ResultModelView::ResultModelView(const ResultModel& model, const QHeaderView* header)
    : model_(model) {
    const int count = model.Columns();
    for (int visual = 0; visual < count; ++visual) {
        const int logical =
            header && header->count() == count ? header->logicalIndex(visual) : visual;
        columns_.push_back(logical >= 0 ? logical : visual);
    }
}

std::string ResultModelView::columnCaption(int column) const {
    if (column < 0 || column >= columnCount()) return {};
    return model_.Caption(columns_[static_cast<size_t>(column)]);
}

int ResultModelView::rowCount() const { return model_.Rows(); }

std::string ResultModelView::cellText(int row, int column) const {
    if (column < 0 || column >= columnCount()) return {};
    return std::string(model_.Cell(row, columns_[static_cast<size_t>(column)]));
}

}  // namespace ui
