// A main window on a test host of the embedded service, with a settings file
// in a fresh folder and the prompt fake, for the window's tests.
#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "fake_prompts.h"
#include "ui/main_window/win1.h"

namespace uitest {

// Host "uihost": classes of mixed letter case, and instances to query.
extern const char* const kUiHostMof;

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A window whose clock advances `tick` milliseconds at every reading.
    std::unique_ptr<ui::TMainWin> makeWindow(std::vector<std::string> arguments = {},
                                             int64_t tick = 250);
    // makeWindow with "-host:uihost" and the arguments, shown and activated.
    std::unique_ptr<ui::TMainWin> startWindow(std::vector<std::string> arguments = {});
    // Runs a query as the user does: text into Query2Combo, then Execute.
    static void runQuery(ui::TMainWin& window, const QString& query);

    std::string settingsFile() const { return settingsFile_; }

    FakePrompts prompts;
    int64_t now = 1'700'000'000'000;  // the fake wall clock, in ms

  private:
    QTemporaryDir dir_;
    std::string settingsFile_;
};

}  // namespace uitest
