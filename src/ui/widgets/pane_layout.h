// Layout helpers shared by the main window's panes: a column without margins,
// a named tab page, and a view's context menu.
#pragma once

#include <QAbstractScrollArea>
#include <QMenu>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/widgets/named.h"

namespace ui {

inline QVBoxLayout* bareColumn(QWidget* parent) {
    auto* layout = new QVBoxLayout(parent);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

// A new, empty page of the tabs.
inline QWidget* addPage(QTabWidget* tabs, const char* name, const QString& caption) {
    auto* page = named(new QWidget(tabs), name);
    tabs->addTab(page, caption);
    return page;
}

// The menu pops up where the view is right-clicked.
inline void attachPopup(QAbstractScrollArea* view, QMenu* menu) {
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(
        view, &QWidget::customContextMenuRequested, menu,
        [view, menu](const QPoint& pos) { menu->popup(view->viewport()->mapToGlobal(pos)); });
}

// An item of a popup menu, disabled until the menu enables it as it opens.
inline QAction* popupItem(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setEnabled(false);
    return action;
}

}  // namespace ui
