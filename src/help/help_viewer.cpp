#include "help/help_viewer.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QSvgRenderer>
#include <QToolBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <algorithm>

#include "help/sitemap.h"

// A resource of a static library is linked only when something names it.
static void initHelpImages() { Q_INIT_RESOURCE(help_images); }

namespace help {

namespace {

QString notFoundPage(const QString& path) {
    return QStringLiteral(
               "<html><head><title>Page not found</title></head><body><h2>Page not found</h2>"
               "<p>The help file has no page <code>%1</code>.</p></body></html>")
        .arg(path.toHtmlEscaped());
}

// The desktop theme's home picture; our own where no theme has one.
QIcon homeIcon() {
    QIcon icon = QIcon::fromTheme(QStringLiteral("go-home"));
    if (!icon.isNull()) return icon;
    initHelpImages();
    QSvgRenderer renderer(QStringLiteral(":/help/go-home.svg"));
    for (int side : {16, 24, 32}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

QUrl ChmUrl(const std::string& path) {
    QUrl url;
    url.setScheme(QString::fromLatin1(kChmScheme));
    url.setPath(QString::fromStdString(NormalizeChmPath(path)));
    return url;
}

// --- ChmBrowser -----------------------------------------------------------------

ChmBrowser::ChmBrowser(const ChmFile& file, UrlOpener opener, QWidget* parent)
    : QTextBrowser(parent), file_(file), opener_(std::move(opener)) {
    setOpenLinks(false);  // a link into the file must not be handed to the desktop
    connect(this, &QTextBrowser::anchorClicked, this, &ChmBrowser::followLink);
}

QVariant ChmBrowser::loadResource(int type, const QUrl& name) {
    // While a page loads, source() still names the previous one; the
    // document's base is already the new page's folder.
    const QUrl base = document()->baseUrl().isEmpty() ? source() : document()->baseUrl();
    const QUrl url = name.isRelative() ? base.resolved(name) : name;
    if (url.scheme() != QLatin1String(kChmScheme)) return {};
    const std::string path = url.path().toStdString();
    if (std::optional<std::string> data = file_.Read(path))
        return QByteArray(data->data(), qsizetype(data->size()));
    if (type == QTextDocument::HtmlResource) return notFoundPage(url.path());
    return {};
}

void ChmBrowser::followLink(const QUrl& link) {
    const QUrl url = link.isRelative() ? source().resolved(link) : link;
    if (url.scheme() == QLatin1String(kChmScheme))
        setSource(url);
    else if (opener_)
        opener_(url);
}

// --- HelpViewer -------------------------------------------------------------------

HelpViewer::HelpViewer(std::unique_ptr<ChmFile> file, UrlOpener opener, QWidget* parent)
    : QWidget(parent, Qt::Window), file_(std::move(file)) {
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QString::fromLatin1(kTitle));
    resize(860, 600);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* tools = new QToolBar(this);
    layout->addWidget(tools);
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    layout->addWidget(splitter, 1);

    contents_ = new QTreeWidget(splitter);
    contents_->setObjectName(QStringLiteral("HelpContents"));
    contents_->setHeaderHidden(true);
    browser_ = new ChmBrowser(*file_, std::move(opener), splitter);
    browser_->setObjectName(QStringLiteral("HelpBrowser"));
    splitter->setStretchFactor(1, 1);

    QAction* back = tools->addAction(style()->standardIcon(QStyle::SP_ArrowBack),
                                     QStringLiteral("Back"), browser_, &QTextBrowser::backward);
    QAction* forward =
        tools->addAction(style()->standardIcon(QStyle::SP_ArrowForward), QStringLiteral("Forward"),
                         browser_, &QTextBrowser::forward);
    tools->addAction(homeIcon(), QStringLiteral("Home"), this, [this] {
        if (!home_.empty()) showTopic(home_);
    });
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    // The browser tells the new page before source() has it.
    connect(browser_, &QTextBrowser::sourceChanged, this, [this](const QUrl& shown) {
        const QString title = browser_->documentTitle();
        setWindowTitle(title.isEmpty() ? QString::fromLatin1(kTitle)
                                       : title + QStringLiteral(" - ") + QLatin1String(kTitle));
        markContents(shown);
    });
    connect(contents_, &QTreeWidget::itemClicked, this, &HelpViewer::contentsClicked);
    buildContents();
    // Titles are shown whole: the column takes its content's width (a
    // scroll bar beyond it) and the pane starts as wide as that, up to
    // a share of the window that leaves the page room.
    contents_->header()->setStretchLastSection(false);
    contents_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    contents_->resizeColumnToContents(0);
    const int wanted = contents_->columnWidth(0) + 2 * contents_->frameWidth() +
                       contents_->verticalScrollBar()->sizeHint().width();
    const int pane = std::clamp(wanted, 220, width() * 2 / 5);
    splitter->setSizes({pane, width() - pane});
}

HelpViewer::~HelpViewer() {
    // The browser reads from the file; it goes first.
    delete browser_;
    browser_ = nullptr;
}

void HelpViewer::showTopic(const std::string& path) {
    if (home_.empty()) home_ = path;
    browser_->setSource(ChmUrl(path));
    show();
    raise();
    activateWindow();
}

void HelpViewer::buildContents() {
    const std::string hhc = FindContentsPath(file_->List());
    std::optional<std::string> text;
    if (!hhc.empty()) text = file_->Read(hhc);
    std::vector<QTreeWidgetItem*> parents;  // the last item of each level
    if (text) {
        for (const ContentsEntry& entry : ParseSitemap(*text)) {
            parents.resize(size_t(entry.level));
            auto* item = parents.empty() ? new QTreeWidgetItem(contents_)
                                         : new QTreeWidgetItem(parents.back());
            item->setText(0, QString::fromStdString(entry.name));
            item->setToolTip(0, item->text(0));
            item->setData(0, Qt::UserRole, QString::fromStdString(entry.local));
            parents.push_back(item);
        }
    }
    contents_->expandAll();
    contents_->setVisible(contents_->topLevelItemCount() > 0);
}

// Contents entries name pages from the top of the file.
static QUrl contentsUrl(const QTreeWidgetItem* item) {
    const QString local = item->data(0, Qt::UserRole).toString();
    if (local.isEmpty()) return {};
    return ChmUrl("/").resolved(QUrl(local));
}

void HelpViewer::contentsClicked(QTreeWidgetItem* item) {
    const QUrl url = contentsUrl(item);
    if (!url.isEmpty()) browser_->followLink(url);
}

void HelpViewer::markContents(const QUrl& page) {
    const QString shown = QString::fromStdString(NormalizeChmPath(page.path().toStdString()));
    for (QTreeWidgetItemIterator it(contents_); *it; ++it) {
        const QUrl url = contentsUrl(*it);
        if (!url.isEmpty() && QString::fromStdString(NormalizeChmPath(url.path().toStdString()))
                                      .compare(shown, Qt::CaseInsensitive) == 0) {
            contents_->setCurrentItem(*it);
            return;
        }
    }
    contents_->setCurrentItem(nullptr);
}

}  // namespace help
