// The support mail as a mail program receives it: the address goes through
// the default opener to xdg-open, which starts the handler registered for
// mailto: (here a script that writes down its arguments).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QUrlQuery>

#include "help/support_mail.h"
#include "help/url_opener.h"

namespace {

// Sets environment variables for the test's lifetime and puts them back.
class ScopedEnv {
  public:
    void set(const char* name, const QByteArray& value) {
        keep(name);
        qputenv(name, value);
    }
    void unset(const char* name) {
        keep(name);
        qunsetenv(name);
    }
    ~ScopedEnv() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second)
                qputenv(it->first, *it->second);
            else
                qunsetenv(it->first);
        }
    }

  private:
    void keep(const char* name) {
        saved_.emplace_back(name, qEnvironmentVariableIsSet(name)
                                      ? std::optional<QByteArray>(qgetenv(name))
                                      : std::nullopt);
    }
    std::vector<std::pair<const char*, std::optional<QByteArray>>> saved_;
};

bool writeFile(const QString& path, const QByteArray& text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

TEST(SupportMail, TheMailHandlerReceivesTheSubjectWhole) {
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty())
        GTEST_SKIP() << "xdg-open (xdg-utils) is not installed";
    // Only a desktop platform hands addresses on; the tests' offscreen one
    // does not, so this test runs again on a virtual X display.
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) {
        if (QStandardPaths::findExecutable(QStringLiteral("xvfb-run")).isEmpty())
            GTEST_SKIP() << "xvfb-run (xvfb) is not installed";
        QProcess inner;
        QProcessEnvironment innerEnv = QProcessEnvironment::systemEnvironment();
        innerEnv.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        inner.setProcessEnvironment(innerEnv);
        inner.setProcessChannelMode(QProcess::MergedChannels);
        inner.start(
            QStringLiteral("xvfb-run"),
            {QStringLiteral("-a"), QCoreApplication::applicationFilePath(),
             QStringLiteral("--gtest_filter=SupportMail.TheMailHandlerReceivesTheSubjectWhole")});
        ASSERT_TRUE(inner.waitForFinished(60000));
        const QByteArray output = inner.readAll();
        EXPECT_EQ(inner.exitCode(), 0) << output.toStdString();
        EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
        return;
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString got = dir.filePath(QStringLiteral("arguments"));
    const QString script = dir.filePath(QStringLiteral("record-mail"));
    ASSERT_TRUE(writeFile(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" +
                                      got.toUtf8() + ".part' && mv '" + got.toUtf8() + ".part' '" +
                                      got.toUtf8() + "'\n"));
    ASSERT_TRUE(QFile::setPermissions(script, QFile::ReadOwner | QFile::ExeOwner));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("data/applications")));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("config")));
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("data/applications/record-mail.desktop")),
                          "[Desktop Entry]\nType=Application\nName=Record mail\nExec=" +
                              script.toUtf8() + " %u\nMimeType=x-scheme-handler/mailto;\n"));
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("config/mimeapps.list")),
                          "[Default Applications]\nx-scheme-handler/mailto=record-mail.desktop\n"));

    ScopedEnv env;
    env.set("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toUtf8());
    env.set("XDG_DATA_DIRS", dir.filePath(QStringLiteral("data")).toUtf8());
    env.set("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    env.set("XDG_CONFIG_DIRS", dir.filePath(QStringLiteral("config")).toUtf8());
    // xdg-open's plain desktop branch, which asks for the scheme's handler,
    // is taken only on a display; nothing here draws on it.
    if (!qEnvironmentVariableIsSet("DISPLAY")) env.set("DISPLAY", ":0");
    for (const char* desktop : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                                "GNOME_DESKTOP_SESSION_ID", "BROWSER"})
        env.unset(desktop);

    // A kernel build text with every character that could break the address.
    const help::OsVersion os{"Linux", 6, 9, "6.9 #1 SMP&x=%41?y"};
    const std::string address = help::SupportMailAddress("support@example.org", "1.10", os);
    ASSERT_FALSE(help::OpenAddress(help::DefaultUrlOpener(), QString::fromStdString(address)))
        << address;

    QDeadlineTimer deadline(10000);
    while (!QFile::exists(got) && !deadline.hasExpired()) QTest::qWait(50);
    QFile received(got);
    ASSERT_TRUE(received.open(QIODevice::ReadOnly)) << "the handler was not started";
    const QList<QByteArray> arguments = received.readAll().split('\n');
    ASSERT_EQ(arguments.size(), 2) << "one argument and the last line's end";
    const QByteArray url = arguments.front();
    EXPECT_FALSE(url.contains(' '))
        << "a handler that splits at blanks would cut it: " << url.toStdString();
    const QUrl mail(QString::fromUtf8(url), QUrl::StrictMode);
    ASSERT_TRUE(mail.isValid()) << url.toStdString();
    EXPECT_EQ(mail.scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(mail.path(), QStringLiteral("support@example.org"));
    const QUrlQuery query(mail);
    EXPECT_EQ(query.queryItems(QUrl::FullyDecoded).size(), 1) << url.toStdString();
    EXPECT_EQ(query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded),
              QStringLiteral("Question about Cimscope 1.10 on Linux 6.09 (6.9 #1 SMP&x=%41?y). "))
        << url.toStdString();
}

}  // namespace
