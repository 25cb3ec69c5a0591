// The Help command's window on the help file the build made: which message
// comes instead of the window, the start page with its picture and style,
// links inside the file and out of it, a missing page, the contents.
#include "help/help_viewer.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QTreeWidget>
#include <cerrno>
#include <optional>

#include "help/help_file.h"
#include "help/hh.h"

namespace {

const std::string kChm = CIMSCOPE_HELP_CHM;
const std::string kIndexTopic = kChm + std::string(help::kHelpTopicPath);

QString str(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

class HtmlHelpTest : public ::testing::Test {
  protected:
    void SetUp() override {
        hh.opener = [this](const QUrl& url) {
            opened.push_back(url);
            return true;
        };
    }
    void TearDown() override { hh.FreeHtmlHelp(); }

    // A help ready to show the built file.
    help::HelpViewer* showIndex() {
        hh.helpFile = kChm;
        hh.LoadHtmlHelp();
        EXPECT_EQ(hh.ShowHelpTopic(kIndexTopic, nullptr), QString());
        return hh.viewer();
    }

    help::HtmlHelp hh;
    std::vector<QUrl> opened;
};

TEST_F(HtmlHelpTest, SaysWhyItCannotShowTheTopic) {
    QTemporaryDir dir;
    const QString bogus = dir.filePath(QStringLiteral("cimscope.chm"));
    QFile f(bogus);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a help file");
    f.close();
    const struct {
        const char* what;
        std::string helpFile;
        const char* library;
        QString message;
    } cases[] = {
        {"no help file", "", help::kChmLibraryName, str(help::kHelpFileNotFound)},
        // The help file is looked for first, as the program does.
        {"no help file, no library", "", "libcimscope-none.so.1", str(help::kHelpFileNotFound)},
        {"no library", kChm, "libcimscope-none.so.1", str(help::kLibraryNotInitialized)},
        {"a library without the entries", kChm, "libm.so.6", str(help::kLibraryNotInitialized)},
        {"a file that is no help file", bogus.toStdString(), help::kChmLibraryName,
         QStringLiteral("Cannot open help file: ") + bogus},
    };
    for (const auto& c : cases) {
        help::HtmlHelp local;
        local.helpFile = c.helpFile;
        local.LoadHtmlHelp(c.library);
        EXPECT_EQ(local.ShowHelpTopic(c.helpFile + std::string(help::kHelpTopicPath), nullptr),
                  c.message)
            << c.what;
        EXPECT_EQ(local.viewer(), nullptr) << c.what;
    }
}

TEST_F(HtmlHelpTest, ShowsTheStartPageWithItsPictureAndStyle) {
    help::HelpViewer* viewer = showIndex();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());
    help::ChmBrowser* browser = viewer->browser();
    EXPECT_EQ(browser->source(), QUrl(QStringLiteral("chm:/HTML/wmi/index.htm")));
    EXPECT_EQ(browser->documentTitle(), QStringLiteral("Cimscope"));
    EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("Queries and WQL")));
    EXPECT_EQ(viewer->windowTitle(), QStringLiteral("Cimscope - Cimscope Help"));

    // The page's picture was found in the file and decoded.
    QString imageName;
    for (QTextBlock b = browser->document()->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                imageName = it.fragment().charFormat().toImageFormat().name();
    ASSERT_EQ(imageName, QStringLiteral("images/main_window.png"));
    const QVariant image =
        browser->document()->resource(QTextDocument::ImageResource, QUrl(imageName));
    EXPECT_TRUE(image.isValid() && !image.value<QImage>().isNull());
}

TEST_F(HtmlHelpTest, ResourcesAreTakenRelativeToThePageShown) {
    help::HelpViewer* viewer = showIndex();
    ASSERT_NE(viewer, nullptr);
    const struct {
        int type;
        const char* name;
        const char* prefix;  // the start of what comes back; nullptr: nothing
    } cases[] = {
        {QTextDocument::ImageResource, "images/main_window.png", "\x89PNG"},
        {QTextDocument::StyleSheetResource, "help.css", "body"},
        {QTextDocument::HtmlResource, "../wmi/find.htm", "<html>"},
        {QTextDocument::HtmlResource, "chm:/HTML/wmi/find.htm", "<html>"},
        {QTextDocument::ImageResource, "images/none.png", nullptr},
        {QTextDocument::ImageResource, "https://example.org/x.png", nullptr},
    };
    for (const auto& c : cases) {
        const QVariant got = viewer->browser()->loadResource(c.type, QUrl(c.name));
        if (!c.prefix) {
            EXPECT_FALSE(got.isValid()) << c.name;
            continue;
        }
        EXPECT_TRUE(got.toByteArray().startsWith(c.prefix)) << c.name;
    }
}

TEST_F(HtmlHelpTest, LinksInsideTheFileAreFollowed) {
    help::HelpViewer* viewer = showIndex();
    ASSERT_NE(viewer, nullptr);
    help::ChmBrowser* browser = viewer->browser();
    // As a click on the link does.
    emit browser->anchorClicked(QUrl(QStringLiteral("queries.htm")));
    EXPECT_EQ(browser->source(), QUrl(QStringLiteral("chm:/HTML/wmi/queries.htm")));
    EXPECT_EQ(browser->documentTitle(), QStringLiteral("Queries and WQL"));
    EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("select Caption, HandleCount")));
    // And back to the contents page through its own link.
    emit browser->anchorClicked(QUrl(QStringLiteral("index.htm")));
    EXPECT_EQ(browser->documentTitle(), QStringLiteral("Cimscope"));
    browser->backward();
    EXPECT_EQ(browser->documentTitle(), QStringLiteral("Queries and WQL"));
    EXPECT_TRUE(opened.empty());
}

TEST_F(HtmlHelpTest, AddressesOutsideTheFileGoToTheDesktop) {
    help::HelpViewer* viewer = showIndex();
    ASSERT_NE(viewer, nullptr);
    for (const char* address : {"https://example.org/page", "mailto:someone@example.org"}) {
        opened.clear();
        emit viewer->browser()->anchorClicked(QUrl(QString::fromLatin1(address)));
        ASSERT_EQ(opened.size(), 1u) << address;
        EXPECT_EQ(opened[0], QUrl(QString::fromLatin1(address)));
        EXPECT_EQ(viewer->browser()->documentTitle(), QStringLiteral("Cimscope")) << address;
    }
}

TEST_F(HtmlHelpTest, AMissingPageIsSaidSo) {
    hh.helpFile = kChm;
    hh.LoadHtmlHelp();
    ASSERT_EQ(hh.ShowHelpTopic(kChm + "::/HTML/wmi/nothere.htm", nullptr), QString());
    ASSERT_NE(hh.viewer(), nullptr);
    const QString text = hh.viewer()->browser()->toPlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("Page not found"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("/HTML/wmi/nothere.htm"))) << text.toStdString();
    // A link to a missing page inside the file says the same.
    emit hh.viewer()->browser()->anchorClicked(QUrl(QStringLiteral("gone.htm")));
    EXPECT_TRUE(
        hh.viewer()->browser()->toPlainText().contains(QStringLiteral("/HTML/wmi/gone.htm")));
}

TEST_F(HtmlHelpTest, TheContentsOpenTheirPages) {
    help::HelpViewer* viewer = showIndex();
    ASSERT_NE(viewer, nullptr);
    QTreeWidget* contents = viewer->contents();
    ASSERT_EQ(contents->topLevelItemCount(), 1);
    QTreeWidgetItem* top = contents->topLevelItem(0);
    EXPECT_EQ(top->text(0), QStringLiteral("Cimscope"));
    ASSERT_EQ(top->childCount(), 9);
    QTreeWidgetItem* keys = nullptr;
    for (int i = 0; i < top->childCount(); ++i)
        if (top->child(i)->text(0) == QLatin1String("Keyboard shortcuts")) keys = top->child(i);
    ASSERT_NE(keys, nullptr);
    emit contents->itemClicked(keys, 0);
    EXPECT_EQ(viewer->browser()->source(), QUrl(QStringLiteral("chm:/HTML/wmi/keyboard.htm")));
    // The entry of the page shown is marked, however the page was reached.
    EXPECT_EQ(contents->currentItem(), keys);
    emit viewer->browser()->anchorClicked(QUrl(QStringLiteral("find.htm")));
    ASSERT_NE(contents->currentItem(), nullptr);
    EXPECT_EQ(contents->currentItem()->text(0), QStringLiteral("Finding text"));
    emit viewer->browser()->anchorClicked(QUrl(QStringLiteral("nothere.htm")));
    EXPECT_EQ(contents->currentItem(), nullptr);
}

TEST_F(HtmlHelpTest, TheContentsShowEveryTitleWholeAndHomeHasAHomePicture) {
    help::HelpViewer* viewer = showIndex();
    ASSERT_NE(viewer, nullptr);
    QTreeWidget* contents = viewer->contents();
    QStyleOptionViewItem option;
    option.font = contents->font();
    option.features = QStyleOptionViewItem::HasDisplay;
    int items = 0;
    for (QTreeWidgetItemIterator it(contents); *it; ++it, ++items) {
        SCOPED_TRACE((*it)->text(0).toStdString());
        const QModelIndex index = contents->indexFromItem(*it);
        const QRect shown = contents->visualItemRect(*it);
        EXPECT_GE(shown.width(), contents->itemDelegate()->sizeHint(option, index).width());
        EXPECT_LE(shown.right(), contents->viewport()->width()) << "seen without scrolling";
    }
    EXPECT_GT(items, 9);
    QAction* home = nullptr;
    for (QAction* action : viewer->findChildren<QAction*>())
        if (action->text() == QLatin1String("Home")) home = action;
    ASSERT_NE(home, nullptr);
    ASSERT_FALSE(home->icon().isNull());
    EXPECT_NE(home->icon().pixmap(16).toImage(),
              viewer->style()->standardIcon(QStyle::SP_DirHomeIcon).pixmap(16).toImage())
        << "a house, not the home folder";
}

TEST_F(HtmlHelpTest, OneWindowServesEveryRequestUntilReleased) {
    help::HelpViewer* first = showIndex();
    ASSERT_NE(first, nullptr);
    emit first->browser()->anchorClicked(QUrl(QStringLiteral("find.htm")));
    first->hide();
    ASSERT_EQ(hh.ShowHelpTopic(kIndexTopic, nullptr), QString());
    EXPECT_EQ(hh.viewer(), first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->browser()->documentTitle(), QStringLiteral("Cimscope"));

    hh.FreeHtmlHelp();
    EXPECT_EQ(hh.viewer(), nullptr);
    EXPECT_FALSE(hh.Initialized());
    EXPECT_EQ(hh.ShowHelpTopic(kIndexTopic, nullptr), str(help::kLibraryNotInitialized));
}

TEST_F(HtmlHelpTest, TheWindowGoesWithItsOwner) {
    hh.helpFile = kChm;
    hh.LoadHtmlHelp();
    auto owner = std::make_unique<QWidget>();
    ASSERT_EQ(hh.ShowHelpTopic(kIndexTopic, owner.get()), QString());
    ASSERT_NE(hh.viewer(), nullptr);
    EXPECT_TRUE(hh.viewer()->isWindow());
    owner.reset();
    EXPECT_EQ(hh.viewer(), nullptr);
    // A later request makes a new window.
    EXPECT_EQ(hh.ShowHelpTopic(kIndexTopic, nullptr), QString());
    EXPECT_NE(hh.viewer(), nullptr);
}

}  // namespace

namespace {

TEST(OpenAddress, SaysWhyAnAddressWasNotOpened) {
    const struct {
        const char* what;
        QString address;
        bool opens;
        int errorCode;       // left behind by a failing opener
        bool reachesOpener;  // the opener is asked at all
        std::optional<std::string> why;
    } cases[] = {
        {"opened", QStringLiteral("https://example.org/"), true, 0, true, std::nullopt},
        {"failed with a code", QStringLiteral("https://example.org/"), false, ENOENT, true,
         "No such file or directory"},
        // A failure that left no code must not read "Success".
        {"failed without a code", QStringLiteral("mailto:a@example.org"), false, 0, true,
         "No program could be started to open mailto:a@example.org"},
        {"nothing to open", QStringLiteral("  "), true, 0, false, "Invalid argument"},
    };
    for (const auto& c : cases) {
        std::vector<QUrl> seen;
        const help::UrlOpener opener = [&](const QUrl& url) {
            seen.push_back(url);
            errno = c.errorCode;
            return c.opens;
        };
        EXPECT_EQ(help::OpenAddress(opener, c.address), c.why) << c.what;
        ASSERT_EQ(seen.size(), c.reachesOpener ? 1u : 0u) << c.what;
        if (c.reachesOpener) {
            EXPECT_EQ(seen[0].toString(), c.address) << c.what;
        }
    }
    EXPECT_EQ(
        help::OpenAddress(help::UrlOpener(), QStringLiteral("https://example.org/")),
        std::optional<std::string>("No program could be started to open https://example.org/"));
}

}  // namespace
