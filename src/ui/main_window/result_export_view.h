// ListView1 as the export writers read it: columns in the header's visual
// order with their captions, rows in the order shown, cells as the bytes the
// model holds.
#pragma once

#include <string>
#include <vector>

#include "export/result_view.h"

class QHeaderView;

namespace ui {

class ResultModel;

class ResultModelView final : public exporter::ResultView {
  public:
    // Without a header the model's own column order is taken.
    explicit ResultModelView(const ResultModel& model, const QHeaderView* header = nullptr);

    int columnCount() const override { return static_cast<int>(columns_.size()); }
    std::string columnCaption(int column) const override;
    int rowCount() const override;
    std::string cellText(int row, int column) const override;

  private:
    const ResultModel& model_;
    std::vector<int> columns_;  // visual position -> model column
};

}  // namespace ui
