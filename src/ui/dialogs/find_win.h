// TFindDialog: asks for the text to find and the two options. Made once with
// the main window and kept, so that its history lasts from one use to the next.
#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

namespace ui {

class TFindDialog : public QDialog {
    Q_OBJECT

  public:
    explicit TFindDialog(QWidget* parent = nullptr);

    // Shows the dialog modally with the focus in FindText; on OK the text goes
    // to the top of FindText's history. True when it was closed with OK.
    bool ShowFind();

    QFrame* Bevel1 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* FindText = nullptr;  // the history list is the search history
    QCheckBox* MatchWholeWordChk = nullptr;
    QCheckBox* MatchCaseChk = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
};

}  // namespace ui
