#include "ui/dialogs/connect_win.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/connect_logic.h"
#include "ui/dialogs/computer_picker.h"
#include "ui/dialogs/namespace_dlg.h"
#include "ui/dialogs/prompts.h"
#include "ui/text_codec.h"
#include "ui/widgets/combo_history.h"
#include "ui/widgets/image_list.h"
#include "ui/widgets/named.h"
#include "wmi/bw_wmi.h"

namespace ui {

namespace {

constexpr int kClientWidth = 409;
constexpr int kClientHeight = 164;

QComboBox* historyCombo(QWidget* parent, const char* name) {
    auto* combo = named(new QComboBox(parent), name);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);  // only OK records a history entry
    combo->setCompleter(nullptr);                 // the text is taken as typed
    combo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return combo;
}

QToolButton* imageButton(QWidget* parent, const char* name, const QIcon& icon,
                         const QString& hint) {
    auto* button = named(new QToolButton(parent), name);
    button->setIcon(icon);
    button->setToolTip(hint);
    button->setAutoRaise(false);
    return button;
}

}  // namespace

TConnectForm::TConnectForm(TNameSpaceForm& chooser, Prompts& prompts, QWidget* parent)
    : QDialog(parent), chooser_(chooser), prompts_(prompts) {
    setObjectName(QStringLiteral("ConnectForm"));
    setWindowTitle(QStringLiteral("Connect to"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    buildControls();
    BrowseForComp1 = new TComputerPicker(this);

    connect(BitBtn1, &QToolButton::clicked, this, [this] { BitBtn1Click(); });
    HostCombo->installEventFilter(this);
    HostCombo->lineEdit()->installEventFilter(this);

    // Typing, a pick from the history and the computer picker all change the text.
    connect(HostCombo, &QComboBox::editTextChanged, this, [this] { updateProtocolArea(); });
    // Only what the user does counts as a choice by hand, not the filling.
    const auto byHand = [this] { protocolChangedByHand_ = true; };
    connect(authMethodCombo_, &QComboBox::activated, this, byHand);
    connect(caFileEdit_, &QLineEdit::textEdited, this, byHand);
    connect(allowUnencryptedCheck_, &QCheckBox::clicked, this, byHand);
    connect(caFileBrowseBtn_, &QToolButton::clicked, this, [this] { caFileBrowseClick(); });
    updateProtocolArea();
}

QGroupBox* TConnectForm::buildProtocolGroup() {
    protocolGroup_ = named(new QGroupBox(QStringLiteral("Protocol"), this), "protocolGroup");
    auto* grid = new QGridLayout(protocolGroup_);
    grid->setContentsMargins(8, 4, 8, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);

    auto* methodLabel =
        named(new QLabel(QStringLiteral("Authentication"), protocolGroup_), "authMethodLabel");
    authMethodCombo_ = named(new QComboBox(protocolGroup_), "authMethodCombo");
    // The item data is the method, so the order on screen is free.
    const std::pair<const char*, wbem::AuthMethod> methods[] = {
        {"Negotiate", wbem::AuthMethod::Negotiate},
        {"Basic", wbem::AuthMethod::Basic},
        {"Kerberos", wbem::AuthMethod::Kerberos},
        {"NTLM", wbem::AuthMethod::Ntlm}};
    for (const auto& [text, method] : methods)
        authMethodCombo_->addItem(QString::fromLatin1(text), int(method));
    allowUnencryptedCheck_ =
        named(new QCheckBox(QStringLiteral("Allow unencrypted"), protocolGroup_),
              "allowUnencryptedCheck");
    allowUnencryptedCheck_->setToolTip(
        QStringLiteral("Allow Basic authentication over plain HTTP: the password crosses the "
                       "network readable"));

    auto* caLabel = named(new QLabel(QStringLiteral("CA file"), protocolGroup_), "caFileLabel");
    caFileEdit_ = named(new QLineEdit(protocolGroup_), "caFileEdit");
    caFileEdit_->setPlaceholderText(QStringLiteral("the system's CAs only"));
    caFileEdit_->setToolTip(
        QStringLiteral("CA certificates (PEM) trusted for HTTPS besides the system's"));
    caFileBrowseBtn_ = named(new QToolButton(protocolGroup_), "caFileBrowseBtn");
    caFileBrowseBtn_->setText(QStringLiteral("..."));
    caFileBrowseBtn_->setToolTip(QStringLiteral("Browse for a CA file"));

    grid->addWidget(methodLabel, 0, 0);
    grid->addWidget(authMethodCombo_, 0, 1);
    grid->addWidget(allowUnencryptedCheck_, 0, 2, 1, 2);
    grid->addWidget(caLabel, 1, 0);
    grid->addWidget(caFileEdit_, 1, 1, 1, 2);
    grid->addWidget(caFileBrowseBtn_, 1, 3);
    grid->setColumnStretch(2, 1);
    methodLabel->setBuddy(authMethodCombo_);
    caLabel->setBuddy(caFileEdit_);

    // Hidden for this machine's hosts, yet keeping its room, so that the
    // dialog keeps its size and nothing moves as the user types a host.
    QSizePolicy policy = protocolGroup_->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    protocolGroup_->setSizePolicy(policy);
    return protocolGroup_;
}

void TConnectForm::buildControls() {
    auto* GroupBox1 = named(new QGroupBox(this), "GroupBox1");
    auto* grid = new QGridLayout(GroupBox1);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);

    auto label = [GroupBox1](const char* name, const QString& text) {
        return named(new QLabel(text, GroupBox1), name);
    };
    QLabel* Label1 = label("Label1", QStringLiteral("Host"));
    HostCombo = historyCombo(GroupBox1, "HostCombo");
    for (const std::string& host : InitialHostHistory()) HostCombo->addItem(fromSystem(host));
    HostCombo->setEditText(QStringLiteral("localhost"));
    QToolButton* BitBtn2 = imageButton(GroupBox1, "BitBtn2", imageIcon(kImageComputer),
                                       QStringLiteral("Browse network"));

    QLabel* Label2 = label("Label2", QStringLiteral("Name space"));
    wmiPathCombo = historyCombo(GroupBox1, "wmiPathCombo");
    wmiPathCombo->setEditText(QStringLiteral("root\\cimv2"));
    BitBtn1 = imageButton(GroupBox1, "BitBtn1", style()->standardIcon(QStyle::SP_DirOpenIcon),
                          QStringLiteral("Browse name spaces"));

    QLabel* Label3 = label("Label3", QStringLiteral("Auth. level"));
    AuthLevelCombo = named(new QComboBox(GroupBox1), "AuthLevelCombo");
    AuthLevelCombo->addItems({QStringLiteral("Default"), QStringLiteral("None"),
                              QStringLiteral("Connect"), QStringLiteral("Call"),
                              QStringLiteral("Packet"), QStringLiteral("Packet Integrity"),
                              QStringLiteral("Packet Privacy")});

    auto* Bevel1 = named(new QFrame(GroupBox1), "Bevel1");
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);

    QLabel* Label4 = label("Label4", QStringLiteral("Login"));
    UserEdit = named(new QLineEdit(GroupBox1), "UserEdit");
    QLabel* Label5 = label("Label5", QStringLiteral("Password"));
    PswdEdit = named(new QLineEdit(GroupBox1), "PswdEdit");
    PswdEdit->setEchoMode(QLineEdit::Password);

    int row = 0;
    grid->addWidget(Label1, row, 0);
    grid->addWidget(HostCombo, row, 1);
    grid->addWidget(BitBtn2, row++, 2);
    grid->addWidget(Label2, row, 0);
    grid->addWidget(wmiPathCombo, row, 1);
    grid->addWidget(BitBtn1, row++, 2);
    grid->addWidget(Label3, row, 0);
    grid->addWidget(AuthLevelCombo, row++, 1);
    grid->addWidget(Bevel1, row++, 0, 1, 3);
    grid->addWidget(Label4, row, 0);
    grid->addWidget(UserEdit, row++, 1);
    grid->addWidget(Label5, row, 0);
    grid->addWidget(PswdEdit, row++, 1);
    Label1->setBuddy(HostCombo);
    Label2->setBuddy(wmiPathCombo);
    Label3->setBuddy(AuthLevelCombo);
    Label4->setBuddy(UserEdit);
    Label5->setBuddy(PswdEdit);

    auto* OkBtn = named(new QPushButton(QStringLiteral("OK"), this), "OkBtn");
    OkBtn->setDefault(true);
    auto* CancelBtn = named(new QPushButton(QStringLiteral("Cancel"), this), "CancelBtn");
    connect(BitBtn2, &QToolButton::clicked, this, [this] { BitBtn2Click(); });
    connect(OkBtn, &QPushButton::clicked, this, [this] {
        OkBtnClick();
        accept();
    });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QVBoxLayout;
    buttons->setContentsMargins(0, 6, 0, 0);
    buttons->addWidget(OkBtn);
    buttons->addWidget(CancelBtn);
    buttons->addStretch(1);

    auto* groups = new QVBoxLayout;
    groups->addWidget(GroupBox1);
    groups->addWidget(buildProtocolGroup());
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 8);
    layout->addLayout(groups, 1);
    layout->addLayout(buttons);

    setTabOrder(HostCombo, wmiPathCombo);
    setTabOrder(wmiPathCombo, AuthLevelCombo);
    setTabOrder(AuthLevelCombo, UserEdit);
    setTabOrder(UserEdit, PswdEdit);
    setTabOrder(PswdEdit, authMethodCombo_);
    setTabOrder(authMethodCombo_, allowUnencryptedCheck_);
    setTabOrder(allowUnencryptedCheck_, caFileEdit_);
    setTabOrder(caFileEdit_, caFileBrowseBtn_);
    setTabOrder(caFileBrowseBtn_, BitBtn2);
    setTabOrder(BitBtn2, BitBtn1);
    setTabOrder(BitBtn1, OkBtn);
    setTabOrder(OkBtn, CancelBtn);

    // A fixed frame: the design size, or what the fonts need when that is more.
    const QSize needed = sizeHint().expandedTo(QSize(kClientWidth, kClientHeight));
    setFixedSize(needed);
}

int TConnectForm::Execute() { return RunModal(*this, Runner); }

bool TConnectForm::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate || e->type() == QEvent::Show) FormActivate();
    return QDialog::event(e);
}

bool TConnectForm::eventFilter(QObject* watched, QEvent* e) {
    if ((watched == HostCombo || watched == HostCombo->lineEdit()) && e->type() == QEvent::FocusOut)
        HostComboExit();
    return QDialog::eventFilter(watched, e);
}

void TConnectForm::FormActivate() {
    BitBtn1->setEnabled(!wmi::Trimmed(toSystem(HostCombo->currentText())).empty());
}

void TConnectForm::HostComboExit() { FormActivate(); }

void TConnectForm::BitBtn2Click() {
    const QStringList hostsFile = HostsFileComputers(HostsFile);
    std::vector<std::string> fileNames;
    for (const QString& name : hostsFile) fileNames.push_back(toSystem(name));
    QStringList names;
    for (const std::string& name : KnownComputers(LocalHostName(), HostHistory(), fileNames))
        names << fromSystem(name);
    if (const std::optional<QString> picked = BrowseForComp1->Execute(names))
        HostCombo->setEditText(*picked);
}

void TConnectForm::BitBtn1Click() {
    const std::string host = wmi::Trimmed(toSystem(HostCombo->currentText()));
    const std::string user = wmi::Trimmed(toSystem(UserEdit->text()));
    const std::string password = toSystem(PswdEdit->text());
    const bool remote = IsRemoteHost(host, AddressToText(LocalHostAddress()));
    const QString path = chooser_.ChooseNamespace(host, user, password, remote, protocolOptions());
    if (!path.isEmpty()) wmiPathCombo->setEditText(path);
}

void TConnectForm::OkBtnClick() {
    addToComboHistory(*HostCombo, HostCombo->currentText());
    addToComboHistory(*wmiPathCombo, wmiPathCombo->currentText());
}

void TConnectForm::setRememberedProtocols(settings::RemoteHostList remembered,
                                          const wbem::RemoteOptions& defaults) {
    rememberedProtocols_ = std::move(remembered);
    defaultProtocol_ = defaults;
    protocolChangedByHand_ = false;
    updateProtocolArea();
}

void TConnectForm::updateProtocolArea() {
    const ProtocolArea area =
        ProtocolAreaFor(toSystem(HostCombo->currentText()), rememberedProtocols_, defaultProtocol_,
                        protocolChangedByHand_);
    if (area.fill) {
        showProtocolOptions(*area.fill);
        protocolChangedByHand_ = false;
    }
    protocolGroup_->setVisible(area.shown);
}

void TConnectForm::showProtocolOptions(const wbem::RemoteOptions& options) {
    const int index = authMethodCombo_->findData(int(options.auth));
    authMethodCombo_->setCurrentIndex(index >= 0 ? index : 0);
    caFileEdit_->setText(fromSystem(options.caFile));
    allowUnencryptedCheck_->setChecked(options.allowUnencrypted);
}

wbem::RemoteOptions TConnectForm::protocolOptions() const {
    wbem::RemoteOptions options;
    options.auth = static_cast<wbem::AuthMethod>(authMethodCombo_->currentData().toInt());
    options.caFile = wmi::Trimmed(toSystem(caFileEdit_->text()));
    options.allowUnencrypted = allowUnencryptedCheck_->isChecked();
    return options;
}

void TConnectForm::caFileBrowseClick() {
    OpenRequest request;
    request.title = QStringLiteral("CA file");
    request.filters = {{QStringLiteral("Certificates"), QStringLiteral("*.pem *.crt *.cer")},
                       {QStringLiteral("All files"), QStringLiteral("*")}};
    request.fileName = caFileEdit_->text().trimmed();
    if (const std::optional<QString> file = prompts_.openFile(request)) {
        caFileEdit_->setText(*file);
        protocolChangedByHand_ = true;
    }
}

settings::HistoryList TConnectForm::HostHistory() const { return comboHistory(*HostCombo); }

settings::HistoryList TConnectForm::InitialHostHistory() { return {"localhost"}; }

settings::HistoryList TConnectForm::NamespaceHistory() const { return comboHistory(*wmiPathCombo); }

void TConnectForm::setHistories(const settings::HistoryList& hosts,
                                const settings::HistoryList& namespaces) {
    setComboHistory(*HostCombo, hosts);
    setComboHistory(*wmiPathCombo, namespaces);
}

void TConnectForm::setChoice(const ConnectChoice& choice) {
    HostCombo->setEditText(choice.host);
    wmiPathCombo->setEditText(choice.nameSpace);
    UserEdit->setText(choice.user);
    PswdEdit->setText(choice.password);
    const int level = choice.authLevel;
    AuthLevelCombo->setCurrentIndex(level >= 0 && level < AuthLevelCombo->count() ? level : -1);
}

ConnectChoice TConnectForm::choice() const {
    return {HostCombo->currentText(), wmiPathCombo->currentText(), UserEdit->text(),
            PswdEdit->text(), AuthLevelCombo->currentIndex()};
}

void TConnectForm::forgetPassword() { PswdEdit->clear(); }

}  // namespace ui
