// TAboutBox: the program's name, version and the maker's addresses; a click
// on the logo or an address opens it. Made for each showing and closed by
// the user or, when asked, by its timer.
#pragma once

#include <QDialog>
#include <cstdint>

#include "help/url_opener.h"

class QLabel;
class QTimer;

namespace ui {

class Prompts;

class TAboutBox : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kClientWidth = 396;
    static constexpr int kClientHeight = 191;

    TAboutBox(Prompts& prompts, help::UrlOpener opener, QWidget* parent = nullptr);

    // Open the hint (tool tip) of the clicked control; the four address
    // labels share Label4Click.
    void ProgramIconClick();
    void Label4Click(QWidget* sender);

    // With an interval above 0 (milliseconds) the box closes by itself that
    // long after this call; with 0 it stays until the user closes it.
    void closeAfter(uint16_t interval);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void openHint(QWidget* control);

    QLabel* ProgramIcon = nullptr;
    QTimer* Timer1 = nullptr;

    Prompts& prompts_;
    help::UrlOpener opener_;
};

// Makes the box, shows it modally and destroys it when it closes. With an
// interval above 0 (milliseconds) the box closes by itself after that time;
// with 0 it stays until the user closes it.
void ShowAboutBox(uint16_t interval, Prompts& prompts, const help::UrlOpener& opener,
                  QWidget* parent = nullptr);

}  // namespace ui
