// The main window's life: creation, first activation, the command line, the
// class list, refresh, tab changes, resizing, the close request and the end.
#include "ui/main_window/win1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTimer>
#include <exception>

#include "app/product.h"
#include "ui/dialogs/find_win.h"
#include "ui/dialogs/prompts.h"
#include "ui/grid_rules.h"
#include "ui/text_codec.h"
#include "ui/widgets/column_list_box.h"
#include "ui/widgets/combo_history.h"
#include "ui/widgets/instance_line_box.h"
#include "ui/widgets/string_grid.h"
#include "ui/widgets/wait_cursor.h"

namespace ui {

namespace {

// The height of the text "%CWIJpq" in the grid's font, plus 4 pixels.
int gridRowHeight(const QWidget& grid) {
    return grid.fontMetrics().size(Qt::TextSingleLine, QStringLiteral("%CWIJpq")).height() + 4;
}

}  // namespace

TMainWin::TMainWin(Prompts& prompts, MainWindowOptions options, QWidget* parent)
    : QMainWindow(parent), prompts_(prompts), options_(std::move(options)) {
    if (!options_.clock) options_.clock = [] { return QDateTime::currentMSecsSinceEpoch(); };
    FormCreate();
}

void TMainWin::FormCreate() {
    setObjectName(QStringLiteral("TMainWin"));
    setWindowTitle(QStringLiteral("Cimscope"));
    ImageList1 = std::make_shared<const ImageList>();
    buildLayout();

    // The "Home page" command's address.
    Homepage1->setData(fromSystem(product::kProductPageUrl));
    Homepage1->setStatusTip(Homepage1->data().toString());
    // The design client size; the border is sizeable as every Qt window's.
    resize(724, 471 + menuBar()->sizeHint().height());
    PageControl1->setCurrentIndex(0);

    // The connect dialog and the namespace chooser live as long as the window;
    // the dialog's combo boxes hold the host and namespace histories.
    CreateConnectDialogs();

    WMI = std::make_unique<wmi::TWMI>();
    WMI->SetHost("localhost");
    WMI->SetNamespace("root\\cimv2");
    WMI->User.clear();
    WMI->Password.clear();

    InstancesThread = new wmi::TWMIInstancesThread();
    InstancesThread->Limit = kInstanceLimit;
    InstancesThread->OnDone = [this](wmi::TWMIInstancesThread* thread, int32_t count,
                                     const std::string& error) {
        InstancesDone(thread, count, error);
    };

    // The find dialog lives as long as the window, and so does its history.
    FindDialog = new TFindDialog(this);
}

TMainWin::~TMainWin() {
    // FormDestroy: the thread is told to end and frees itself; nobody waits.
    if (InstancesThread) InstancesThread->Terminate();
    InstancesThread = nullptr;
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

    // Dialogs exist by now, so the settings can fill their histories.
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
    PropGrid->SetDefaultRowHeight(gridRowHeight(*PropGrid));
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
        Query2Combo->setEditText(fromSystem(Params.CommandLineQuery));
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
    {
        const QSignalBlocker block(ClassListBox);
        try {
            WaitCursor wait;
            ClassListBox->clear();
            wmi::TextList names;
            const bool ok = WMI->GetClasses(names);
            ClassListBox->SetSortedItems(std::move(names));
            wait.restore();
            if (!ok) prompts_.error(QStringLiteral("Error: ") + fromSystem(WMI->LastError));
        } catch (const std::exception& e) {
            prompts_.error(errorText(e));
        }
        ClassListBox->setCurrentItem(nullptr);
        ClassListBox->clearSelection();
    }
    InstanceListBox->clear();
    SetStatusText(0, fromSystem(WMI->Host + "  " + WMI->Namespace));
    SetStatusText(1, QStringLiteral("Classes: %1").arg(ClassListBox->count()));
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
    Savequeryresultas1->setEnabled(ActivePage() == kTabQuery && !LastQuery.empty());
}

void TMainWin::FormResize() {
    if (!PropGrid) return;
    if (auto width = valueColumnWidth(PropGrid->ClientWidth(), PropGrid->ColumnWidth(0),
                                      PropGrid->ColumnWidth(1)))
        PropGrid->SetColumnWidth(1, *width);
}

// --- Close ------------------------------------------------------------------------------

bool TMainWin::FormCloseQuery() {
    // Written on every close request, also on one the hand-back then cancels.
    SaveSettings();
    bool canClose = true;
    HandBackQuery(canClose);
    return canClose;
}

// --- Instance thread ----------------------------------------------------------------------

void TMainWin::InstancesDone(wmi::TWMIInstancesThread*, int32_t count, const std::string& error) {
    SetStatusText(2,
                  error.empty() ? QStringLiteral("Instances: %1").arg(count) : fromSystem(error));
}

// --- Shared helpers ------------------------------------------------------------------------

void TMainWin::SetStatusText(int panel, const QString& text) {
    if (panel >= 0 && panel < int(StatusPanels.size())) StatusPanels[size_t(panel)]->setText(text);
}

QString TMainWin::StatusText(int panel) const {
    if (panel < 0 || panel >= int(StatusPanels.size())) return {};
    return StatusPanels[size_t(panel)]->text();
}

void TMainWin::SelectPage(int index) {
    const QSignalBlocker block(PageControl2);
    PageControl2->setCurrentIndex(index);
}

int TMainWin::ActivePage() const { return PageControl2->currentIndex(); }

void TMainWin::AddToHistory(QComboBox* combo, const QString& text) {
    settings::HistoryList list = comboHistory(*combo);
    if (!settings::AddToHistory(list, toSystem(text))) return;
    const QSignalBlocker block(combo);
    setComboHistory(*combo, list);
}

}  // namespace ui
