// The chm reading on the help file the build made: the library loading, the
// reading of objects, and the help's own content (every page of the project is
// in the file, and every link of every page leads somewhere inside it).
#include "help/chm_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>
#include <set>

#include "help/chm_library.h"

namespace {

const char* const kChm = CIMSCOPE_HELP_CHM;
const char* const kSource = CIMSCOPE_HELP_SOURCE;

std::string readSource(const QString& relative) {
    QFile f(QString::fromUtf8(kSource) + QLatin1Char('/') + relative);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll().toStdString();
}

// The [FILES] section of the help project.
QStringList projectFiles() {
    QStringList files;
    bool inFiles = false;
    for (const QString& raw : QString::fromStdString(readSource("cimscope.hhp")).split('\n')) {
        const QString line = raw.trimmed();
        if (line.startsWith('['))
            inFiles = line == QLatin1String("[FILES]");
        else if (inFiles && !line.isEmpty())
            files << line;
    }
    return files;
}

TEST(ChmLibrary, LoadsByNameAndReleases) {
    help::ChmLibrary library;
    ASSERT_TRUE(library.Load());
    EXPECT_TRUE(library.IsLoaded());
    ASSERT_NE(library.Api(), nullptr);
    EXPECT_TRUE(library.Load()) << "a second load keeps the first";
    library.Free();
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_EQ(library.Api(), nullptr);
}

TEST(ChmLibrary, MissingLibraryOrEntriesGiveNoApi) {
    const struct {
        const char* name;
        bool loaded;
    } cases[] = {
        {"libcimscope-no-such-library.so.1", false},
        {"libm.so.6", true},  // a library, but without the entries
    };
    for (const auto& c : cases) {
        help::ChmLibrary library;
        EXPECT_FALSE(library.Load(c.name)) << c.name;
        EXPECT_EQ(library.IsLoaded(), c.loaded) << c.name;
        EXPECT_EQ(library.Api(), nullptr) << c.name;
    }
}

class ChmFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(library_.Load());
        file_ = help::ChmFile::Open(*library_.Api(), kChm);
        ASSERT_NE(file_, nullptr) << kChm;
    }
    help::ChmLibrary library_;
    std::unique_ptr<help::ChmFile> file_;
};

TEST_F(ChmFileTest, OpensOnlyHelpFiles) {
    QTemporaryDir dir;
    const QString text = dir.filePath(QStringLiteral("not-help.chm"));
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("ITSF but nothing else of a help file");
    f.close();
    for (const QString& path : {text, dir.filePath(QStringLiteral("missing.chm")), dir.path()})
        EXPECT_EQ(help::ChmFile::Open(*library_.Api(), path.toStdString()), nullptr)
            << path.toStdString();
}

TEST_F(ChmFileTest, ReadsObjectsByPath) {
    const std::string index = readSource("HTML/wmi/index.htm");
    ASSERT_FALSE(index.empty());
    const struct {
        const char* path;
        bool found;
    } cases[] = {
        {"/HTML/wmi/index.htm", true},
        {"HTML/wmi/index.htm", true},
        {"/html/WMI/Index.HTM", true},
        {"/HTML/wmi/images/../index.htm", true},
        {"/HTML/wmi/nothere.htm", false},
        {"/HTML/wmi/index.htm.bak", false},
        {"", false},
        {"/HTML/wmi/", false},
    };
    for (const auto& c : cases) {
        const auto data = file_->Read(c.path);
        ASSERT_EQ(data.has_value(), c.found) << c.path;
        if (c.found) {
            EXPECT_EQ(*data, index) << c.path;
        }
    }
}

TEST_F(ChmFileTest, HoldsEveryFileOfTheProjectUnchanged) {
    const QStringList files = projectFiles();
    ASSERT_GE(files.size(), 10);
    const auto listed = file_->List();
    const std::set<std::string> inside(listed.begin(), listed.end());
    for (const QString& name : files) {
        const std::string path = "/" + name.toStdString();
        EXPECT_TRUE(inside.count(path)) << path;
        const auto data = file_->Read(path);
        ASSERT_TRUE(data.has_value()) << path;
        EXPECT_EQ(*data, readSource(name)) << path;
    }
    EXPECT_TRUE(inside.count("/toc.hhc"));
}

TEST_F(ChmFileTest, EveryLinkOfEveryPageLeadsIntoTheFile) {
    static const QRegularExpression link(QString::fromLatin1(R"re((?:href|src)\s*=\s*"([^"]*)")re"),
                                         QRegularExpression::CaseInsensitiveOption);
    int checked = 0;
    for (const QString& name : projectFiles()) {
        if (!name.endsWith(QLatin1String(".htm"))) continue;
        const QUrl page(QStringLiteral("chm:/") + name);
        const auto html = file_->Read(name.toStdString());
        ASSERT_TRUE(html.has_value()) << name.toStdString();
        auto it = link.globalMatch(QString::fromStdString(*html));
        while (it.hasNext()) {
            const QUrl target = page.resolved(QUrl(it.next().captured(1)));
            if (target.scheme() != QLatin1String("chm")) continue;  // web and mail addresses
            EXPECT_TRUE(file_->Read(target.path().toStdString()).has_value())
                << name.toStdString() << " -> " << target.toString().toStdString();
            ++checked;
        }
    }
    EXPECT_GT(checked, 20);
}

}  // namespace
