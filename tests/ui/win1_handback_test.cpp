// The offer of the edited query to the calling program when the main window
// closes: the questions, the close kept open, and what the caller receives.
#include <QComboBox>
#include <QTemporaryDir>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

#include "handback/listener.h"
#include "ui/main_window/result_model.h"
#include "window_fixture.h"

namespace uitest {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const QString kOffer = QStringLiteral("Send query string to Watchpost?");
const QString kStarWarning = QStringLiteral(
    "Watchpost requires specific field name instead of *\nWould you like to modify WMI query?");
constexpr int32_t kCaller = 77;

class HandBackTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(runtimeDir_.isValid());
        // The sockets live in a folder of this test alone.
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        if (old) oldRuntimeDir_ = old;
        ::setenv("XDG_RUNTIME_DIR", runtimeDir_.path().toUtf8().constData(), 1);
    }
    void TearDown() override {
        if (oldRuntimeDir_)
            ::setenv("XDG_RUNTIME_DIR", oldRuntimeDir_->c_str(), 1);
        else
            ::unsetenv("XDG_RUNTIME_DIR");
        WindowTest::TearDown();
    }

    std::unique_ptr<handback::HandBackListener> listen() {
        std::string error;
        auto listener = handback::HandBackListener::Listen(kCaller, error);
        EXPECT_TRUE(listener) << error;
        return listener;
    }

    // Closes the window while a caller takes what comes; true when it closed.
    bool closeWithCaller(ui::TMainWin& window, handback::HandBackListener& listener,
                         std::optional<handback::ReceivedHandBack>& received) {
        std::string error;
        std::thread caller([&] { received = listener.Receive(5s, error); });
        const bool closed = window.close();
        caller.join();
        return closed;
    }

    std::vector<QString> questions() const {
        std::vector<QString> out;
        for (const FakePrompts::Shown& s : prompts.shown)
            if (s.kind == FakePrompts::Kind::Question) out.push_back(s.text);
        return out;
    }

  private:
    QTemporaryDir runtimeDir_;
    std::optional<std::string> oldRuntimeDir_;
};

TEST_F(HandBackTest, OffersTheQueryOnlyWhenItShould) {
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        QString text;  // in Query2Combo at close
        std::deque<bool> answers;
        std::vector<QString> questions;
        bool closes;
        std::optional<std::string> sent;
    } cases[] = {
        // clang-format off
        {"no -wp:", {"-query:select Name from Widget"}, "select Id from Widget",
         {}, {}, true, std::nullopt},
        {"-wp: not a number", {"-wp:abc", "-query:select Name from Widget"},
         "select Id from Widget", {}, {}, true, std::nullopt},
        {"unchanged", {"-wp:77", "-query:select Name from Widget"}, "  select Name from Widget ",
         {}, {}, true, std::nullopt},
        {"empty", {"-wp:77", "-query:select Name from Widget"}, " ",
         {}, {}, true, std::nullopt},
        {"letter case changed", {"-wp:77", "-query:select Name from Widget"},
         "SELECT Name from Widget", {true}, {kOffer}, true, "SELECT Name from Widget"},
        {"declined", {"-wp:77", "-query:select Name from Widget"}, "select Id from Widget",
         {false}, {kOffer}, true, std::nullopt},
        {"20 characters, trimmed", {"-wp:77"}, "  select Name from Foo\t",
         {true}, {kOffer}, true, "select Name from Foo"},
        {"hexadecimal -wp:", {"-wp:0x4D"}, "select Id from Pair",
         {true}, {kOffer}, true, "select Id from Pair"},
        {"multibyte text", {"-wp:77"}, QStringLiteral("select Name from Widget where Name = 'Žluť'"),
         {true}, {kOffer}, true, "select Name from Widget where Name = '\xC5\xBDlu\xC5\xA5'"},
        {"star with result columns, send anyway", {"-wp:77", "-query:select Name from Widget"},
         " SELECT * from Widget", {true, false}, {kOffer, kStarWarning}, true, "SELECT * from Widget"},
        {"star with result columns, modify", {"-wp:77", "-query:select Name from Widget"},
         "select * from Widget", {true, true}, {kOffer, kStarWarning}, false, std::nullopt},
        {"star without result columns", {"-wp:77"}, "select * from Widget",
         {true}, {kOffer}, true, "select * from Widget"},
        {"a named field before the star", {"-wp:77", "-query:select Name from Widget"},
         "select Name, * from Widget", {true}, {kOffer}, true, "select Name, * from Widget"},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        prompts.shown.clear();
        prompts.answers = c.answers;
        auto listener = listen();
        ASSERT_TRUE(listener);
        auto window = startWindow(c.arguments);
        ASSERT_TRUE(waitForQuery(*window));  // the command line's result is on show
        query2Combo(*window).setEditText(c.text);

        std::optional<handback::ReceivedHandBack> received;
        bool closed;
        if (c.sent) {
            closed = closeWithCaller(*window, *listener, received);
            ASSERT_TRUE(received);
            EXPECT_EQ(received->query, *c.sent);
            EXPECT_EQ(received->byteCount, c.sent->size() + 1);
        } else {
            closed = window->close();
            std::string error;
            EXPECT_FALSE(listener->Receive(50ms, error)) << "a query was sent";
        }
        EXPECT_EQ(closed, c.closes);
        EXPECT_EQ(questions(), c.questions);
        EXPECT_TRUE(prompts.answers.empty()) << "a question was not asked";
        EXPECT_TRUE(prompts.errors().empty());
    }
}

TEST_F(HandBackTest, AfterModifyingTheNextCloseAsksBothQuestionsAgain) {
    auto listener = listen();
    ASSERT_TRUE(listener);
    auto window = startWindow({"-wp:77", "-query:select Name from Widget"});
    ASSERT_TRUE(waitForQuery(*window));
    query2Combo(*window).setEditText(QStringLiteral("select * from Widget"));
    prompts.answers = {true, true};
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(questions(), (std::vector<QString>{kOffer, kStarWarning}));

    prompts.answers = {true, false};
    std::optional<handback::ReceivedHandBack> received;
    EXPECT_TRUE(closeWithCaller(*window, *listener, received));
    EXPECT_EQ(questions(), (std::vector<QString>{kOffer, kStarWarning, kOffer, kStarWarning}));
    ASSERT_TRUE(received);
    EXPECT_EQ(received->query, "select * from Widget");
}

TEST_F(HandBackTest, ACallerThatDoesNotTakeItOrIsGoneDoesNotHoldTheCloseForLong) {
    struct Case {
        const char* name;
        bool listening;  // listens but never accepts, or nobody there at all
        std::chrono::milliseconds bound;
    } cases[] = {{"never accepts", true, 5000ms}, {"no caller", false, 1000ms}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        prompts.shown.clear();
        prompts.answers = {true};
        std::unique_ptr<handback::HandBackListener> listener;
        if (c.listening) listener = listen();
        auto window = startWindow({"-wp:77"});
        query2Combo(*window).setEditText(QStringLiteral("select Id from Pair"));
        const auto start = Clock::now();
        EXPECT_TRUE(window->close());
        EXPECT_LT(Clock::now() - start, c.bound);
        EXPECT_EQ(questions(), std::vector<QString>{kOffer});
        EXPECT_TRUE(prompts.errors().empty());
    }
}

}  // namespace
}  // namespace uitest
