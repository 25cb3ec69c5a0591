#include "ui/dialogs/associations_win.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/association_groups.h"
#include "ui/dialogs/object_window.h"
#include "ui/dialogs/prompts.h"
#include "ui/text_codec.h"
#include "ui/widgets/filled_window.h"
#include "ui/widgets/named.h"
#include "ui/widgets/wait_cursor.h"
#include "wmi/object_access.h"

namespace ui {

namespace {

constexpr int kPathRole = Qt::UserRole;

QString groupCaption(const AssociationGroup& group) {
    if (group.assocClass.empty()) return QStringLiteral("(no association found)");
    QString caption = fromSystem(group.assocClass);
    if (!group.role.empty()) caption += QStringLiteral(" (role ") + fromSystem(group.role) + u')';
    return caption;
}

}  // namespace

AssociationsWin::AssociationsWin(wmi::TWMI& wmi, Prompts& prompts, Kind kind, QWidget* parent)
    : QDialog(parent), wmi_(wmi), prompts_(prompts), kind_(kind) {
    setObjectName(QStringLiteral("AssociationsWin"));
    resize(620, 420);
    auto* column = new QVBoxLayout(this);
    AssociationTree = named(new QTreeWidget(this), "AssociationTree");
    AssociationTree->setHeaderLabels({kind == Kind::Associators
                                          ? QStringLiteral("Associated object")
                                          : QStringLiteral("Association"),
                                      QStringLiteral("Role")});
    AssociationTree->setColumnWidth(0, 440);
    AssociationTree->setUniformRowHeights(true);
    column->addWidget(AssociationTree, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    OpenBtn =
        named(buttons->addButton(QStringLiteral("Open"), QDialogButtonBox::ActionRole), "OpenBtn");
    column->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(OpenBtn, &QPushButton::clicked, this, [this] { OpenBtnClick(); });
    connect(AssociationTree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (item && item->parent()) OpenBtnClick();
    });
}

bool AssociationsWin::showAssociations(const std::string& path) {
    WaitCursor wait;
    std::vector<wmi::AssociationObject> refs;
    wmi::TextList associators;
    bool ok = wmi::ReferencesOf(wmi_, path, refs);
    if (ok && kind_ == Kind::Associators) ok = wmi::AssociatorsOf(wmi_, path, associators);
    if (!ok) {
        wait.restore();
        prompts_.error(fromSystem(wmi_.LastError));
        return false;
    }
    const std::vector<AssociationGroup> groups = kind_ == Kind::Associators
                                                     ? groupAssociators(path, refs, associators)
                                                     : groupReferences(path, refs);
    const QString what = kind_ == Kind::Associators ? QStringLiteral("Associated objects of ")
                                                    : QStringLiteral("References of ");
    setWindowTitle(what + fromSystem(relativePath(path)));
    AssociationTree->clear();
    for (const AssociationGroup& group : groups) {
        auto* node = new QTreeWidgetItem(AssociationTree, {groupCaption(group)});
        node->setFirstColumnSpanned(true);
        for (const auto& [role, entryPath] : group.entries) {
            auto* entry =
                new QTreeWidgetItem(node, {fromSystem(relativePath(entryPath)), fromSystem(role)});
            entry->setData(0, kPathRole, fromSystem(entryPath));
            entry->setToolTip(0, fromSystem(entryPath));
        }
        node->setExpanded(true);
    }
    if (groups.empty())
        new QTreeWidgetItem(AssociationTree,
                            {kind_ == Kind::Associators ? QStringLiteral("(no associated objects)")
                                                        : QStringLiteral("(no references)")});
    return true;
}

void AssociationsWin::OpenBtnClick() {
    const QTreeWidgetItem* item = AssociationTree->currentItem();
    if (!item || !item->parent()) return;
    openObjectWindow(wmi_, prompts_, this, toSystem(item->data(0, kPathRole).toString()));
}

AssociationsWin* openAssociationsWin(wmi::TWMI& wmi, Prompts& prompts, AssociationsWin::Kind kind,
                                     QWidget* parent, const std::string& path) {
    return showFilled(new AssociationsWin(wmi, prompts, kind, parent),
                      [&](AssociationsWin& window) { return window.showAssociations(path); });
}

}  // namespace ui
