#include "ui/main_window/main_menu.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include "app/product.h"
#include "ui/text_codec.h"
#include "ui/widgets/image_list.h"
#include "ui/widgets/named.h"

namespace ui {

MainMenu::MainMenu(QMenuBar& bar, const ImageList& images) : QObject(&bar) {
    bar.setObjectName(QStringLiteral("MainMenu1"));
    // An item that emits `command` when chosen.
    auto item = [this, &images](QMenu* menu, const char* name, const QString& caption, int image,
                                void (MainMenu::*command)(), const QKeySequence& shortcut = {}) {
        QAction* action = menu->addAction(images.icon(image), caption);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(shortcut);
        connect(action, &QAction::triggered, this, [this, command] { emit(this->*command)(); });
        return action;
    };
    auto separator = [](QMenu* menu, const char* name) {
        menu->addSeparator()->setObjectName(QString::fromLatin1(name));
    };

    QMenu* Action1 = named(bar.addMenu(QStringLiteral("Action")), "Action1");
    item(Action1, "Connecttoremotehost1", QStringLiteral("&Connect to host/namespace..."),
         kImageComputer, &MainMenu::connectRequested);
    item(Action1, "Refresh1", QStringLiteral("&Refresh"), kImageRefresh,
         &MainMenu::refreshRequested, QKeySequence(Qt::Key_F5));
    Savequeryresultas1 =
        item(Action1, "Savequeryresultas1", QStringLiteral("Save query result as..."), kImageNone,
             &MainMenu::saveResultRequested);
    Savequeryresultas1->setEnabled(false);
    separator(Action1, "N2");
    item(Action1, "Exit1", QStringLiteral("&Exit"), kImageExit, &MainMenu::exitRequested,
         QKeySequence(Qt::ALT | Qt::Key_X));

    QMenu* Search2 = named(bar.addMenu(QStringLiteral("&Search")), "Search2");
    item(Search2, "Search1", QStringLiteral("&Find..."), kImageFind, &MainMenu::findRequested,
         QKeySequence(Qt::CTRL | Qt::Key_F));
    item(Search2, "Findagain1", QStringLiteral("Search &again"), kImageFindAgain,
         &MainMenu::findAgainRequested, QKeySequence(Qt::Key_F3));

    QMenu* Help1 = named(bar.addMenu(QStringLiteral("Help")), "Help1");
    item(Help1, "Help2", QStringLiteral("Help"), kImageHelp, &MainMenu::helpRequested,
         QKeySequence(Qt::Key_F1));
    Homepage1 = item(Help1, "Homepage1", QStringLiteral("Home page"), kImageHomePage,
                     &MainMenu::homePageRequested);
    Homepage1->setData(fromSystem(product::kProductPageUrl));
    Homepage1->setStatusTip(Homepage1->data().toString());
    item(Help1, "Support1", QStringLiteral("Support"), kImageSupport, &MainMenu::supportRequested);
    separator(Help1, "N1");
    item(Help1, "About1", QStringLiteral("About"), kImageNone, &MainMenu::aboutRequested);
}

void MainMenu::setSaveResultEnabled(bool enabled) { Savequeryresultas1->setEnabled(enabled); }

QString MainMenu::homePageAddress() const { return Homepage1->data().toString(); }

}  // namespace ui
