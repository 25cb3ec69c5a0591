// TConnectForm: the modal dialog in which the user chooses host, namespace,
// user name, password and authentication level, and for a remote host how it
// is reached (the "Protocol" area). It lives as long as the main window, so
// its host and namespace combo boxes hold those two histories. It only edits
// its controls; the main window applies them on OK.
#pragma once

#include <QDialog>
#include <QString>

#include "settings/remote_hosts.h"
#include "settings/settings.h"
#include "ui/dialogs/modal_runner.h"
#include "wbem/remote_options.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace ui {

class Prompts;
class TComputerPicker;
class TNameSpaceForm;

// What the connect dialog shows and the user edits, as typed.
struct ConnectChoice {
    QString host;
    QString nameSpace;
    QString user;
    QString password;
    int authLevel = -1;  // an index of AuthLevelCombo; -1 = none chosen
};

class TConnectForm : public QDialog {
    Q_OBJECT

  public:
    // The chooser is the one BitBtn1 opens; it and the prompts (the CA file's
    // open dialog) must outlive this dialog.
    TConnectForm(TNameSpaceForm& chooser, Prompts& prompts, QWidget* parent = nullptr);

    // Shows the dialog modally (through Runner when set); QDialog::Accepted on OK.
    int Execute();

    // BitBtn1 ("Browse name spaces") is enabled exactly when the host is not empty.
    void FormActivate();
    void HostComboExit();
    void BitBtn2Click();  // pick a computer
    void BitBtn1Click();  // choose a namespace
    void OkBtnClick();    // record the host and namespace histories

    // The histories the combo boxes hold, most recent first.
    settings::HistoryList HostHistory() const;
    // What HostCombo holds before any history is read (the namespace
    // history starts empty).
    static settings::HistoryList InitialHostHistory();
    settings::HistoryList NamespaceHistory() const;
    void setHistories(const settings::HistoryList& hosts, const settings::HistoryList& namespaces);

    // The connection the controls show; an authentication level outside the
    // list selects none (then authLevel reads -1).
    void setChoice(const ConnectChoice& choice);
    ConnectChoice choice() const;  // as typed
    // The dialog outlives its use; the password typed into it does not.
    void forgetPassword();

    // --- Protocol area (controls found by their object names: protocolGroup,
    // authMethodCombo, caFileEdit, caFileBrowseBtn, allowUnencryptedCheck).
    // The choices known per host (the caller puts the current connection's
    // first) and those for any other host. Refills the area for the host shown.
    void setRememberedProtocols(settings::RemoteHostList remembered,
                                const wbem::RemoteOptions& defaults = {});
    // Shows the area for a remote host only, and fills it with that host's
    // choices (see ProtocolAreaFor); runs whenever the host text changes.
    void updateProtocolArea();
    // The area's choices, whether it is shown or not.
    wbem::RemoteOptions protocolOptions() const;
    void caFileBrowseClick();  // picks the CA file through the prompts

    ModalRunner Runner;                                // empty: exec()
    QString HostsFile = QStringLiteral("/etc/hosts");  // the picker's names besides the history

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    QGroupBox* buildProtocolGroup();
    void showProtocolOptions(const wbem::RemoteOptions& options);

    TNameSpaceForm& chooser_;
    Prompts& prompts_;

    QComboBox* HostCombo = nullptr;
    QComboBox* wmiPathCombo = nullptr;
    QComboBox* AuthLevelCombo = nullptr;
    QLineEdit* UserEdit = nullptr;
    QLineEdit* PswdEdit = nullptr;
    QToolButton* BitBtn1 = nullptr;  // "Browse name spaces"
    TComputerPicker* BrowseForComp1 = nullptr;

    QGroupBox* protocolGroup_ = nullptr;
    QComboBox* authMethodCombo_ = nullptr;
    QLineEdit* caFileEdit_ = nullptr;
    QToolButton* caFileBrowseBtn_ = nullptr;
    QCheckBox* allowUnencryptedCheck_ = nullptr;
    settings::RemoteHostList rememberedProtocols_;
    wbem::RemoteOptions defaultProtocol_;
    // The user changed the area since it was last filled for a host.
    bool protocolChangedByHand_ = false;
};

}  // namespace ui
