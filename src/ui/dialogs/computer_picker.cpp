#include "ui/dialogs/computer_picker.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/connect_logic.h"
#include "ui/text_codec.h"
#include "ui/widgets/first_selected.h"

namespace ui {

namespace {

// A hosts file is small; a larger one is not a hosts file.
constexpr qint64 kMaxHostsFileBytes = 1 << 20;

}  // namespace

TComputerPicker::TComputerPicker(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("BrowseForComp1"));
    setWindowTitle(QStringLiteral("Select computer"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("Computers this machine knows:"), this);
    ComputerList = new QListWidget(this);
    ComputerList->setObjectName(QStringLiteral("ComputerList"));
    ComputerList->setSelectionMode(QAbstractItemView::SingleSelection);
    label->setBuddy(ComputerList);
    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    Buttons->setObjectName(QStringLiteral("Buttons"));
    layout->addWidget(label);
    layout->addWidget(ComputerList, 1);
    layout->addWidget(Buttons);
    resize(300, 260);

    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(ComputerList, &QListWidget::itemActivated, this, &QDialog::accept);
}

std::optional<QString> TComputerPicker::Execute(const QStringList& names) {
    ComputerList->clear();
    ComputerList->addItems(names);
    if (ComputerList->count() > 0) ComputerList->setCurrentRow(0);
    Buttons->button(QDialogButtonBox::Ok)->setEnabled(ComputerList->count() > 0);
    if (RunModal(*this, Runner) != QDialog::Accepted) return std::nullopt;
    const QListWidgetItem* picked = firstSelected(*ComputerList);
    if (!picked) return std::nullopt;
    return picked->text();
}

QStringList HostsFileComputers(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray text = file.read(kMaxHostsFileBytes);
    QStringList names;
    for (const std::string& name :
         ParseHostsFile(std::string_view(text.data(), size_t(text.size()))))
        names << fromSystem(name);
    return names;
}

}  // namespace ui
