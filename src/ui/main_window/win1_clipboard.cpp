// The copy commands of the property grid, the instance list and the methods
// tree: their context menus, their enabling, and Ctrl+C in each view.
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QTreeWidget>
#include <functional>

#include "ui/clipboard_text.h"
#include "ui/main_window/win1.h"
#include "ui/widgets/first_selected.h"
#include "ui/widgets/instance_line_box.h"
#include "ui/widgets/string_grid.h"

namespace ui {

namespace {

// The text replaces whatever the clipboard held.
void putOnClipboard(const QString& text) { QGuiApplication::clipboard()->setText(text); }

// Ctrl+C (the platform's copy keys) in a view runs the view's copy command
// instead of the view's own copy of the current cell.
class CopyKey : public QObject {
  public:
    CopyKey(QWidget* view, std::function<void()> onCopy)
        : QObject(view), onCopy_(std::move(onCopy)) {
        view->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (!key->matches(QKeySequence::Copy)) return false;
        if (event->type() == QEvent::ShortcutOverride) {
            key->accept();  // the key comes to the view, not to a shortcut
            return true;
        }
        onCopy_();
        return true;
    }

  private:
    std::function<void()> onCopy_;
};

}  // namespace

void TMainWin::wireClipboard() {
    connect(PopupMenu2, &QMenu::aboutToShow, this, [this] { PopupMenu2Popup(); });
    connect(CopyPropert1, &QAction::triggered, this, [this] { CopyPropert1Click(); });
    connect(PopupMenu3, &QMenu::aboutToShow, this, [this] { PopupMenu3Popup(); });
    connect(Copy1item1, &QAction::triggered, this, [this] { Copy1item1Click(); });
    connect(Copylist1, &QAction::triggered, this, [this] { Copylist1Click(); });
    connect(PopupMenu4, &QMenu::aboutToShow, this, [this] { PopupMenu4Popup(); });
    connect(Copymethod1, &QAction::triggered, this, [this] { Copymethod1Click(); });
    connect(Copyallmethods1, &QAction::triggered, this, [this] { Copyallmethods1Click(); });

    // The keys do what the menu's first item does, when it would be enabled.
    auto copyKey = [this](QWidget* view, void (TMainWin::*popup)(), QAction* item,
                          void (TMainWin::*command)()) {
        new CopyKey(view, [this, popup, item, command] {
            (this->*popup)();
            if (item->isEnabled()) (this->*command)();
        });
    };
    copyKey(PropGrid, &TMainWin::PopupMenu2Popup, CopyPropert1, &TMainWin::CopyPropert1Click);
    copyKey(InstanceListBox, &TMainWin::PopupMenu3Popup, Copy1item1, &TMainWin::Copy1item1Click);
    copyKey(TreeView1, &TMainWin::PopupMenu4Popup, Copymethod1, &TMainWin::Copymethod1Click);
}

// --- Property grid ---------------------------------------------------------------------

void TMainWin::PopupMenu2Popup() {
    CopyPropert1->setEnabled(PropGrid->RowCount() >= 2 &&
                             PropGrid->selectionModel()->hasSelection());
}

void TMainWin::CopyPropert1Click() {
    putOnClipboard(PropertyLinesText(SelectedGridRows(*PropGrid)));
}

// --- Instance list ---------------------------------------------------------------------

void TMainWin::PopupMenu3Popup() {
    Copy1item1->setEnabled(firstSelected(*InstanceListBox) != nullptr);
    Copylist1->setEnabled(InstanceListBox->count() > 0);
}

void TMainWin::Copy1item1Click() {
    if (const QListWidgetItem* line = firstSelected(*InstanceListBox)) putOnClipboard(line->text());
}

void TMainWin::Copylist1Click() {
    QStringList lines;
    lines.reserve(InstanceListBox->count());
    for (int i = 0; i < InstanceListBox->count(); ++i)
        lines.push_back(InstanceListBox->item(i)->text());
    putOnClipboard(ListText(lines));
}

// --- Methods tree ----------------------------------------------------------------------

void TMainWin::PopupMenu4Popup() {
    Copymethod1->setEnabled(firstSelected(*TreeView1) != nullptr);
    Copyallmethods1->setEnabled(TreeView1->topLevelItemCount() > 0);
}

void TMainWin::Copymethod1Click() {
    const QTreeWidgetItem* node = firstSelected(*TreeView1);
    if (!node) return;
    if (node->parent()) node = node->parent();  // a parameter copies its method
    putOnClipboard(MethodText(*node));
}

void TMainWin::Copyallmethods1Click() { putOnClipboard(AllMethodsText(*TreeView1)); }

}  // namespace ui
