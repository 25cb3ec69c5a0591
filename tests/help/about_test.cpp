// The About box: its texts, the links it opens, the messages when a link
// cannot be opened, and its closing by the timer or by the user.
#include "ui/dialogs/about.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cerrno>

#include "app/product.h"
#include "fake_prompts.h"
#include "window_fixture.h"

namespace {

using uitest::control;

QString str(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

class AboutBoxTest : public ::testing::Test {
  protected:
    help::UrlOpener opener() {
        return [this](const QUrl& url) {
            opened.push_back(url.toString());
            errno = failWith;
            return !fail;
        };
    }

    uitest::FakePrompts prompts;
    std::vector<QString> opened;
    bool fail = false;
    int failWith = 0;
};

TEST_F(AboutBoxTest, ShowsNameVersionAndAddresses) {
    ui::TAboutBox box(prompts, opener());
    const QString home = str(product::kHomePageUrl);
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Cimscope"));
    EXPECT_EQ(control<QLabel>(box, "Label1").text(), QStringLiteral("Cimscope"));
    // The version the project is built as, one text everywhere.
    EXPECT_EQ(control<QLabel>(box, "Label2").text(), "Version: " + str(product::kVersion));
    EXPECT_EQ(product::kVersion, CIMSCOPE_PROJECT_VERSION);
    EXPECT_EQ(control<QLabel>(box, "rxLabel7").text(), str(product::kNoticeLine));
    EXPECT_FALSE(control<QLabel>(box, "ProgramIcon").pixmap().isNull());
    EXPECT_EQ(control<QPushButton>(box, "BitBtn1").text(), QStringLiteral("OK"));
    EXPECT_TRUE(control<QPushButton>(box, "BitBtn1").isDefault());
    EXPECT_GE(box.width(), ui::TAboutBox::kClientWidth);
    EXPECT_GE(box.height(), ui::TAboutBox::kClientHeight);
    EXPECT_EQ(box.minimumSize(), box.maximumSize()) << "the box has a fixed size";

    const struct {
        QLabel* control;
        QString text;  // shown; empty for the picture
        QString hint;  // opened on a click
    } links[] = {
        {&control<QLabel>(box, "ProgramIcon"), QString(), home},
        {&control<QLabel>(box, "Label4"), str(product::kWebAddress), home},
        {&control<QLabel>(box, "Label5"), str(product::kSupportEmail),
         "mailto:" + str(product::kSupportEmail)},
        {&control<QLabel>(box, "Label6"), str(product::kSalesEmail),
         "mailto:" + str(product::kSalesEmail)},
        {&control<QLabel>(box, "rxLabel1"), "Home page: " + home, home},
    };
    box.show();
    for (const auto& link : links) {
        const std::string name = link.control->objectName().toStdString();
        EXPECT_EQ(link.control->text(), link.text) << name;
        EXPECT_EQ(link.control->toolTip(), link.hint) << name;
        EXPECT_EQ(link.control->cursor().shape(), Qt::PointingHandCursor) << name;
        opened.clear();
        QTest::mouseClick(link.control, Qt::LeftButton);
        ASSERT_EQ(opened.size(), 1u) << name;
        EXPECT_EQ(opened[0], link.hint) << name;
    }
    // Only the left button opens a link.
    opened.clear();
    QTest::mouseClick(&control<QLabel>(box, "Label4"), Qt::RightButton);
    EXPECT_TRUE(opened.empty());
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(AboutBoxTest, ALinkThatCannotBeOpenedSaysWhy) {
    const struct {
        int errorCode;
        QString message;
    } cases[] = {
        {ENOENT, QStringLiteral("Error : No such file or directory")},
        {EACCES, QStringLiteral("Error : Permission denied")},
        // The attempt left no error code: never "Success".
        {0, "Error : No program could be started to open mailto:" + str(product::kSalesEmail)},
    };
    ui::TAboutBox box(prompts, opener());
    fail = true;
    for (const auto& c : cases) {
        prompts.shown.clear();
        failWith = c.errorCode;
        box.Label4Click(&control<QLabel>(box, "Label6"));
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].kind, uitest::FakePrompts::Kind::Plain);
        EXPECT_EQ(prompts.shown[0].text, c.message);
    }
}

// Runs ShowAboutBox; `during` sees the box while it is up. A watchdog closes
// any box left open so that a fault cannot hang the test.
bool showAbout(uint16_t interval, uitest::FakePrompts& prompts, const help::UrlOpener& opener,
               const std::function<void(ui::TAboutBox*)>& during, int duringAfterMs) {
    bool watchdogFired = false;
    QTimer::singleShot(duringAfterMs, [&] {
        during(qobject_cast<ui::TAboutBox*>(QApplication::activeModalWidget()));
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        watchdogFired = true;
        if (QWidget* w = QApplication::activeModalWidget()) w->close();
    });
    watchdog.start(5000);
    ShowAboutBox(interval, prompts, opener);
    return !watchdogFired;
}

TEST_F(AboutBoxTest, ClosesByItsTimer) {
    bool seen = false;
    EXPECT_TRUE(showAbout(
        300, prompts, opener(),
        [&](ui::TAboutBox* box) {
            ASSERT_NE(box, nullptr);
            seen = box->isVisible();
            const auto* timer = box->findChild<QTimer*>(QStringLiteral("Timer1"));
            ASSERT_NE(timer, nullptr);
            EXPECT_EQ(timer->interval(), 300);
        },
        50));
    EXPECT_TRUE(seen);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(AboutBoxTest, WithoutIntervalStaysUntilTheUserCloses) {
    const struct {
        const char* how;
        std::function<void(ui::TAboutBox*)> close;
    } cases[] = {
        {"OK",
         [](ui::TAboutBox* box) {
             QTest::mouseClick(box->findChild<QPushButton*>(QStringLiteral("BitBtn1")),
                               Qt::LeftButton);
         }},
        {"Enter", [](ui::TAboutBox* box) { QTest::keyClick(box, Qt::Key_Return); }},
        {"Esc", [](ui::TAboutBox* box) { QTest::keyClick(box, Qt::Key_Escape); }},
        {"close button", [](ui::TAboutBox* box) { box->close(); }},
    };
    for (const auto& c : cases) {
        bool stillOpen = false;
        EXPECT_TRUE(showAbout(
            0, prompts, opener(),
            [&](ui::TAboutBox* box) {
                ASSERT_NE(box, nullptr) << c.how;
                const auto* timer = box->findChild<QTimer*>(QStringLiteral("Timer1"));
                ASSERT_NE(timer, nullptr) << c.how;
                stillOpen = box->isVisible() && !timer->isActive();
                c.close(box);
            },
            700))
            << c.how;
        EXPECT_TRUE(stillOpen) << c.how;
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << c.how;
    }
}

}  // namespace
