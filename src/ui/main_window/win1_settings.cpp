// The main window and the settings file: the histories of its combo boxes and
// its placement, read at the first activation and written at every close.
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <exception>
#include <utility>

#include "ui/dialogs/connect_win.h"
#include "ui/dialogs/find_win.h"
#include "ui/main_window/query_pane.h"
#include "ui/main_window/win1.h"
#include "ui/text_codec.h"

namespace ui {

settings::Histories TMainWin::CollectHistories() const {
    settings::Histories histories;
    if (FindDialog) {
        histories.search = FindDialog->history();
        // --- Connect dialog: its combo boxes hold these two.
        histories.host = ConnectForm->HostHistory();
        histories.nspace = ConnectForm->NamespaceHistory();
    } else if (dialogHistories_) {
        histories = *dialogHistories_;
    } else {
        histories.host = TConnectForm::InitialHostHistory();
    }
    histories.query = query_->history();
    return histories;
}

void TMainWin::LoadSettings(const settings::ProfileFile& file) {
    // What the lists hold stays unless the file says otherwise.
    settings::Histories histories = CollectHistories();
    try {
        const settings::AuthLevelAccess level{
            [] { return wmi::AuthenticationLevel.load(); },
            [](int32_t value) { wmi::AuthenticationLevel = value; }};
        settings::LoadSettings(file, histories, level);
        RemoteHosts = settings::LoadRemoteHosts(file);
    } catch (const std::exception&) {
        // The remaining reads are skipped without a message.
    }
    query_->setHistory(histories.query);
    // The dialogs' histories wait for the dialogs.
    dialogHistories_ = std::move(histories);
    if (FindDialog) applyDialogHistories();
}

void TMainWin::applyDialogHistories() {
    if (!dialogHistories_) return;
    FindDialog->setHistory(dialogHistories_->search);
    // --- Connect dialog
    ConnectForm->setHistories(dialogHistories_->host, dialogHistories_->nspace);
    dialogHistories_.reset();
}

bool TMainWin::SaveSettings() {
    try {
        return settings::WriteSettingsFile(options_.settingsFile, CollectHistories(),
                                           CurrentPlacement(), CurrentScreen());
    } catch (const std::exception&) {
        return false;  // a file that cannot be written is skipped silently
    }
}

settings::ScreenInfo TMainWin::CurrentScreen() const {
    settings::ScreenInfo info;
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s) return info;
    info.width = s->geometry().width();
    info.height = s->geometry().height();
    info.pixelsPerInch = qRound(s->logicalDotsPerInch());
    return info;
}

namespace {

// How long a restored window waits for its window manager's frame: 2 s.
constexpr int kFrameWaitTries = 40;
constexpr int kFrameWaitStepMs = 50;

// How far the window's frame reaches beyond its client area on each side.
QMargins frameMargins(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    const QRect client = window.geometry();
    return {client.left() - frame.left(), client.top() - frame.top(),
            frame.right() - client.right(), frame.bottom() - client.bottom()};
}

}  // namespace

settings::WindowPlacement TMainWin::CurrentPlacement() const {
    settings::WindowPlacement placement;
    placement.showCmd = isMinimized() ? 2 : (isMaximized() ? 3 : 1);
    QRect normal = normalGeometry();
    if (normal.isEmpty()) normal = geometry();
    const QRect outer = normal.marginsAdded(frameMargins(*this));
    placement.normalPosition = {outer.left(), outer.top(), outer.left() + outer.width(),
                                outer.top() + outer.height()};
    return placement;
}

void TMainWin::ApplyPlacement(const settings::WindowPlacement& placement) {
    const settings::PlacementRect& p = placement.normalPosition;
    const QRect outer(p.left, p.top, p.right - p.left, p.bottom - p.top);
    if (outer.width() <= 0 || outer.height() <= 0) return;
    // A position on a screen that is no longer there would hide the window:
    // then only the size is taken and the window stays where it was put.
    bool onScreen = false;
    for (const QScreen* s : QGuiApplication::screens())
        onScreen = onScreen || s->availableGeometry().intersects(outer);
    restoredFrame_ = outer;
    restoredOnScreen_ = onScreen;
    fitRestoredFrame(kFrameWaitTries);
}

void TMainWin::fitRestoredFrame(int triesLeft) {
    // The placement is the outer frame. A window manager frames the window
    // only some time after it was shown; until then the frame reads as none
    // and the client area would take the frame's place and size.
    const QMargins margins = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    if (margins.isNull() && triesLeft > 0) {
        QTimer::singleShot(kFrameWaitStepMs, this,
                           [this, triesLeft] { fitRestoredFrame(triesLeft - 1); });
        if (triesLeft < kFrameWaitTries) return;  // the first try sizes the window at once
    }
    const QRect client = restoredFrame_.marginsRemoved(margins);
    if (client.width() <= 0 || client.height() <= 0) return;
    if (restoredOnScreen_)
        setGeometry(client);
    else
        resize(client.size());
}

}  // namespace ui
