// A main window on the test host "findhost", and the find dialog answered as
// a user would while it is shown modally.
#pragma once

#include <QString>
#include <memory>

#include "window_fixture.h"

namespace uitest {

class FindTest : public WindowTest {
  protected:
    static constexpr int kRows = 60;
    static constexpr int kNeedleRow = 45;  // Row.Id of the one Note "a needle here"

    void SetUp() override;
    void TearDown() override;

    struct Answer {
        QString text;
        bool wholeWord = false;
        bool matchCase = false;
        bool ok = true;
    };
    // The next showing of the find dialog: the text typed over what it shows,
    // the options set, then Find or Cancel clicked.
    void answerFind(const Answer& answer);
    // Find... answered with the answer.
    void find(const Answer& answer);

    // A click on the class's entry, as the user shows a class; returns when
    // the listing of its instances has ended.
    void showClass(const QString& name);
    QString currentClass() const;
    std::vector<FakePrompts::Shown> takeShown();

    std::unique_ptr<ui::TMainWin> window;
};

}  // namespace uitest
