// The main window and the settings file: histories and placement across a
// restart, the load rules, and a file that cannot be written.
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include "settings/profile_file.h"
#include "ui/dialogs/connect_win.h"
#include "ui/dialogs/find_win.h"
#include "window_fixture.h"

namespace uitest {
namespace {

class SettingsTest : public WindowTest {
  protected:
    void writeSettings(const std::string& text) {
        QFile file(QString::fromStdString(settingsFile()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.data(), qint64(text.size()));
    }
    std::string readSettings() {
        QFile file(QString::fromStdString(settingsFile()));
        if (!file.open(QIODevice::ReadOnly)) return {};
        return file.readAll().toStdString();
    }
    static QStringList history(const ui::TMainWin& window) {
        QStringList items;
        for (int i = 0; i < query2Combo(window).count(); ++i)
            items << query2Combo(window).itemText(i);
        return items;
    }
};

TEST_F(SettingsTest, HistoriesAndPositionSurviveARestart) {
    QRect placed;
    {
        auto window = startWindow();
        runQuery(*window, QStringLiteral("select Id from Pair"));
        runQuery(*window, QStringLiteral("select Label from Pair"));
        window->setGeometry(120, 90, 640, 420);
        QApplication::processEvents();
        placed = window->geometry();
        EXPECT_TRUE(window->FormCloseQuery());
    }
    auto again = startWindow();
    EXPECT_EQ(history(*again), (QStringList{"select Label from Pair", "select Id from Pair"}));
    EXPECT_EQ(query2Combo(*again).currentText(),
              QStringLiteral("select Caption, HandleCount, ThreadCount from Win32_Process"))
        << "loading the history leaves the box's text";
    EXPECT_EQ(again->geometry(), placed);

    const settings::ProfileFile file = settings::ProfileFile::load(settingsFile());
    EXPECT_EQ(file.readInteger("TMainWin", "FormVersion", -1), 0);
    EXPECT_TRUE(file.read("TMainWin", "NormPos").has_value());
    EXPECT_TRUE(file.read("TMainWin", "MinMaxPos").has_value());
    EXPECT_EQ(file.read("TMainWin", "Visible"), "0");
}

TEST_F(SettingsTest, OnlyTheFifteenMostRecentQueriesAreSaved) {
    auto window = startWindow();
    for (int i = 0; i < 20; ++i)
        runQuery(*window, QStringLiteral("select Id from Pair where Id = %1").arg(i));
    EXPECT_EQ(query2Combo(*window).count(), 20) << "no limit in memory";
    window->FormCloseQuery();
    const settings::ProfileFile file = settings::ProfileFile::load(settingsFile());
    EXPECT_EQ(file.readInteger("QueryHistory", "Count", -1), 15);
    EXPECT_EQ(file.read("QueryHistory", "Query0"), "select Id from Pair where Id = 19");
    EXPECT_EQ(file.read("QueryHistory", "Query14"), "select Id from Pair where Id = 5");
    EXPECT_FALSE(file.read("QueryHistory", "Query15").has_value());
}

TEST_F(SettingsTest, LoadingFollowsTheFileAndKeepsWhatItDoesNotOwn) {
    writeSettings(
        "; written by hand\r\n"
        "[Other]\r\n"
        "Keep=this\r\n"
        "[queryhistory]\r\n"
        "count=3\r\n"
        "Query0='select Id from Pair'\r\n"
        "Query2=\"  select Label from Pair  \"\r\n"
        "[SearchHistory]\r\n"
        "Count=1\r\n"
        "Text0=needle\r\n"
        "[WMI]\r\n"
        "AuthenticationLevel=4\r\n");
    auto window = startWindow({"-authlevel:7"});  // out of range: the file's level stays
    EXPECT_EQ(history(*window), (QStringList{"select Id from Pair", "  select Label from Pair  "}));
    EXPECT_EQ(wmi::AuthenticationLevel.load(), 4);
    ASSERT_EQ(control<QComboBox>(findDialog(*window), "FindText").count(), 1);
    EXPECT_EQ(control<QComboBox>(findDialog(*window), "FindText").itemText(0),
              QStringLiteral("needle"));
    EXPECT_EQ(control<ui::TConnectForm>(*window, "ConnectForm").HostHistory(),
              (settings::HistoryList{"localhost"}))
        << "no host history: the built-in entry stays";

    wmi::AuthenticationLevel = 2;  // as the connect dialog would
    window->FormCloseQuery();
    const std::string saved = readSettings();
    EXPECT_EQ(saved.rfind("; written by hand\r\n[Other]\r\nKeep=this\r\n", 0), 0u) << saved;
    const settings::ProfileFile file = settings::ProfileFile::load(settingsFile());
    EXPECT_EQ(file.read("SearchHistory", "Text0"), "needle");
    EXPECT_EQ(file.readInteger("QueryHistory", "Count", -1), 2);
    EXPECT_EQ(file.read("WMI", "AuthenticationLevel"), "4") << "the level is never written";
}

TEST_F(SettingsTest, TheDialogsHistoriesSurviveAWindowThatNeverOpenedThem) {
    // The dialogs are built only when first needed: a window closed without
    // them must still write back what the file held for them, and reading it
    // for them must not undo the command line's authentication level.
    writeSettings(
        "[HostHistory]\r\n"
        "Count=2\r\n"
        "Text0=alpha\r\n"
        "Text1=beta\r\n"
        "[NSpaceHistory]\r\n"
        "Count=1\r\n"
        "Text0=root\\default\r\n"
        "[SearchHistory]\r\n"
        "Count=1\r\n"
        "Text0=needle\r\n"
        "[WMI]\r\n"
        "AuthenticationLevel=4\r\n");
    auto window = startWindow({"-authlevel:6"});
    ASSERT_EQ(wmi::AuthenticationLevel.load(), 6);
    EXPECT_TRUE(window->FormCloseQuery());
    EXPECT_EQ(wmi::AuthenticationLevel.load(), 6);
    // Nor are they built only to be asked what they hold.
    EXPECT_EQ(window->findChild<ui::TConnectForm*>(), nullptr);
    EXPECT_EQ(window->findChild<ui::TFindDialog*>(), nullptr);

    const settings::ProfileFile file = settings::ProfileFile::load(settingsFile());
    EXPECT_EQ(file.readInteger("HostHistory", "Count", -1), 2);
    EXPECT_EQ(file.read("HostHistory", "Text0"), "alpha");
    EXPECT_EQ(file.read("HostHistory", "Text1"), "beta");
    EXPECT_EQ(file.read("NSpaceHistory", "Text0"), "root\\default");
    EXPECT_EQ(file.read("SearchHistory", "Text0"), "needle");
}

TEST_F(SettingsTest, AFileThatCannotBeWrittenDoesNotStopTheClose) {
    ui::MainWindowOptions options;
    options.settingsFile = "/nonexistent-folder/cimscope.ini";
    options.arguments = {"-host:uihost"};
    ui::TMainWin window(prompts, std::move(options));
    window.show();
    window.FormActivate();
    EXPECT_TRUE(window.FormCloseQuery());
    EXPECT_FALSE(window.SaveSettings());
    EXPECT_TRUE(prompts.shown.empty()) << "skipped silently";
}

TEST_F(SettingsTest, APositionOffEveryScreenKeepsOnlyItsSize) {
    writeSettings(
        "[TMainWin]\r\n"
        "FormVersion=0\r\n"
        "PixelsPerInch=" +
        std::to_string(qRound(QGuiApplication::primaryScreen()->logicalDotsPerInch())) +
        "\r\n"
        "NormPos=-9000,-9000,-8400,-8600\r\n");
    auto window = startWindow();
    EXPECT_EQ(window->frameGeometry().size(), QSize(600, 400))
        << "the stored rectangle has the frame";
    EXPECT_GT(window->x(), -9000);
}

}  // namespace
}  // namespace uitest
