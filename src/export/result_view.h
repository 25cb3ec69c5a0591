// A read-only view of a query result as the user sees it: columns in display
// order with their captions, rows in display (sorted) order. Texts are the
// 8-bit bytes the view holds, in the code page they were rendered with.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace exporter {

class ResultView {
  public:
    virtual ~ResultView() = default;
    virtual int columnCount() const = 0;
    virtual std::string columnCaption(int column) const = 0;
    virtual int rowCount() const = 0;
    // Column 0 is the row's caption, column k >= 1 its sub-item k - 1; a
    // sub-item the row does not have reads as "".
    virtual std::string cellText(int row, int column) const = 0;
};

// A view over plain lists, for callers that hold the rows themselves. Each
// row is its caption followed by its sub-items; rows may be shorter than the
// column list.
class PlainResultView final : public ResultView {
  public:
    PlainResultView(std::vector<std::string> columns, std::vector<std::vector<std::string>> rows)
        : columns_(std::move(columns)), rows_(std::move(rows)) {}

    int columnCount() const override { return static_cast<int>(columns_.size()); }
    std::string columnCaption(int column) const override {
        return columns_.at(static_cast<size_t>(column));
    }
    int rowCount() const override { return static_cast<int>(rows_.size()); }
    std::string cellText(int row, int column) const override {
        const auto& cells = rows_.at(static_cast<size_t>(row));
        return static_cast<size_t>(column) < cells.size() ? cells[static_cast<size_t>(column)]
                                                          : std::string();
    }

  private:
    std::vector<std::string> columns_;
    std::vector<std::vector<std::string>> rows_;
};

}  // namespace exporter
