// Find and Search again: the class list on the Classes page, the result rows
// on the Query page.
#include "ui/dialogs/find_win.h"
#include "ui/dialogs/prompts.h"
#include "ui/find_logic.h"
#include "ui/main_window/class_browser.h"
#include "ui/main_window/find_views.h"
#include "ui/main_window/query_pane.h"
#include "ui/main_window/win1.h"

namespace ui {

void TMainWin::Search1Click() {
    prepareDialogs();
    FindDialog->setRequest({SearchText, SearchWholeWord, SearchMatchCase});
    if (!FindDialog->ShowFind()) return;
    const FindRequest request = FindDialog->request();
    SearchText = request.text;
    SearchMatchCase = request.matchCase;
    SearchWholeWord = request.wholeWord;
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
        return onQuery ? query_->findRow(SearchText, options)
                       : classes_->findClass(SearchText, options);
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
    if (onQuery)
        query_->showFoundRow();
    else
        classes_->showFoundClass();
}

}  // namespace ui
