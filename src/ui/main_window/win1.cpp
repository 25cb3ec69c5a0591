// The main window's life: creation and the wiring of its panes, first
// activation, the command line, the class list, refresh, tab changes,
// resizing, the close request and the end.
#include "ui/main_window/win1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFontDatabase>
#include <QLabel>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <exception>
#include <system_error>

#include "ui/completion_names.h"
#include "ui/dialogs/connect_win.h"
#include "ui/dialogs/find_win.h"
#include "ui/dialogs/namespace_dlg.h"
#include "ui/dialogs/prompts.h"
#include "ui/main_window/class_browser.h"
#include "ui/main_window/instance_browser.h"
#include "ui/main_window/main_menu.h"
#include "ui/main_window/query_pane.h"
#include "ui/text_codec.h"
#include "ui/widgets/deferred_icon_style.h"
#include "ui/widgets/elided_label.h"
#include "ui/widgets/image_list.h"
#include "ui/widgets/pane_layout.h"
#include "wbem/service/hosts.h"

namespace ui {

namespace {

constexpr int kStatusWidths[3] = {180, 90, 200};

}  // namespace

TMainWin::TMainWin(Prompts& prompts, MainWindowOptions options, QWidget* parent)
    : QMainWindow(parent), prompts_(prompts), options_(std::move(options)) {
    if (!options_.clock) options_.clock = [] { return QDateTime::currentMSecsSinceEpoch(); };
    FormCreate();
}

void TMainWin::FormCreate() {
    setObjectName(QStringLiteral("TMainWin"));
    setWindowTitle(QStringLiteral("Cimscope"));
    prepareAhead();
    // The menu bar below asks the style for a picture it shows only when too
    // narrow for its menus.
    deferStandardIcons();
    ImageList1 = std::make_shared<const ImageList>();

    WMI = std::make_unique<wmi::TWMI>();
    WMI->SetHost("localhost");
    WMI->SetNamespace("root\\cimv2");
    WMI->User.clear();
    WMI->Password.clear();

    buildLayout();
    wirePanes();
    // The design client size; the border is sizeable as every Qt window's.
    resize(724, 471 + menuBar()->sizeHint().height());
}

void TMainWin::prepareDialogs() {
    if (FindDialog) return;
    // The dialogs then live as long as the window: the connect dialog's combo
    // boxes hold the host and namespace histories, the find dialog's the
    // search history.
    NameSpaceForm = new TNameSpaceForm(prompts_, this);
    ConnectForm = new TConnectForm(*NameSpaceForm, prompts_, this);
    FindDialog = new TFindDialog(this);
    applyDialogHistories();
}

void TMainWin::prepareAhead() {
    // Two things the first paint and the first class list wait for are read
    // on another thread while the widgets are built: the system's fonts (the
    // font configuration is read whole the first time any text is measured)
    // and this machine's schema. A schema that fails to load is told by the
    // first connection, as before.
    try {
        ahead_ = std::async(std::launch::async, [] {
            QFontDatabase::families();
            try {
                wbem::localRepository();
            } catch (const std::exception&) {
            }
        });
    } catch (const std::system_error&) {
        // No thread to spare: the first text and the first connection do it.
    }
}

void TMainWin::buildLayout() {
    mainMenu_ = new MainMenu(*menuBar(), *ImageList1);
    Panel1 = named(new QWidget(this), "Panel1");
    setCentralWidget(Panel1);
    PageControl2 = named(new QTabWidget(Panel1), "PageControl2");
    bareColumn(Panel1)->addWidget(PageControl2);
    // The status bar and the Query tab measure no text yet: built first, they
    // keep this thread busy while the other still reads the system's fonts,
    // which the class browser's first tab waits for.
    buildStatusBar();
    instances_ = new InstanceBrowser(*WMI, prompts_);
    query_ = new QueryPane(*WMI, prompts_, options_.clock, ImageList1, PageControl2);
    classes_ = new ClassBrowser(*WMI, *instances_, prompts_, ImageList1, PageControl2);
    PageControl2->addTab(classes_, QStringLiteral("Classes"));
    PageControl2->addTab(query_, QStringLiteral("Query"));
}

void TMainWin::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    for (size_t i = 0; i < StatusPanels.size(); ++i) {
        auto* panel = new ElidedLabel(bar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        // The last panel holds the longest texts (errors, timings): it takes
        // what room the window has beyond its width.
        const bool last = i + 1 == StatusPanels.size();
        if (last)
            panel->setMinimumWidth(kStatusWidths[i]);
        else
            panel->setFixedWidth(kStatusWidths[i]);
        bar->addWidget(panel, last ? 1 : 0);
        StatusPanels[i] = panel;
    }
}

void TMainWin::wirePanes() {
    connect(PageControl2, &QTabWidget::currentChanged, this, [this] { PageControl2Change(); });

    connect(mainMenu_, &MainMenu::connectRequested, this, [this] { Connecttoremotehost1Click(); });
    connect(mainMenu_, &MainMenu::refreshRequested, this, [this] { Refresh1Click(); });
    connect(mainMenu_, &MainMenu::saveResultRequested, this, [this] { Savequeryresultas1Click(); });
    connect(mainMenu_, &MainMenu::exitRequested, this, [this] { Exit1Click(); });
    connect(mainMenu_, &MainMenu::findRequested, this, [this] { Search1Click(); });
    connect(mainMenu_, &MainMenu::findAgainRequested, this, [this] { Findagain1Click(); });
    connect(mainMenu_, &MainMenu::helpRequested, this, [this] { Help2Click(); });
    connect(mainMenu_, &MainMenu::homePageRequested, this, [this] { Homepage1Click(); });
    connect(mainMenu_, &MainMenu::supportRequested, this, [this] { Support1Click(); });
    connect(mainMenu_, &MainMenu::aboutRequested, this, [this] { About1Click(); });

    // The class browser shows an instance's values in its grid and hands its
    // queries to the Query tab.
    connect(instances_, &InstanceBrowser::valuesRead, classes_, &ClassBrowser::showInstanceValues);
    connect(classes_, &ClassBrowser::queryRequested, this, &TMainWin::runOnQueryTab);
    // Both query boxes complete the names of the class list as loaded.
    auto names = std::make_shared<CompletionNames>(*WMI, [this] { return classes_->classNames(); });
    query_->completeFrom(names);
    classes_->completeFrom(names);
    connect(this, &TMainWin::classListLoaded, this, [names] { names->forget(); });

    // The status bar's last panel tells what the panes are doing.
    connect(instances_, &InstanceBrowser::listingStarted, this,
            [this] { SetStatusText(2, QStringLiteral("Requesting instances...")); });
    connect(instances_, &InstanceBrowser::listingDone, this, &TMainWin::InstancesDone);
    connect(query_, &QueryPane::statusMessage, this,
            [this](const QString& text) { SetStatusText(2, text); });

    connect(query_, &QueryPane::finished, this, [this](bool ok) {
        if (ok) mainMenu_->setSaveResultEnabled(true);
        emit queryFinished(ok);
    });
}

TMainWin::~TMainWin() {
    // FormDestroy. The panes go first, while the connection they work on is
    // still there; the instance browser tells its thread to end.
    delete Panel1;
    WMI.reset();
}

// --- Events ----------------------------------------------------------------------

bool TMainWin::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate && !Activated) FormActivate();
    return QMainWindow::event(e);
}

void TMainWin::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    FormResize();  // the grid has its real width only now
    // A window system without a window manager may never activate the window;
    // being shown is the first activation then.
    if (!Activated)
        QTimer::singleShot(0, this, [this] {
            if (!Activated) FormActivate();
        });
}

void TMainWin::closeEvent(QCloseEvent* e) {
    if (FormCloseQuery())
        e->accept();
    else
        e->ignore();
}

void TMainWin::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    FormResize();
}

// --- Start-up ----------------------------------------------------------------------

void TMainWin::FormActivate() {
    if (Activated) return;
    Activated = true;

    settings::ProfileFile file;
    try {
        file = settings::ProfileFile::load(options_.settingsFile);
    } catch (const std::exception&) {
        // An unreadable file reads as an empty one.
    }
    LoadSettings(file);
    try {
        if (auto placement = settings::RestorePlacement(file, CurrentScreen(), CurrentPlacement()))
            ApplyPlacement(*placement);
    } catch (const std::exception&) {
        // A placement that cannot be read leaves the window where it is.
    }

    SelectPage(kTabClasses);
    classes_->fitRowHeight();
    QCoreApplication::processEvents();  // let the window paint

    if (!WMI->IsAvailable()) {
        prompts_.error(fromSystem(WMI->LastError));
        return;
    }
    ApplyCommandLine(options_.arguments, *WMI, Params,
                     [this](std::string_view host) -> std::optional<wbem::RemoteOptions> {
                         if (const auto* known = settings::FindRemoteHost(RemoteHosts, host))
                             return known->options;
                         return std::nullopt;
                     });
    // A bad option is told, and the run goes on without it.
    if (!Params.UsageError.empty()) prompts_.error(fromSystem(Params.UsageError));
    if (!Params.CommandLineQuery.empty()) {
        query_->setQueryText(fromSystem(Params.CommandLineQuery));
        SelectPage(kTabQuery);
        SetStatusText(0, fromSystem(WMI->Host + "  " + WMI->Namespace));
        QCoreApplication::processEvents();
        Query2BtnClick();
    } else {
        LoadClassList();
    }
}

void TMainWin::LoadClassList() {
    ClassListLoaded = true;
    classes_->loadClasses();
    SetStatusText(0, fromSystem(WMI->Host + "  " + WMI->Namespace));
    SetStatusText(1, QStringLiteral("Classes: %1").arg(classes_->classCount()));
    SetStatusText(2, QString());  // the instance count of a class no longer shown
    emit classListLoaded();
}

// --- Commands --------------------------------------------------------------------------

void TMainWin::Refresh1Click() {
    if (ActivePage() == kTabClasses)
        LoadClassList();
    else
        Query2BtnClick();
}

void TMainWin::Exit1Click() { close(); }

void TMainWin::PageControl2Change() {
    SetStatusText(2, QString());
    if (ActivePage() == kTabClasses && !ClassListLoaded && WMI->IsAvailable()) LoadClassList();
    mainMenu_->setSaveResultEnabled(ActivePage() == kTabQuery && !query_->lastQuery().empty());
}

void TMainWin::FormResize() {
    if (classes_) classes_->fitValueColumn();
}

void TMainWin::runOnQueryTab(const QString& text) {
    SelectPage(kTabQuery);
    query_->setQueryText(text);
    Query2BtnClick();
}

void TMainWin::Query2BtnClick() { query_->Query2BtnClick(); }
void TMainWin::ListView1ColumnClick(int column) { query_->ListView1ColumnClick(column); }
void TMainWin::Savequeryresultas1Click() { query_->Savequeryresultas1Click(); }
void TMainWin::ClassListBoxClick() { classes_->ClassListBoxClick(); }

// --- Close ------------------------------------------------------------------------------

bool TMainWin::FormCloseQuery() {
    // A close does not wait for a query, and the hand-back then sees the
    // result on show, not one that lands while it asks.
    query_->stopQuery();
    // Written on every close request, also on one the hand-back then cancels.
    SaveSettings();
    bool canClose = true;
    HandBackQuery(canClose);
    return canClose;
}

// --- Instance thread ----------------------------------------------------------------------

void TMainWin::InstancesDone(int count, const QString& error) {
    SetStatusText(2, error.isEmpty() ? QStringLiteral("Instances: %1").arg(count) : error);
}

// --- Shared helpers ------------------------------------------------------------------------

void TMainWin::SetStatusText(int panel, const QString& text) {
    if (panel >= 0 && panel < int(StatusPanels.size()))
        StatusPanels[size_t(panel)]->setFullText(text);
}

QString TMainWin::StatusText(int panel) const {
    if (panel < 0 || panel >= int(StatusPanels.size())) return {};
    return StatusPanels[size_t(panel)]->fullText();
}

void TMainWin::SelectPage(int index) {
    const QSignalBlocker block(PageControl2);
    PageControl2->setCurrentIndex(index);
}

int TMainWin::ActivePage() const { return PageControl2->currentIndex(); }

}  // namespace ui
