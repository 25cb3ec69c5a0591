// Find and Search again: the class list on the Classes page, the result rows
// on the Query page.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QTreeView>

#include "ui/dialogs/find_win.h"
#include "ui/dialogs/prompts.h"
#include "ui/find_logic.h"
#include "ui/main_window/find_views.h"
#include "ui/main_window/win1.h"
#include "ui/widgets/column_list_box.h"
#include "ui/widgets/string_grid.h"

namespace ui {

void TMainWin::Search1Click() {
    FindDialog->FindText->setEditText(SearchText);
    FindDialog->MatchCaseChk->setChecked(SearchMatchCase);
    FindDialog->MatchWholeWordChk->setChecked(SearchWholeWord);
    if (!FindDialog->ShowFind()) return;
    SearchText = FindDialog->FindText->currentText();
    SearchMatchCase = FindDialog->MatchCaseChk->isChecked();
    SearchWholeWord = FindDialog->MatchWholeWordChk->isChecked();
    FindNext(true);
}

void TMainWin::Findagain1Click() {
    if (SearchText.isEmpty())
        Search1Click();
    else
        FindNext(false);
}

void TMainWin::FindNext(bool fromStart) {
    FindOptions options{fromStart, true, SearchWholeWord, SearchMatchCase};
    const bool onQuery = ActivePage() == kTabQuery;
    auto find = [&] {
        return onQuery ? FindInListView(*ListView1, SearchText, options)
                       : FindInListBox(*ClassListBox, SearchText, options);
    };
    int found = find();
    if (found < 0 && !fromStart) {
        if (!prompts_.question(StartOverQuestion(SearchText))) return;
        options.fromStart = true;
        found = find();
    }
    if (found < 0) {
        prompts_.warning(NotFoundMessage(SearchText));
        return;
    }
    if (onQuery) {
        ListView1->setFocus();
        return;
    }
    ClassListBox->setFocus();
    // The class is only shown as found, not selected as the user would: its
    // properties and instances come when the user picks it.
    PropGrid->SetRowCount(2);
    PropGrid->SetCell(0, 1, QString());
    PropGrid->SetCell(1, 1, QString());
    // Picking the class shown before later shows it afresh.
    StopInstances();
    CurrentClassCleared = true;
}

}  // namespace ui
