// The class browser: selecting a class shows its property names and its
// methods and starts the enumeration of its instances; the class list's
// context menu runs the class's query or lists the instances again.
#include <QAction>
#include <QComboBox>
#include <QListWidget>
#include <QMenu>
#include <QTreeWidget>
#include <exception>

#include "ui/dialogs/prompts.h"
#include "ui/main_window/method_tree.h"
#include "ui/main_window/win1.h"
#include "ui/text_codec.h"
#include "ui/widgets/column_list_box.h"
#include "ui/widgets/first_selected.h"
#include "ui/widgets/instance_line_box.h"
#include "ui/widgets/same_line_click.h"
#include "ui/widgets/string_grid.h"
#include "ui/widgets/wait_cursor.h"

namespace ui {

namespace {

// A menu caption shown exactly as given: a '&' is no accelerator mark.
QString caption(QString text) { return text.replace(u'&', QStringLiteral("&&")); }

// The class's property names in column 0 under the header "Property", a
// blank row below them, and column 1 empty but for its header "Value".
void showPropertyNames(StringGrid& grid, const wmi::TextList& names) {
    const int n = int(names.size());
    grid.SetRowCount(n + 2);
    grid.SetCell(0, 0, QStringLiteral("Property"));
    grid.SetCell(1, 0, QStringLiteral("Value"));
    for (int row = 1; row < n + 2; ++row) {
        grid.SetCell(0, row, row <= n ? fromSystem(names[size_t(row - 1)]) : QString());
        grid.SetCell(1, row, QString());
    }
}

}  // namespace

void TMainWin::wireClassBrowser() {
    connect(ClassListBox, &QListWidget::itemSelectionChanged, this,
            [this] { ClassListBoxClick(); });
    new SameLineClick(ClassListBox, [this] { ClassListBoxClick(); });
    connect(this, &TMainWin::classListLoaded, this, [this] { CurrentClassCleared = true; });
    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] { PopupMenu1Popup(); });
    connect(Selectfrom1, &QAction::triggered, this, [this] { Selectfrom1Click(); });
    connect(Refresh2, &QAction::triggered, this, [this] { Refresh2Click(); });
}

void TMainWin::ClassListBoxClick() {
    const QListWidgetItem* selected = firstSelected(*ClassListBox);
    if (!selected) {
        StopInstances();
        CurrentClass.clear();
        TreeView1->clear();
        return;
    }
    const std::string name = toSystem(selected->text());
    // Repeated notifications change nothing.
    if (name == CurrentClass && !CurrentClassCleared) return;
    CurrentClass = name;
    CurrentClassCleared = false;

    bool reported = false;
    {
        WaitCursor wait;
        try {
            SetStatusText(2, QStringLiteral("Requesting instances..."));
            // The lines stay in the order they arrive: a line's position is
            // the instance's position in the enumeration.
            InstanceListBox->SetSorted(false);
            InstancesThread->SetTarget(WMI->Host, WMI->Namespace, WMI->User, WMI->Password, name,
                                       InstanceListBox, WMI->remote);
            QueryCombo->setEditText(QStringLiteral("select * from ") + fromSystem(name));
            const bool ok = WMI->ClassPropertyNames(name, ResultColumns);
            showPropertyNames(*PropGrid, ResultColumns);
            wait.restore();
            if (!ok) {
                reported = true;
                prompts_.error(fromSystem(WMI->LastError));
            }
        } catch (const std::exception& e) {
            wait.restore();
            reported = true;
            prompts_.error(errorText(e));
        }
    }
    // Also after a failure: the tree must not go on showing the last class.
    BuildMethodsTree(!reported);
}

void TMainWin::StopInstances() {
    InstancesThread->SetTarget(WMI->Host, WMI->Namespace, WMI->User, WMI->Password, {},
                               InstanceListBox, WMI->remote);
    InstanceListBox->clear();
}

void TMainWin::BuildMethodsTree(bool reportFailure) {
    TreeView1->clear();
    try {
        wmi::TextList names;
        wmi::TextList inParams;
        wmi::TextList outParams;
        const bool ok = WMI->ClassMethods(CurrentClass, names, &inParams, &outParams);
        AddMethodNodes(*TreeView1, *ImageList1, names, inParams, outParams);
        // A tree cut short must not pass for the class's methods; one error
        // box per selection is enough when the property call failed as well.
        if (!ok && reportFailure) prompts_.error(fromSystem(WMI->LastError));
    } catch (const std::exception& e) {
        prompts_.error(errorText(e));
    }
}

void TMainWin::PopupMenu1Popup() {
    const QListWidgetItem* selected = firstSelected(*ClassListBox);
    if (!selected) {
        Selectfrom1->setText(QStringLiteral("select * from ..."));
        Refresh2->setText(QStringLiteral("Refresh"));
    } else {
        SelectFromQuery = "select * from " + toSystem(selected->text());
        Selectfrom1->setText(caption(fromSystem(SelectFromQuery)));
        Refresh2->setText(caption(QStringLiteral("Refresh instances (%1)").arg(selected->text())));
    }
    Selectfrom1->setEnabled(selected != nullptr);
    Refresh2->setEnabled(selected != nullptr);
}

void TMainWin::Selectfrom1Click() {
    SelectPage(kTabQuery);
    Query2Combo->setEditText(fromSystem(SelectFromQuery));
    Query2BtnClick();
}

void TMainWin::Refresh2Click() {
    // The command names the selected class. When the search moved the
    // selection away from the class on show, that class is shown in full,
    // rather than listing the instances of another one under its name.
    const QListWidgetItem* selected = firstSelected(*ClassListBox);
    if (selected && toSystem(selected->text()) != CurrentClass) {
        ClassListBoxClick();
        return;
    }
    SetStatusText(2, QStringLiteral("Requesting instances..."));
    InstanceListBox->SetSorted(false);
    InstancesThread->Restart();
}

}  // namespace ui
