// TFindDialog: asks for the text to find and the two options. Made once with
// the main window and kept, so that its history lasts from one use to the next.
#pragma once

#include <QDialog>
#include <QString>

#include "settings/settings.h"

class QCheckBox;
class QComboBox;

namespace ui {

// What the user asks to find: the text exactly as typed, and the two options.
struct FindRequest {
    QString text;
    bool wholeWord = false;
    bool matchCase = false;
};

class TFindDialog : public QDialog {
    Q_OBJECT

  public:
    explicit TFindDialog(QWidget* parent = nullptr);

    // Shows the dialog modally with the focus in FindText; on OK the text goes
    // to the top of FindText's history. True when it was closed with OK.
    bool ShowFind();

    // The request the controls show; setting it keeps the history.
    FindRequest request() const;
    void setRequest(const FindRequest& request);
    // FindText's history, the search history, most recent first.
    settings::HistoryList history() const;
    void setHistory(const settings::HistoryList& history);

  private:
    QComboBox* FindText = nullptr;
    QCheckBox* MatchWholeWordChk = nullptr;
    QCheckBox* MatchCaseChk = nullptr;
};

}  // namespace ui
