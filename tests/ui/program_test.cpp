// The real cimscope program on a virtual X server, started with a query on its
// command line and driven with the mouse and keyboard as a user would: the
// result shows on the Query tab with the sort mark on its first column, a click
// on that header turns the sort round, Alt+X closes the program, and the
// settings file beside the program holds the query and the window's position.
#include <gtest/gtest.h>
#include <signal.h>

#include <QColor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <optional>

#include "settings/profile_file.h"

namespace {

constexpr const char* kQuery = "select Name, ProcessId, ThreadCount from Win32_Process";

// The red sort mark of a column header: where it is and which way it points.
struct Mark {
    QRect box;
    bool pointsDown;
};

std::optional<Mark> findSortMark(const QImage& shot) {
    QRect box;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            if (c.red() > 180 && c.green() < 90 && c.blue() < 90) box |= QRect(x, y, 1, 1);
        }
    if (box.isEmpty() || box.width() > 24 || box.height() > 24) return std::nullopt;
    // An arrow is narrow at its tip and as wide as its shaft at its tail.
    auto width = [&](int y) {
        int n = 0;
        for (int x = box.left(); x <= box.right(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            n += c.red() > 180 && c.green() < 90 && c.blue() < 90;
        }
        return n;
    };
    return Mark{box, width(box.top() + 1) > width(box.bottom() - 1)};
}

class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* tool : {"xvfb-run", "xdotool", "import"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                GTEST_SKIP() << tool << " is not installed (scripts/setup installs it)";
        ASSERT_TRUE(dir.isValid());

        // A virtual X server whose display and authority the test's clients share.
        const QString envFile = dir.filePath(QStringLiteral("x-env"));
        server.start(
            QStringLiteral("xvfb-run"),
            {"-a", "-s", "-screen 0 1280x800x24", "sh", "-c",
             QStringLiteral("echo \"$DISPLAY $XAUTHORITY $$\" > %1; exec sleep 600").arg(envFile)});
        ASSERT_TRUE(server.waitForStarted());
        QElapsedTimer timer;
        timer.start();
        QStringList parts;
        while (parts.size() < 3 && timer.elapsed() < 30000) {
            QThread::msleep(100);
            QFile f(envFile);
            if (f.open(QIODevice::ReadOnly))
                parts = QString::fromUtf8(f.readAll()).trimmed().split(QLatin1Char(' '));
        }
        ASSERT_EQ(parts.size(), 3) << "the X server did not start";
        holder = parts[2].toLongLong();
        env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), parts[0]);
        env.insert(QStringLiteral("XAUTHORITY"), parts[1]);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        // Under LeakSanitizer, leaks of the system's D-Bus library do not count.
        QString lsan = env.value(QStringLiteral("LSAN_OPTIONS"));
        if (!lsan.isEmpty()) lsan += QLatin1Char(':');
        env.insert(QStringLiteral("LSAN_OPTIONS"),
                   lsan + QStringLiteral("suppressions=" CIMSCOPE_TEST_DATA "/program_lsan.supp"));

        // The program's folder holds its settings file: run a copy from a fresh one.
        program = dir.filePath(QStringLiteral("cimscope"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(CIMSCOPE_PROGRAM), program));
        QFile(program).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void TearDown() override {
        if (app.state() != QProcess::NotRunning) {
            app.kill();
            app.waitForFinished();
        }
        // xvfb-run ends its server once its command, the holding sleep, ends.
        if (holder > 0) ::kill(static_cast<pid_t>(holder), SIGTERM);
        if (server.state() != QProcess::NotRunning && !server.waitForFinished(10000)) server.kill();
    }

    // Runs a client of the X server to its end; its standard output.
    QString run(const QString& tool, const QStringList& arguments, int timeoutMs = 30000) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(tool, arguments);
        EXPECT_TRUE(p.waitForFinished(timeoutMs)) << tool.toStdString();
        EXPECT_EQ(p.exitCode(), 0)
            << tool.toStdString() << ": " << p.readAllStandardError().toStdString();
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }

    QImage screenshot() {
        const QString file = dir.filePath(QStringLiteral("shot.png"));
        run(QStringLiteral("import"), {"-window", "root", file});
        return QImage(file);
    }

    // Waits until the sort mark shows pointing the given way.
    std::optional<Mark> waitForMark(bool pointsDown) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 30000) {
            if (auto mark = findSortMark(screenshot()); mark && mark->pointsDown == pointsDown)
                return mark;
            QThread::msleep(300);
        }
        return std::nullopt;
    }

    QTemporaryDir dir;
    QProcess server;
    qint64 holder = 0;  // the process that keeps xvfb-run's command running
    QProcess app;
    QProcessEnvironment env;
    QString program;
};

TEST_F(ProgramTest, ACommandLineQueryIsShownSortedAndSavedAtClose) {
    app.setProcessEnvironment(env);
    app.start(program, {QStringLiteral("-query:") + QString::fromLatin1(kQuery)});
    ASSERT_TRUE(app.waitForStarted());
    const QString window = run(QStringLiteral("xdotool"),
                               {"search", "--sync", "--onlyvisible", "--name", "^Cimscope$"})
                               .section(QLatin1Char('\n'), 0, 0);
    ASSERT_FALSE(window.isEmpty());

    // The result on the Query tab, sorted ascending by its first column.
    const auto ascending = waitForMark(true);
    ASSERT_TRUE(ascending) << "no ascending sort mark on the result's header";

    // Nothing shown so far is a picture in a file format of Qt's plug-ins,
    // nor came from another machine: the program has loaded none of those
    // plug-ins, nor the HTTP library (each with libraries of its own).
    QFile maps(QStringLiteral("/proc/%1/maps").arg(app.processId()));
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    const QByteArray mapped = maps.readAll();
    EXPECT_FALSE(mapped.contains("/imageformats/"));
    EXPECT_FALSE(mapped.contains("/libcurl"));

    // A click on that header sorts the other way round.
    const QPoint at = ascending->box.center();
    run(QStringLiteral("xdotool"),
        {"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"});
    const auto descending = waitForMark(false);
    ASSERT_TRUE(descending) << "the header click did not turn the sort round";
    EXPECT_LE((descending->box.center() - at).manhattanLength(), 4);

    // Alt+X closes the program, which writes its settings beside itself.
    run(QStringLiteral("xdotool"), {"windowfocus", "--sync", window});
    run(QStringLiteral("xdotool"), {"key", "alt+x"});
    ASSERT_TRUE(app.waitForFinished(30000)) << "the program did not close";
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0) << app.readAllStandardError().toStdString();

    const auto file = settings::ProfileFile::load(dir.filePath("cimscope.ini").toStdString());
    ASSERT_EQ(file.state(), settings::ProfileFile::LoadState::Loaded);
    EXPECT_EQ(file.readInteger("QueryHistory", "Count", -1), 1);
    EXPECT_EQ(file.read("QueryHistory", "Query0"), kQuery);
    EXPECT_EQ(file.readInteger("TMainWin", "FormVersion", -1), 0);
    EXPECT_TRUE(file.read("TMainWin", "NormPos(1280x800)").has_value());
    EXPECT_TRUE(file.read("TMainWin", "NormPos").has_value());
}

TEST_F(ProgramTest, UnderAWindowManagerEachStartKeepsThePlaceAndSizeOfTheLast) {
    if (QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty())
        GTEST_SKIP() << "openbox is not installed (scripts/setup installs it)";
    QProcess manager;
    manager.setProcessEnvironment(env);
    manager.start(QStringLiteral("openbox"), {});
    ASSERT_TRUE(manager.waitForStarted());
    QThread::msleep(1000);  // openbox takes over the screen

    std::vector<std::string> saved;
    for (int start = 0; start < 5; ++start) {
        app.setProcessEnvironment(env);
        app.start(program, {});
        ASSERT_TRUE(app.waitForStarted());
        const QString window = run(QStringLiteral("xdotool"),
                                   {"search", "--sync", "--onlyvisible", "--name", "^Cimscope$"})
                                   .section(QLatin1Char('\n'), 0, 0);
        ASSERT_FALSE(window.isEmpty());
        QThread::msleep(1500);  // framed, placed and its class list loaded
        run(QStringLiteral("xdotool"), {"windowfocus", "--sync", window});
        run(QStringLiteral("xdotool"), {"key", "alt+x"});
        ASSERT_TRUE(app.waitForFinished(30000)) << "the program did not close";
        const auto file = settings::ProfileFile::load(dir.filePath("cimscope.ini").toStdString());
        saved.push_back(file.read("TMainWin", "NormPos(1280x800)").value_or(""));
        ASSERT_FALSE(saved.back().empty());
    }
    for (size_t i = 1; i < saved.size(); ++i) EXPECT_EQ(saved[i], saved[0]) << "start " << i + 1;
    manager.kill();
    manager.waitForFinished();
}

}  // namespace
