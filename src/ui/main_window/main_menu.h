// The main menu (MainMenu1): Action1, Search2 and Help1 with their items,
// captions, images and keys. Each item's command is a signal, which the main
// window runs.
#pragma once

#include <QObject>
#include <QString>

class QAction;
class QMenuBar;

namespace ui {

class ImageList;

class MainMenu : public QObject {
    Q_OBJECT

  public:
    // Fills the bar, which owns the menu.
    MainMenu(QMenuBar& bar, const ImageList& images);

    // Savequeryresultas1, disabled until a query has run.
    void setSaveResultEnabled(bool enabled);
    // The address Homepage1 opens.
    QString homePageAddress() const;

  signals:
    void connectRequested();     // Connecttoremotehost1
    void refreshRequested();     // Refresh1
    void saveResultRequested();  // Savequeryresultas1
    void exitRequested();        // Exit1
    void findRequested();        // Search1
    void findAgainRequested();   // Findagain1
    void helpRequested();        // Help2
    void homePageRequested();    // Homepage1
    void supportRequested();     // Support1
    void aboutRequested();       // About1

  private:
    QAction* Savequeryresultas1 = nullptr;
    QAction* Homepage1 = nullptr;
};

}  // namespace ui
