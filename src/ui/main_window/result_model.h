// ListView1's model: the columns and cells of one query result, held as the
// bytes they were rendered in (one buffer and an end offset per cell, so that a
// result of 100,000 rows stays small), decoded with their code page only for
// display; each row's object path is held the same way. Rows are shown through
// a row-order index that is sorted with the result table's compare rule,
// stable, so that equal rows keep their order.
#pragma once

#include <QAbstractTableModel>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "wmi/bw_wmi.h"

namespace ui {

class ImageList;

class ResultModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    // The header shows the sort mark from images, which the model keeps alive.
    explicit ResultModel(std::shared_ptr<const ImageList> images = nullptr,
                         QObject* parent = nullptr);

    // Shows a query result of columnCount columns and rowCount rows, inside one
    // model reset, sorted once at the end. The cells (row after row, in
    // codePage) are taken over and `cells` is left empty; their strings are
    // freed at the next turn of the event loop (or with the model). With a new
    // number of columns the columns are rebuilt and the sort goes back to the
    // first column, ascending; with the same number only the captions change
    // and the sort stays. A result without columns removes the rows and keeps the
    // columns. Returns whether the columns were rebuilt. `paths`, when given,
    // holds each row's object path (ResultTable::Paths) and is taken over as
    // the cells are; rows without one have an empty path.
    bool Fill(const wmi::TextList& columns, wmi::TextList& cells, int32_t columnCount,
              int32_t rowCount, int32_t codePage, wmi::TextList* paths = nullptr);

    // A click on a column's header: the sort column clicked again turns the
    // direction round; another column is sorted in the current direction.
    void ColumnClick(int column);

    int SortColumn() const { return sortColumn_; }
    bool SortAscending() const { return sortAscending_; }
    int Columns() const { return static_cast<int>(captions_.size()); }
    int Rows() const { return static_cast<int>(order_.size()); }
    int32_t CodePage() const { return codePage_; }

    // The bytes of a cell, rows in the order shown; empty outside the table.
    std::string_view Cell(int row, int column) const;
    // The path of the object shown at a row, as the query gave it; empty when
    // it gave none, and outside the table.
    std::string_view ObjectPath(int row) const;
    // The caption of a column (a WMI name, UTF-8).
    const std::string& Caption(int column) const;

    // Bytes held for the rows and columns (cells, paths, offsets, order, captions).
    size_t MemoryBytes() const;

    // QAbstractItemModel
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    // Texts in one buffer with an end offset each, so that many small texts
    // cost little beside their bytes.
    class PackedTexts {
      public:
        // Bytes the first `count` of the texts hold (those beyond the list: none).
        static size_t byteCount(const wmi::TextList& texts, size_t count);
        // Holds `count` texts: those of the list, then empty ones; `bytes` is
        // their byteCount, which must fit 32-bit offsets.
        void assign(const wmi::TextList& texts, size_t count, size_t bytes);
        std::string_view at(size_t i) const {
            const uint32_t begin = i == 0 ? 0 : ends_[i - 1];
            return std::string_view(bytes_).substr(begin, ends_[i] - begin);
        }
        void clear();
        void shrinkToFit();
        size_t memoryBytes() const;

      private:
        std::string bytes_;
        std::vector<uint32_t> ends_;  // end offset in bytes_ of each text
    };

    std::string_view resultCell(int32_t resultRow, int column) const;
    void sortRows();  // by the sort column and direction; no signals
    // Empties a list whose strings the fill took over; frees them later.
    void releaseCells(wmi::TextList& taken);

    std::shared_ptr<const ImageList> images_;
    std::vector<std::string> captions_;
    PackedTexts cells_;           // every cell, row after row
    PackedTexts paths_;           // every row's path
    std::vector<int32_t> order_;  // shown row -> result row
    int32_t codePage_ = 65001;
    int sortColumn_ = 0;
    bool sortAscending_ = false;
};

}  // namespace ui
