#include "ui/main_window/result_model.h"

#include <QIcon>
#include <QTimer>
#include <algorithm>
#include <limits>
#include <numeric>
#include <stdexcept>

#include "results/cell_order.h"
#include "ui/text_codec.h"
#include "ui/widgets/image_list.h"

namespace ui {

namespace {

const std::string kNoText;

}  // namespace

size_t ResultModel::PackedTexts::byteCount(const wmi::TextList& texts, size_t count) {
    size_t total = 0;
    for (size_t i = 0; i < count && i < texts.size(); ++i) total += texts[i].size();
    return total;
}

void ResultModel::PackedTexts::assign(const wmi::TextList& texts, size_t count, size_t bytes) {
    clear();
    bytes_.reserve(bytes);
    ends_.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        if (i < texts.size()) bytes_ += texts[i];
        ends_.push_back(static_cast<uint32_t>(bytes_.size()));
    }
}

void ResultModel::PackedTexts::clear() {
    bytes_.clear();
    ends_.clear();
}

void ResultModel::PackedTexts::shrinkToFit() {
    bytes_.shrink_to_fit();
    ends_.shrink_to_fit();
}

size_t ResultModel::PackedTexts::memoryBytes() const {
    return bytes_.capacity() + ends_.capacity() * sizeof(uint32_t);
}

ResultModel::ResultModel(std::shared_ptr<const ImageList> images, QObject* parent)
    : QAbstractTableModel(parent), images_(std::move(images)) {}

bool ResultModel::Fill(const wmi::TextList& columns, wmi::TextList& cells, int32_t columnCount,
                       int32_t rowCount, int32_t codePage, wmi::TextList* paths) {
    const size_t c = columnCount > 0 ? static_cast<size_t>(columnCount) : 0;
    const size_t r = c > 0 && rowCount > 0 ? static_cast<size_t>(rowCount) : 0;
    const wmi::TextList noPaths;
    const wmi::TextList& rowPaths = paths ? *paths : noPaths;
    const size_t cellBytes = PackedTexts::byteCount(cells, r * c);
    const size_t pathBytes = PackedTexts::byteCount(rowPaths, r);
    if (cellBytes > std::numeric_limits<uint32_t>::max() ||
        pathBytes > std::numeric_limits<uint32_t>::max())
        throw std::length_error("The query result is too large to show");

    beginResetModel();
    cells_.clear();
    paths_.clear();
    order_.clear();
    bool rebuilt = false;
    if (c > 0) {
        if (captions_.size() != c) {
            rebuilt = true;
            sortColumn_ = 0;
            sortAscending_ = true;
        }
        captions_.assign(c, std::string());
        for (size_t i = 0; i < c && i < columns.size(); ++i) captions_[i] = columns[i];

        cells_.assign(cells, r * c, cellBytes);
        paths_.assign(rowPaths, r, pathBytes);
        order_.resize(r);
        std::iota(order_.begin(), order_.end(), 0);
        codePage_ = codePage;
        sortRows();
    }
    releaseCells(cells);
    if (paths) releaseCells(*paths);
    cells_.shrinkToFit();
    paths_.shrinkToFit();
    order_.shrink_to_fit();
    endResetModel();
    return rebuilt;
}

void ResultModel::releaseCells(wmi::TextList& taken) {
    // Freeing the strings of a million rows takes a third of the fill: that is
    // left to the next turn of the event loop, so the window shows the rows
    // (and answers) in between.
    auto held = std::make_shared<wmi::TextList>();
    held->swap(taken);
    QTimer::singleShot(0, this, [held] { wmi::TextList().swap(*held); });
}

void ResultModel::ColumnClick(int column) {
    if (column < 0 || column >= Columns()) return;
    if (column == sortColumn_) sortAscending_ = !sortAscending_;
    const int previous = sortColumn_;
    sortColumn_ = column;

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList persistent = persistentIndexList();
    std::vector<int32_t> persistentRows;
    persistentRows.reserve(static_cast<size_t>(persistent.size()));
    for (const QModelIndex& index : persistent)
        persistentRows.push_back(order_[static_cast<size_t>(index.row())]);
    sortRows();
    if (!persistent.isEmpty()) {
        std::vector<int32_t> shownAt(order_.size());
        for (size_t i = 0; i < order_.size(); ++i)
            shownAt[static_cast<size_t>(order_[i])] = static_cast<int32_t>(i);
        QModelIndexList moved;
        moved.reserve(persistent.size());
        for (qsizetype i = 0; i < persistent.size(); ++i)
            moved.push_back(index(shownAt[static_cast<size_t>(persistentRows[size_t(i)])],
                                  persistent[i].column()));
        changePersistentIndexList(persistent, moved);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    emit headerDataChanged(Qt::Horizontal, std::min(previous, column), std::max(previous, column));
}

void ResultModel::sortRows() {
    const int column = sortColumn_;
    if (column < 0 || column >= Columns()) return;
    results::sortRowOrder(
        order_, [&](int32_t row) { return resultCell(row, column); }, sortAscending_);
}

std::string_view ResultModel::resultCell(int32_t resultRow, int column) const {
    const size_t i =
        static_cast<size_t>(resultRow) * captions_.size() + static_cast<size_t>(column);
    return cells_.at(i);
}

std::string_view ResultModel::Cell(int row, int column) const {
    if (row < 0 || row >= Rows() || column < 0 || column >= Columns()) return {};
    return resultCell(order_[static_cast<size_t>(row)], column);
}

std::string_view ResultModel::ObjectPath(int row) const {
    if (row < 0 || row >= Rows()) return {};
    return paths_.at(static_cast<size_t>(order_[static_cast<size_t>(row)]));
}

const std::string& ResultModel::Caption(int column) const {
    if (column < 0 || column >= Columns()) return kNoText;
    return captions_[static_cast<size_t>(column)];
}

size_t ResultModel::MemoryBytes() const {
    size_t n = cells_.memoryBytes() + paths_.memoryBytes() + order_.capacity() * sizeof(int32_t) +
               captions_.capacity() * sizeof(std::string);
    for (const std::string& caption : captions_) n += caption.capacity();
    return n;
}

int ResultModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Rows(); }

int ResultModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Columns();
}

QVariant ResultModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= Rows() ||
        index.column() >= Columns())
        return {};
    return fromCodePage(Cell(index.row(), index.column()), codePage_);
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= Columns()) return {};
    if (role == Qt::DisplayRole) return fromSystem(captions_[static_cast<size_t>(section)]);
    if (role == Qt::DecorationRole && images_ && section == sortColumn_)
        return images_->icon(sortAscending_ ? kImageSortAscending : kImageSortDescending);
    return {};
}

Qt::ItemFlags ResultModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace ui
