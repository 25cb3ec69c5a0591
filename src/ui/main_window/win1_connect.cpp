// The main window's connect command: the connect dialog filled from the
// connection, and on OK the new connection, the class list and the host's
// code page.
#include "results/code_page.h"
#include "ui/connect_logic.h"
#include "ui/dialogs/connect_win.h"
#include "ui/main_window/query_pane.h"
#include "ui/main_window/win1.h"
#include "ui/text_codec.h"
#include "ui/widgets/wait_cursor.h"

namespace ui {

void TMainWin::Connecttoremotehost1Click() {
    prepareDialogs();
    TConnectForm& form = *ConnectForm;
    form.setChoice({fromSystem(WMI->Host), fromSystem(WMI->Namespace), fromSystem(WMI->User),
                    fromSystem(WMI->Password), int(wmi::AuthenticationLevel)});
    // The connection's own choices come first, so its host shows what is in
    // effect; other hosts show theirs, and a new host the command line's.
    settings::RemoteHostList protocols = RemoteHosts;
    if (!wmi::IsLocalHost(WMI->Host))
        settings::RememberRemoteHost(protocols, WMI->Host, WMI->remote);
    form.setRememberedProtocols(std::move(protocols), WithCommandLineOptions({}, Params));

    const bool ok = form.Execute() == QDialog::Accepted;
    const ConnectChoice choice = form.choice();
    form.forgetPassword();
    if (!ok) return;

    // A query still running belongs to the connection left behind: its rows'
    // paths would be looked up on the new one.
    query_->stopQuery();
    WMI->SetHost(wmi::Trimmed(toSystem(choice.host)));
    WMI->SetNamespace(wmi::Trimmed(toSystem(choice.nameSpace)));
    WMI->User = toSystem(choice.user);
    WMI->Password = toSystem(choice.password);
    if (choice.authLevel >= 0) wmi::AuthenticationLevel = choice.authLevel;
    // This machine's service needs no protocol; a remote host's choices are
    // remembered for it at once, so a crash later does not lose them.
    if (wmi::IsLocalHost(WMI->Host)) {
        WMI->remote = {};
    } else {
        WMI->remote = form.protocolOptions();
        settings::RememberRemoteHost(RemoteHosts, WMI->Host, WMI->remote);
        try {
            settings::WriteRemoteHosts(options_.settingsFile, RemoteHosts);
        } catch (const std::exception&) {
            // A settings file that cannot be written is skipped silently.
        }
    }
    LoadClassList();

    // The host's own code set renders its query results from now on; a host
    // or namespace that cannot tell keeps the code page there was.
    WaitCursor wait;
    if (auto codePage = results::targetCodePage(*WMI)) WMI->CodePage = *codePage;
}

}  // namespace ui
