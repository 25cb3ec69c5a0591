#include "ui/widgets/instance_line_box.h"

#include "ui/text_codec.h"
#include "wmi/bw_variant.h"

namespace ui {

namespace {

constexpr int kBytesRole = Qt::UserRole;
constexpr int kPathRole = Qt::UserRole + 1;  // no data for a line of no object

QByteArray bytes(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

void setPath(QListWidgetItem& item, const wmi::LinePath& path) {
    item.setData(kPathRole, path ? QVariant(bytes(*path)) : QVariant());
}

QListWidgetItem* newLine(const std::string& text, const wmi::LinePath& path) {
    auto* item = new QListWidgetItem(fromCodePage(text, wmi::LocalCodePage()));
    item->setData(kBytesRole, bytes(text));
    setPath(*item, path);
    return item;
}

}  // namespace

InstanceLineBox::InstanceLineBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setSortingEnabled(sorted_);
}

void InstanceLineBox::SetSorted(bool sorted) {
    sorted_ = sorted;
    setSortingEnabled(sorted);
}

void InstanceLineBox::clear() { QListWidget::clear(); }

int InstanceLineBox::count() const { return QListWidget::count(); }

std::string InstanceLineBox::line(int index) const {
    const QListWidgetItem* it = item(index);
    if (!it) return {};
    return it->data(kBytesRole).toByteArray().toStdString();
}

wmi::LinePath InstanceLineBox::path(int index) const {
    const QListWidgetItem* it = item(index);
    if (!it) return std::nullopt;
    const QVariant path = it->data(kPathRole);
    if (!path.isValid()) return std::nullopt;
    return path.toByteArray().toStdString();
}

void InstanceLineBox::setLine(int index, const std::string& text, const wmi::LinePath& path) {
    QListWidgetItem* it = item(index);
    if (!it) return;
    it->setData(kBytesRole, bytes(text));
    setPath(*it, path);
    it->setText(fromCodePage(text, wmi::LocalCodePage()));
}

void InstanceLineBox::append(const std::string& text, const wmi::LinePath& path) {
    addItem(newLine(text, path));
}

void InstanceLineBox::deleteLast() {
    if (const int n = count(); n > 0) delete takeItem(n - 1);
}

}  // namespace ui
