// The help window: the pages of one help file in a text browser that follows
// the file's own links and pictures, with the file's table of contents
// beside it. Addresses outside the file go to the browser or mail program.
#pragma once

#include <QTextBrowser>
#include <QWidget>
#include <memory>
#include <string>

#include "help/chm_file.h"
#include "help/url_opener.h"

class QTreeWidget;
class QTreeWidgetItem;
class QToolButton;

namespace help {

// Pages inside the help file are addressed as chm:/<path>.
inline constexpr const char* kChmScheme = "chm";
QUrl ChmUrl(const std::string& path);

class ChmBrowser : public QTextBrowser {
    Q_OBJECT

  public:
    ChmBrowser(const ChmFile& file, UrlOpener opener, QWidget* parent = nullptr);

    // Pages and pictures come from the help file; a relative name is taken
    // from the page shown. A page the file lacks becomes a short notice.
    QVariant loadResource(int type, const QUrl& name) override;
    // Where a link leads: inside the file, or out to another program.
    void followLink(const QUrl& link);

  private:
    const ChmFile& file_;
    UrlOpener opener_;
};

class HelpViewer : public QWidget {
    Q_OBJECT

  public:
    static constexpr const char* kTitle = "Cimscope Help";

    HelpViewer(std::unique_ptr<ChmFile> file, UrlOpener opener, QWidget* parent = nullptr);
    ~HelpViewer() override;

    // Shows the page ("/HTML/wmi/index.htm") and brings the window forward.
    void showTopic(const std::string& path);

    const ChmFile& file() const { return *file_; }
    ChmBrowser* browser() const { return browser_; }
    QTreeWidget* contents() const { return contents_; }

  private:
    void buildContents();
    void contentsClicked(QTreeWidgetItem* item);
    // Selects the contents entry of the page shown, if it has one.
    void markContents(const QUrl& page);

    std::unique_ptr<ChmFile> file_;
    ChmBrowser* browser_ = nullptr;
    QTreeWidget* contents_ = nullptr;
    std::string home_;
};

}  // namespace help
