#include "ui/dialogs/object_window.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/association_groups.h"
#include "ui/dialogs/associations_win.h"
#include "ui/dialogs/prompts.h"
#include "ui/text_codec.h"
#include "ui/widgets/filled_window.h"
#include "ui/widgets/named.h"
#include "ui/widgets/wait_cursor.h"
#include "wmi/object_access.h"

namespace ui {

ObjectWindow::ObjectWindow(wmi::TWMI& wmi, Prompts& prompts, QWidget* parent)
    : QDialog(parent), wmi_(wmi), prompts_(prompts) {
    setObjectName(QStringLiteral("ObjectWindow"));
    setWindowTitle(QStringLiteral("Object"));
    resize(560, 420);
    auto* column = new QVBoxLayout(this);
    ObjectPath = named(new QLineEdit(this), "ObjectPath");
    ObjectPath->setReadOnly(true);
    column->addWidget(ObjectPath);
    ObjectGrid = named(new QTreeWidget(this), "ObjectGrid");
    ObjectGrid->setRootIsDecorated(false);
    ObjectGrid->setHeaderLabels({QStringLiteral("Property"), QStringLiteral("Value")});
    ObjectGrid->setColumnWidth(0, 200);
    ObjectGrid->setUniformRowHeights(true);
    column->addWidget(ObjectGrid, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    auto* associators = named(
        buttons->addButton(QStringLiteral("Associated objects..."), QDialogButtonBox::ActionRole),
        "AssociatorsBtn");
    auto* references =
        named(buttons->addButton(QStringLiteral("References..."), QDialogButtonBox::ActionRole),
              "ReferencesBtn");
    column->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(associators, &QPushButton::clicked, this, [this] {
        openAssociationsWin(wmi_, prompts_, AssociationsWin::Kind::Associators, this, path_);
    });
    connect(references, &QPushButton::clicked, this, [this] {
        openAssociationsWin(wmi_, prompts_, AssociationsWin::Kind::References, this, path_);
    });
}

bool ObjectWindow::showObject(const std::string& path) {
    WaitCursor wait;
    wmi::ObjectValues object;
    if (!wmi::ReadObject(wmi_, path, object)) {
        wait.restore();
        prompts_.error(fromSystem(wmi_.LastError));
        return false;
    }
    path_ = object.path.empty() ? path : object.path;
    setWindowTitle(fromSystem(relativePath(path_)));
    ObjectPath->setText(fromSystem(path_));
    ObjectGrid->clear();
    QList<QTreeWidgetItem*> rows;
    for (size_t i = 0; i < object.names.size(); ++i) {
        const QString value = fromCodePage(object.values[i], wmi_.CodePage);
        auto* row = new QTreeWidgetItem({fromSystem(object.names[i]), value});
        row->setToolTip(1, value);
        rows.push_back(row);
    }
    ObjectGrid->addTopLevelItems(rows);
    return true;
}

ObjectWindow* openObjectWindow(wmi::TWMI& wmi, Prompts& prompts, QWidget* parent,
                               const std::string& path) {
    return showFilled(new ObjectWindow(wmi, prompts, parent),
                      [&](ObjectWindow& window) { return window.showObject(path); });
}

}  // namespace ui
