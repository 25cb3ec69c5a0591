#include "ui/main_window/instance_browser.h"

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <exception>

#include "ui/clipboard_text.h"
#include "ui/dialogs/associations_win.h"
#include "ui/dialogs/mof_text_viewer.h"
#include "ui/dialogs/prompts.h"
#include "ui/text_codec.h"
#include "ui/widgets/copy_key.h"
#include "ui/widgets/first_selected.h"
#include "ui/widgets/instance_line_box.h"
#include "ui/widgets/one_line_delegate.h"
#include "ui/widgets/pane_layout.h"
#include "ui/widgets/same_line_click.h"
#include "ui/widgets/wait_cursor.h"
#include "wmi/instances_thread.h"
#include "wmi/object_access.h"
#include "wmi/property_details.h"

namespace ui {

InstanceBrowser::InstanceBrowser(wmi::TWMI& wmi, Prompts& prompts, QWidget* parent)
    : QWidget(parent), wmi_(wmi), prompts_(prompts) {
    setObjectName(QStringLiteral("TabSheet4"));
    InstanceListBox = named(new InstanceLineBox(this), "InstanceListBox");
    bareColumn(this)->addWidget(InstanceListBox);
    // Lines with line breaks stay one line each.
    InstanceListBox->setItemDelegate(new OneLineDelegate(InstanceListBox));

    auto* PopupMenu3 = named(new QMenu(this), "PopupMenu3");
    Copy1item1 = popupItem(PopupMenu3, "Copy1item1", QStringLiteral("Copy item"));
    Copylist1 = popupItem(PopupMenu3, "Copylist1", QStringLiteral("Copy list"));
    PopupMenu3->addSeparator();
    Associated2 = popupItem(PopupMenu3, "Associated2", QStringLiteral("Associated objects..."));
    References2 = popupItem(PopupMenu3, "References2", QStringLiteral("References..."));
    attachPopup(InstanceListBox, PopupMenu3);

    connect(InstanceListBox, &QListWidget::itemSelectionChanged, this,
            [this] { InstanceListBoxClick(); });
    new SameLineClick(InstanceListBox, [this] { InstanceListBoxClick(); });
    connect(PopupMenu3, &QMenu::aboutToShow, this, [this] { PopupMenu3Popup(); });
    connect(Copy1item1, &QAction::triggered, this, [this] { Copy1item1Click(); });
    connect(Copylist1, &QAction::triggered, this, [this] { Copylist1Click(); });
    connect(Associated2, &QAction::triggered, this,
            [this] { showAssociations(AssociationsWin::Kind::Associators); });
    connect(References2, &QAction::triggered, this,
            [this] { showAssociations(AssociationsWin::Kind::References); });
    copyKeyRuns(InstanceListBox, Copy1item1, [this] { PopupMenu3Popup(); });
    PopupMenu3->addSeparator()->setObjectName(QStringLiteral("N7"));
    ShowMof2 = popupItem(PopupMenu3, "ShowMof2", QStringLiteral("Show MOF text..."));
    connect(ShowMof2, &QAction::triggered, this, [this] { ShowMof2Click(); });

    thread_ = new wmi::TWMIInstancesThread();
    thread_->Limit = kInstanceLimit;
    thread_->OnDone = [this](wmi::TWMIInstancesThread*, int32_t count, const std::string& error) {
        emit listingDone(count, fromSystem(error));
    };
}

InstanceBrowser::~InstanceBrowser() {
    thread_->Terminate();
    thread_ = nullptr;
}

void InstanceBrowser::listInstancesOf(const std::string& className) {
    className_ = className;
    emit listingStarted();
    // The lines stay in the order the enumeration gives them.
    InstanceListBox->SetSorted(false);
    thread_->SetTarget(wmi_.Host, wmi_.Namespace, wmi_.User, wmi_.Password, className,
                       InstanceListBox, wmi_.remote);
}

void InstanceBrowser::listAgain() {
    emit listingStarted();
    InstanceListBox->SetSorted(false);
    thread_->Restart();
}

void InstanceBrowser::stop() {
    thread_->SetTarget(wmi_.Host, wmi_.Namespace, wmi_.User, wmi_.Password, {}, InstanceListBox,
                       wmi_.remote);
    InstanceListBox->clear();
}

void InstanceBrowser::clear() { InstanceListBox->clear(); }

void InstanceBrowser::InstanceListBoxClick() {
    const QModelIndexList selected = InstanceListBox->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) return;
    const wmi::LinePath path = InstanceListBox->path(selected.first().row());
    if (!path) {
        // The placeholder or an error line: no instance to show, nothing to tell.
        emit valuesRead({}, {});
        return;
    }

    WaitCursor wait;
    try {
        wmi::TextList names;
        wmi::TextList values;
        const bool ok = wmi::InstanceValues(wmi_, *path, &names, &values);
        // Taken before the grid shows the values: its details pane reads
        // through the same connection object and would overwrite it.
        const std::string error = wmi_.LastError;
        emit valuesRead(names, values);
        wait.restore();
        if (!ok) prompts_.error(fromSystem(error));
    } catch (const std::exception& e) {
        wait.restore();
        prompts_.error(errorText(e));
    }
}

void InstanceBrowser::PopupMenu3Popup() {
    Copy1item1->setEnabled(firstSelected(*InstanceListBox) != nullptr);
    Copylist1->setEnabled(InstanceListBox->count() > 0);
    ShowMof2->setEnabled(firstSelected(*InstanceListBox) != nullptr);
    Associated2->setEnabled(firstSelected(*InstanceListBox) != nullptr);
    References2->setEnabled(Associated2->isEnabled());
}

void InstanceBrowser::showAssociations(AssociationsWin::Kind kind) {
    const wmi::LinePath path = selectedPath();
    if (!path) return;
    if (path->empty()) {
        prompts_.error(fromSystem(wmi::NoPathError()));
        return;
    }
    openAssociationsWin(wmi_, prompts_, kind, this, *path);
}

void InstanceBrowser::Copy1item1Click() {
    if (const QListWidgetItem* line = firstSelected(*InstanceListBox)) putOnClipboard(line->text());
}

void InstanceBrowser::Copylist1Click() {
    QStringList lines;
    lines.reserve(InstanceListBox->count());
    for (int i = 0; i < InstanceListBox->count(); ++i)
        lines.push_back(InstanceListBox->item(i)->text());
    putOnClipboard(ListText(lines));
}

wmi::LinePath InstanceBrowser::selectedPath() const {
    const QModelIndexList selected = InstanceListBox->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) return std::nullopt;
    return InstanceListBox->path(selected.first().row());
}

void InstanceBrowser::ShowMof2Click() {
    const wmi::LinePath path = selectedPath();
    if (!path) return;
    std::string text;
    {
        WaitCursor wait;
        if (!wmi::ObjectMofText(wmi_, *path, text)) {
            wait.restore();
            prompts_.error(fromSystem(wmi_.LastError));
            return;
        }
    }
    showMofText(fromSystem(className_), QString::fromStdString(text), window());
}

}  // namespace ui
