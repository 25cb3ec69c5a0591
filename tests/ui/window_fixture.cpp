#include "window_fixture.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include "wbem/service/hosts.h"
#include "wmi/bw_wmi.h"

namespace uitest {

const char* const kUiHostMof = R"MOF(
class Widget
{
    [key] uint32 Id;
    string Name;
    sint32 Score;
    string Note;
};

class Pair
{
    [key] uint32 Id;
    string Label;
};

class alpha { [key] uint32 Id; };
class Beta { [key] uint32 Id; };
class gamma { [key] uint32 Id; };
class Zulu_Last { [key] uint32 Id; };

instance of Widget { Id = 1; Name = "pear"; Score = 10; Note = "b"; };
instance of Widget { Id = 2; Name = "Apple"; Score = -1; Note = "a"; };
instance of Widget { Id = 3; Name = "fig"; Score = -5; Note = "b"; };
instance of Widget { Id = 4; Name = "apple"; Score = 9; Note = "a"; };

instance of Pair { Id = 1; Label = "one"; };
instance of Pair { Id = 2; Label = "two"; };
)MOF";

void WindowTest::SetUp() {
    ASSERT_TRUE(dir_.isValid());
    settingsFile_ = dir_.filePath(QStringLiteral("cimscope.ini")).toStdString();
    wbem::registerTestHost("uihost", kUiHostMof);
    wbem::setLocatorAvailable(true);
    wmi::AuthenticationLevel = 0;
}

void WindowTest::TearDown() {
    wbem::unregisterTestHost("uihost");
    wbem::setLocatorAvailable(true);
    wmi::AuthenticationLevel = 0;
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the hourglass was left showing";
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

std::unique_ptr<ui::TMainWin> WindowTest::makeWindow(std::vector<std::string> arguments,
                                                     int64_t tick) {
    ui::MainWindowOptions options;
    options.settingsFile = settingsFile_;
    options.arguments = std::move(arguments);
    options.clock = [this, tick] { return now += tick; };
    return std::make_unique<ui::TMainWin>(prompts, std::move(options));
}

std::unique_ptr<ui::TMainWin> WindowTest::startWindow(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "-host:uihost");
    auto window = makeWindow(std::move(arguments));
    window->show();
    window->FormActivate();
    return window;
}

void WindowTest::runQuery(ui::TMainWin& window, const QString& query) {
    window.Query2Combo->setEditText(query);
    QTest::mouseClick(window.Query2Btn, Qt::LeftButton);
}

}  // namespace uitest
