#include "ui/widgets/instance_line_box.h"

#include "ui/text_codec.h"
#include "wmi/bw_variant.h"

namespace ui {

namespace {

constexpr int kBytesRole = Qt::UserRole;

QListWidgetItem* newLine(const std::string& text) {
    auto* item = new QListWidgetItem(fromCodePage(text, wmi::LocalCodePage()));
    item->setData(kBytesRole, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
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

void InstanceLineBox::setLine(int index, const std::string& text) {
    QListWidgetItem* it = item(index);
    if (!it) return;
    it->setData(kBytesRole, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    it->setText(fromCodePage(text, wmi::LocalCodePage()));
}

void InstanceLineBox::append(const std::string& text) { addItem(newLine(text)); }

void InstanceLineBox::deleteLast() {
    if (const int n = count(); n > 0) delete takeItem(n - 1);
}

}  // namespace ui
