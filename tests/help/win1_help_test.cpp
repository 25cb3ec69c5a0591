// The main window's Help menu: the help window and its two messages, the
// home page, the support mail, the About box.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <cerrno>

#include "app/product.h"
#include "help/hh.h"
#include "help/support_mail.h"
#include "ui/dialogs/about.h"
#include "window_fixture.h"

namespace {

using uitest::menuItem;

QString str(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

class HelpMenuTest : public uitest::WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        window = startWindow();
        window->OpenUrl = [this](const QUrl& url) {
            opened.push_back(url);
            errno = failWith;
            return !fail;
        };
    }
    void TearDown() override {
        help::ApplicationHelp().FreeHtmlHelp();
        help::ApplicationHelp().helpFile.clear();
        window.reset();
        WindowTest::TearDown();
    }

    std::unique_ptr<ui::TMainWin> window;
    std::vector<QUrl> opened;
    bool fail = false;
    int failWith = 0;
};

TEST_F(HelpMenuTest, TheItemsAreThereAndEnabled) {
    const struct {
        QAction* item;
        const char* caption;
        QKeySequence shortcut;
    } items[] = {
        {&menuItem(*window, "Help2"), "Help", QKeySequence(Qt::Key_F1)},
        {&menuItem(*window, "Homepage1"), "Home page", {}},
        {&menuItem(*window, "Support1"), "Support", {}},
        {&menuItem(*window, "About1"), "About", {}},
    };
    for (const auto& i : items) {
        EXPECT_EQ(i.item->text(), QString::fromLatin1(i.caption));
        EXPECT_EQ(i.item->shortcut(), i.shortcut) << i.caption;
        EXPECT_TRUE(i.item->isEnabled()) << i.caption;
    }
}

TEST_F(HelpMenuTest, HelpOpensTheStartPageOrSaysWhyNot) {
    const struct {
        const char* what;
        std::string helpFile;
        const char* library;
        QString error;  // empty: the help window shows
    } cases[] = {
        {"no help file", "", help::kChmLibraryName, str(help::kHelpFileNotFound)},
        {"no library", CIMSCOPE_HELP_CHM, "libcimscope-none.so.1",
         str(help::kLibraryNotInitialized)},
        {"both there", CIMSCOPE_HELP_CHM, help::kChmLibraryName, QString()},
    };
    for (const auto& c : cases) {
        help::HtmlHelp& hh = help::ApplicationHelp();
        hh.FreeHtmlHelp();
        hh.helpFile = c.helpFile;
        hh.LoadHtmlHelp(c.library);
        prompts.shown.clear();
        menuItem(*window, "Help2").trigger();
        if (c.error.isEmpty()) {
            EXPECT_TRUE(prompts.shown.empty()) << c.what;
            ASSERT_NE(hh.viewer(), nullptr) << c.what;
            EXPECT_EQ(hh.viewer()->parentWidget(), window.get()) << c.what;
            EXPECT_TRUE(hh.viewer()->isVisible()) << c.what;
            EXPECT_EQ(hh.viewer()->browser()->source(),
                      QUrl(QStringLiteral("chm:/HTML/wmi/index.htm")));
        } else {
            ASSERT_EQ(prompts.errors(), std::vector<QString>{c.error}) << c.what;
            EXPECT_EQ(hh.viewer(), nullptr) << c.what;
        }
    }
}

TEST_F(HelpMenuTest, HomePageOpensTheProductPage) {
    menuItem(*window, "Homepage1").trigger();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toString(), str(product::kProductPageUrl));
    EXPECT_TRUE(prompts.shown.empty());

    fail = true;
    failWith = ENOENT;
    window->Homepage1Click();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, uitest::FakePrompts::Kind::Plain);
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("Error: No such file or directory"));
}

TEST_F(HelpMenuTest, SupportWritesToSupportAboutThisSystem) {
    menuItem(*window, "Support1").trigger();
    ASSERT_EQ(opened.size(), 1u);
    const help::OsVersion os = help::CurrentOsVersion();
    EXPECT_EQ(opened[0].scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(opened[0].path(), str(product::kSupportEmail));
    const QString subject = opened[0].query(QUrl::FullyDecoded);
    EXPECT_TRUE(subject.startsWith("subject=Question about Cimscope " + str(product::kVersion) +
                                   " on " + QString::fromStdString(os.name) + QLatin1Char(' ')))
        << subject.toStdString();
    EXPECT_TRUE(subject.endsWith(QString::fromStdString(" (" + os.build + "). ")))
        << subject.toStdString();
    EXPECT_TRUE(prompts.shown.empty());

    fail = true;
    failWith = EACCES;
    window->Support1Click();
    EXPECT_EQ(prompts.errors(), std::vector<QString>{QStringLiteral("Permission denied")});
}

TEST_F(HelpMenuTest, AboutShowsTheBoxUntilClosed) {
    ui::TAboutBox* seen = nullptr;
    bool timerIdle = false;
    QTimer::singleShot(300, [&] {
        seen = qobject_cast<ui::TAboutBox*>(QApplication::activeModalWidget());
        if (!seen) return;
        const auto* timer = seen->findChild<QTimer*>(QStringLiteral("Timer1"));
        timerIdle = timer && !timer->isActive();
        // The box opens through the window's opener.
        seen->Label4Click(seen->findChild<QLabel*>(QStringLiteral("Label4")));
        seen->accept();
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        if (QWidget* w = QApplication::activeModalWidget()) w->close();
    });
    watchdog.start(5000);
    menuItem(*window, "About1").trigger();
    ASSERT_NE(seen, nullptr);
    EXPECT_TRUE(timerIdle);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toString(), str(product::kHomePageUrl));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
