// The connect dialog, the computer picker and the namespace chooser, driven
// through the main window's connect command with runners that play the user.
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include "settings/profile_file.h"
#include "settings/remote_hosts.h"
#include "test_hosts.h"
#include "ui/connect_logic.h"
#include "ui/dialogs/computer_picker.h"
#include "ui/dialogs/connect_win.h"
#include "ui/dialogs/namespace_dlg.h"
#include "ui/widgets/column_list_box.h"
#include "ui/widgets/instance_line_box.h"
#include "ui/widgets/string_grid.h"
#include "wbem/service/hosts.h"
#include "window_fixture.h"

// Failures show the texts.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace uitest {
namespace {

// Namespaces under root, among them the four an eager walk does not enter,
// each with a child that shows whether it was entered.
const char* const kNamespaceMof = R"MOF(
class Win32_OperatingSystem { [key] string Name; string CodeSet; };
instance of Win32_OperatingSystem { Name = "Test OS"; CodeSet = "1252"; };
#pragma namespace("\\\\.\\root\\cimv2\\Sub\\Leaf")
#pragma namespace("\\\\.\\root\\ServiceModel\\Inner")
#pragma namespace("\\\\.\\root\\SECURITY\\Inner")
#pragma namespace("\\\\.\\root\\RSOP\\User\\Inner")
#pragma namespace("\\\\.\\root\\RSOP\\Computer\\ms_409\\Inner")
#pragma namespace("\\\\.\\root\\RSOP\\Computer\\ms_407\\Inner")
#pragma namespace("\\\\.\\root\\WMI")
)MOF";

// Remote by the chooser's rule, with credentials.
constexpr const char* kRemote = "nshost";
// Local by the chooser's rule, yet a test host.
constexpr const char* kLocalByRule = "127.0.0.5";

// The tree as indented lines; "*" marks a node whose children were enumerated.
QStringList treeLines(const QTreeWidget& tree) {
    QStringList lines;
    std::function<void(const QTreeWidgetItem*, int)> walk = [&](const QTreeWidgetItem* node,
                                                                int depth) {
        lines << QString(depth * 2, QLatin1Char(' ')) + node->text(0) +
                     (ui::TNameSpaceForm::Marked(node) ? QStringLiteral("*") : QString());
        for (int i = 0; i < node->childCount(); ++i) walk(node->child(i), depth + 1);
    };
    for (int i = 0; i < tree.topLevelItemCount(); ++i) walk(tree.topLevelItem(i), 0);
    return lines;
}

QTreeWidgetItem* nodeAt(const QTreeWidget& tree, const QString& path) {
    const QStringList parts = path.split(QLatin1Char('\\'));
    QTreeWidgetItem* node = tree.topLevelItemCount() ? tree.topLevelItem(0) : nullptr;
    if (!node || node->text(0) != parts.front()) return nullptr;
    for (qsizetype p = 1; p < parts.size() && node; ++p) {
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < node->childCount() && !next; ++i)
            if (node->child(i)->text(0) == parts[p]) next = node->child(i);
        node = next;
    }
    return node;
}

// The dialogs' controls the tests use most, found by their names.
QComboBox& hostCombo(const QObject& dialog) { return control<QComboBox>(dialog, "HostCombo"); }
QComboBox& wmiPathCombo(const QObject& dialog) {
    return control<QComboBox>(dialog, "wmiPathCombo");
}
QComboBox& authLevelCombo(const QObject& dialog) {
    return control<QComboBox>(dialog, "AuthLevelCombo");
}
QLineEdit& userEdit(const QObject& dialog) { return control<QLineEdit>(dialog, "UserEdit"); }
QLineEdit& pswdEdit(const QObject& dialog) { return control<QLineEdit>(dialog, "PswdEdit"); }
QToolButton& bitBtn1(const QObject& dialog) { return control<QToolButton>(dialog, "BitBtn1"); }
QToolButton& bitBtn2(const QObject& dialog) { return control<QToolButton>(dialog, "BitBtn2"); }
QPushButton& okBtn(const QObject& dialog) { return control<QPushButton>(dialog, "OkBtn"); }
QPushButton& cancelBtn(const QObject& dialog) { return control<QPushButton>(dialog, "CancelBtn"); }
QTreeWidget& treeView1(const QObject& dialog) { return control<QTreeWidget>(dialog, "TreeView1"); }
QListWidget& computerList(const QObject& dialog) {
    return control<QListWidget>(dialog, "ComputerList");
}

QStringList itemsOf(const QComboBox& combo) {
    QStringList items;
    for (int i = 0; i < combo.count(); ++i) items << combo.itemText(i);
    return items;
}

class ConnectTest : public WindowTest {
  protected:
    // The window builds its dialogs when first needed.
    static ui::TConnectForm& connectForm(ui::TMainWin& window) {
        window.prepareDialogs();
        return control<ui::TConnectForm>(window, "ConnectForm");
    }
    static ui::TNameSpaceForm& namespaceChooser(ui::TMainWin& window) {
        window.prepareDialogs();
        return control<ui::TNameSpaceForm>(window, "NameSpaceForm");
    }
    void SetUp() override {
        WindowTest::SetUp();
        wbem::registerTestHost(kRemote, kNamespaceMof, "Admin", "pw1");
        wbem::registerTestHost(kLocalByRule, kNamespaceMof);
    }
    void TearDown() override {
        wbem::unregisterTestHost(kRemote);
        wbem::unregisterTestHost(kLocalByRule);
        WindowTest::TearDown();
    }

    // Plays the user of the connect dialog: `edit` changes the controls,
    // then OK (or Cancel) is clicked.
    static void answerConnect(ui::TMainWin& window, std::function<void(ui::TConnectForm&)> edit,
                              bool ok = true) {
        connectForm(window).Runner = [edit, ok](QDialog& dialog) {
            auto& form = static_cast<ui::TConnectForm&>(dialog);
            if (edit) edit(form);
            QTest::mouseClick(ok ? &okBtn(form) : &cancelBtn(form), Qt::LeftButton);
            return dialog.result();
        };
    }
    static void fill(ui::TConnectForm& form, const QString& host, const QString& nspace,
                     const QString& user = {}, const QString& password = {}) {
        hostCombo(form).setEditText(host);
        wmiPathCombo(form).setEditText(nspace);
        userEdit(form).setText(user);
        pswdEdit(form).setText(password);
    }
    // Connects as a user would through the dialog.
    static void connectTo(ui::TMainWin& window, const QString& host, const QString& nspace,
                          const QString& user = {}, const QString& password = {}) {
        answerConnect(window,
                      [=](ui::TConnectForm& form) { fill(form, host, nspace, user, password); });
        window.Connecttoremotehost1Click();
    }

    // Plays the user of the namespace chooser: selects the node at `path`
    // (none when empty) and clicks OK, or Cancel.
    static void answerChooser(ui::TMainWin& window, const QString& path, bool ok = true,
                              int* shown = nullptr) {
        namespaceChooser(window).Runner = [path, ok, shown](QDialog& dialog) {
            auto& form = static_cast<ui::TNameSpaceForm&>(dialog);
            if (shown) ++*shown;
            treeView1(form).clearSelection();
            if (!path.isEmpty()) {
                QTreeWidgetItem* node = nodeAt(treeView1(form), path);
                EXPECT_TRUE(node) << path.toStdString();
                if (node) node->setSelected(true);
            }
            QTest::mouseClick(ok ? &okBtn(form) : &cancelBtn(form), Qt::LeftButton);
            return dialog.result();
        };
    }
};

TEST_F(ConnectTest, ControlsCaptionsHintsAndTabOrder) {
    auto window = makeWindow();
    ui::TConnectForm& form = connectForm(*window);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Connect to"));
    EXPECT_EQ(hostCombo(form).currentText(), QStringLiteral("localhost"));
    EXPECT_EQ(itemsOf(hostCombo(form)), QStringList{QStringLiteral("localhost")});
    EXPECT_EQ(wmiPathCombo(form).currentText(), QStringLiteral("root\\cimv2"));
    EXPECT_EQ(wmiPathCombo(form).count(), 0);
    EXPECT_FALSE(authLevelCombo(form).isEditable());
    EXPECT_EQ(itemsOf(authLevelCombo(form)),
              (QStringList{"Default", "None", "Connect", "Call", "Packet", "Packet Integrity",
                           "Packet Privacy"}));
    EXPECT_EQ(pswdEdit(form).echoMode(), QLineEdit::Password);
    EXPECT_EQ(bitBtn2(form).toolTip(), QStringLiteral("Browse network"));
    EXPECT_EQ(bitBtn1(form).toolTip(), QStringLiteral("Browse name spaces"));
    EXPECT_TRUE(okBtn(form).isDefault());
    EXPECT_EQ(namespaceChooser(*window).windowTitle(), QStringLiteral("Choose namespace"));
    EXPECT_EQ(control<ui::TComputerPicker>(form, "BrowseForComp1").windowTitle(),
              QStringLiteral("Select computer"));
    EXPECT_TRUE(menuItem(*window, "Connecttoremotehost1").isEnabled());

    const std::vector<QWidget*> order{&hostCombo(form), &wmiPathCombo(form), &authLevelCombo(form),
                                      &userEdit(form),  &pswdEdit(form),     &bitBtn2(form),
                                      &bitBtn1(form),   &okBtn(form),        &cancelBtn(form)};
    std::vector<QWidget*> chain;
    QWidget* w = &hostCombo(form);
    do {
        if (std::find(order.begin(), order.end(), w) != order.end() &&
            std::find(chain.begin(), chain.end(), w) == chain.end())
            chain.push_back(w);
        w = w->nextInFocusChain();
    } while (w != &hostCombo(form));
    EXPECT_EQ(chain, order);
}

TEST_F(ConnectTest, TheDialogShowsTheConnectionAndOkAppliesIt) {
    auto window = startWindow({"-user:someone", "-pswd:old", "-authlevel:2"});
    int shown = 0;
    connectForm(*window).Runner = [&](QDialog& dialog) {
        ++shown;
        auto& form = static_cast<ui::TConnectForm&>(dialog);
        EXPECT_EQ(hostCombo(form).currentText(), QStringLiteral("uihost"));
        EXPECT_EQ(wmiPathCombo(form).currentText(), QStringLiteral("root\\cimv2"));
        EXPECT_EQ(userEdit(form).text(), QStringLiteral("someone"));
        EXPECT_EQ(pswdEdit(form).text(), QStringLiteral("old"));
        EXPECT_EQ(authLevelCombo(form).currentIndex(), 2);
        fill(form, QStringLiteral("  nshost\t"), QStringLiteral(" root\\cimv2 "),
             QStringLiteral("Admin"), QStringLiteral("pw1"));
        authLevelCombo(form).setCurrentIndex(6);
        QTest::mouseClick(&okBtn(form), Qt::LeftButton);
        return dialog.result();
    };
    menuItem(*window, "Connecttoremotehost1").trigger();
    ASSERT_EQ(shown, 1);
    EXPECT_EQ(window->WMI->Host, "nshost");
    EXPECT_EQ(window->WMI->Namespace, "root\\cimv2");
    EXPECT_EQ(window->WMI->User, "Admin");
    EXPECT_EQ(window->WMI->Password, "pw1");
    EXPECT_EQ(wmi::AuthenticationLevel.load(), 6);
    EXPECT_TRUE(prompts.errors().empty()) << prompts.errors().front().toStdString();
    EXPECT_EQ(classListBox(*window)
                  .findItems(QStringLiteral("Win32_OperatingSystem"), Qt::MatchExactly)
                  .size(),
              1);
    EXPECT_EQ(window->StatusText(0), QStringLiteral("nshost  root\\cimv2"));
    EXPECT_EQ(window->WMI->CodePage, 1252) << "the host's code set";
    ui::TConnectForm& form = connectForm(*window);
    EXPECT_EQ(itemsOf(hostCombo(form)), (QStringList{"nshost", "localhost"}));
    EXPECT_EQ(itemsOf(wmiPathCombo(form)), QStringList{"root\\cimv2"});
    EXPECT_EQ(hostCombo(form).currentText(), QStringLiteral("  nshost\t")) << "as typed";
    EXPECT_TRUE(pswdEdit(form).text().isEmpty()) << "the connection holds the password";

    // The histories survive a restart; the level does not.
    EXPECT_TRUE(window->FormCloseQuery());
    const settings::ProfileFile file = settings::ProfileFile::load(settingsFile());
    EXPECT_EQ(file.read("HostHistory", "Text0"), "nshost");
    EXPECT_EQ(file.readInteger("HostHistory", "Count", -1), 2);
    EXPECT_EQ(file.read("NSpaceHistory", "Text0"), "root\\cimv2");
    EXPECT_FALSE(file.read("WMI", "AuthenticationLevel").has_value());
    window.reset();
    wmi::AuthenticationLevel = 0;
    auto again = startWindow();
    EXPECT_EQ(itemsOf(hostCombo(connectForm(*again))), (QStringList{"nshost", "localhost"}));
    EXPECT_EQ(itemsOf(wmiPathCombo(connectForm(*again))), QStringList{"root\\cimv2"});
    EXPECT_EQ(wmiPathCombo(connectForm(*again)).currentText(), QStringLiteral("root\\cimv2"));
    EXPECT_EQ(wmi::AuthenticationLevel.load(), 0);
}

TEST_F(ConnectTest, CancelChangesNothing) {
    auto window = startWindow({"-authlevel:3"});
    const QStringList hosts = itemsOf(hostCombo(connectForm(*window)));
    answerConnect(
        *window,
        [](ui::TConnectForm& form) {
            fill(form, QStringLiteral("nshost"), QStringLiteral("root\\WMI"),
                 QStringLiteral("Admin"), QStringLiteral("pw1"));
            authLevelCombo(form).setCurrentIndex(6);
        },
        false);
    window->SetStatusText(1, QStringLiteral("unchanged"));
    menuItem(*window, "Connecttoremotehost1").trigger();
    EXPECT_EQ(window->WMI->Host, "uihost");
    EXPECT_EQ(window->WMI->Namespace, "root\\cimv2");
    EXPECT_EQ(window->WMI->User, "");
    EXPECT_EQ(window->WMI->Password, "");
    EXPECT_EQ(window->WMI->CodePage, wmi::LocalCodePage()) << "this machine's";
    EXPECT_EQ(wmi::AuthenticationLevel.load(), 3);
    EXPECT_EQ(window->StatusText(1), QStringLiteral("unchanged")) << "no class list reload";
    EXPECT_EQ(itemsOf(hostCombo(connectForm(*window))), hosts);
    EXPECT_EQ(wmiPathCombo(connectForm(*window)).count(), 0);
    EXPECT_TRUE(pswdEdit(connectForm(*window)).text().isEmpty())
        << "a typed password does not stay in the hidden dialog";
}

TEST_F(ConnectTest, EmptyFieldsAndRepeatedHosts) {
    auto window = startWindow();
    connectTo(*window, QStringLiteral(" \t "), QString());
    EXPECT_EQ(window->WMI->Host, ".");
    EXPECT_EQ(window->WMI->Namespace, "root\\cimv2");
    EXPECT_TRUE(prompts.errors().empty());
    EXPECT_EQ(itemsOf(hostCombo(connectForm(*window))), QStringList{"localhost"})
        << "an empty text is no history entry";

    answerConnect(*window, [](ui::TConnectForm& form) {
        EXPECT_EQ(hostCombo(form).currentText(), QStringLiteral("."));
        EXPECT_EQ(wmiPathCombo(form).currentText(), QStringLiteral("root\\cimv2"));
        fill(form, QStringLiteral("uihost"), QStringLiteral("root\\cimv2"));
    });
    window->Connecttoremotehost1Click();
    connectTo(*window, QStringLiteral("nshost "), QStringLiteral("root"), "Admin", "pw1");
    connectTo(*window, QStringLiteral("uihost"), QStringLiteral("root\\cimv2"));
    EXPECT_EQ(itemsOf(hostCombo(connectForm(*window))),
              (QStringList{"uihost", "nshost", "localhost"}));
    EXPECT_EQ(itemsOf(wmiPathCombo(connectForm(*window))), (QStringList{"root\\cimv2", "root"}));
}

TEST_F(ConnectTest, CodePageStaysWhenTheNamespaceCannotTell) {
    auto window = startWindow();
    connectTo(*window, QStringLiteral("nshost"), QStringLiteral("root\\cimv2"), "Admin", "pw1");
    EXPECT_EQ(window->WMI->CodePage, 1252);
    for (const char* nspace : {"root\\WMI", "root\\nosuch"}) {
        prompts.shown.clear();
        connectTo(*window, QStringLiteral("nshost"), QString::fromLatin1(nspace), "Admin", "pw1");
        EXPECT_EQ(window->WMI->CodePage, 1252) << nspace;
    }
    // The unknown namespace failed in the class list only, which said so.
    ASSERT_EQ(prompts.errors().size(), 1u);
    EXPECT_TRUE(prompts.errors().front().startsWith(QStringLiteral("Error: ")))
        << prompts.errors().front().toStdString();
}

TEST_F(ConnectTest, AFailedConnectionKeepsTheNewValues) {
    auto window = startWindow();
    connectTo(*window, QStringLiteral("unreachable.invalid"), QStringLiteral("root\\cimv2"));
    ASSERT_EQ(prompts.errors().size(), 1u);
    EXPECT_EQ(prompts.errors().front(), QStringLiteral("Error: The RPC server is unavailable."));
    EXPECT_EQ(window->WMI->Host, "unreachable.invalid");
    EXPECT_EQ(classListBox(*window).count(), 0);
    EXPECT_EQ(window->WMI->CodePage, wmi::LocalCodePage()) << "this machine's";
}

TEST_F(ConnectTest, AnotherHostOrNamespaceShowsNothingOfThePreviousClass) {
    for (const char* nspace : {"root\\cimv2", "root\\WMI"}) {
        SCOPED_TRACE(nspace);
        auto window = startWindow();
        ui::ColumnListBox& classes = classListBox(*window);
        const auto found = classes.findItems(QStringLiteral("Pair"), Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        classes.scrollToItem(found.first());
        QTest::mouseClick(classes.viewport(), Qt::LeftButton, {},
                          classes.visualItemRect(found.first()).center());
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return window->StatusText(2) == QStringLiteral("Instances: 2"); }, 10000));
        ASSERT_EQ(propGrid(*window).Cell(0, 1), QStringLiteral("Id"));

        connectTo(*window, QStringLiteral("nshost"), QString::fromLatin1(nspace), "Admin", "pw1");
        EXPECT_EQ(window->StatusText(0), QStringLiteral("nshost  ") + QString::fromLatin1(nspace));
        EXPECT_EQ(window->StatusText(2), QString());
        EXPECT_EQ(instanceListBox(*window).count(), 0);
        EXPECT_EQ(propGrid(*window).RowCount(), 2);
        EXPECT_EQ(propGrid(*window).Cell(0, 1), QString());
        EXPECT_EQ(propGrid(*window).Cell(1, 1), QString());
        QTest::qWait(300);  // no late count of the old class's run either
        EXPECT_EQ(window->StatusText(2), QString());
    }
}

TEST_F(ConnectTest, BrowseButtonFollowsTheHostWhenActivatedOrLeft) {
    auto window = makeWindow();
    ui::TConnectForm& form = connectForm(*window);
    struct Case {
        const char* host;
        bool enabled;
    };
    for (const Case& c : {Case{"", false}, Case{" \t", false}, Case{"x", true}}) {
        hostCombo(form).setEditText(QString::fromLatin1(c.host));
        form.FormActivate();
        EXPECT_EQ(bitBtn1(form).isEnabled(), c.enabled) << '"' << c.host << '"';
    }
    hostCombo(form).setEditText(QString());
    EXPECT_TRUE(bitBtn1(form).isEnabled()) << "typing alone does not re-run the rule";
    QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(&hostCombo(form), &leave);
    EXPECT_FALSE(bitBtn1(form).isEnabled()) << "leaving the host does";
}

TEST_F(ConnectTest, ComputerPickerOffersKnownNamesAndReturnsOne) {
    QTemporaryDir dir;
    const QString hosts = dir.filePath(QStringLiteral("hosts"));
    {
        QFile file(hosts);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            "127.0.0.1 localhost\n10.0.0.2 fileserver printer # office\nff02::1 ip6-allnodes\n");
    }
    auto window = makeWindow();
    ui::TConnectForm& form = connectForm(*window);
    form.HostsFile = hosts;
    hostCombo(form).setEditText(QStringLiteral("typed"));

    QStringList offered;
    for (const char* pick : {"printer", ""}) {
        control<ui::TComputerPicker>(form, "BrowseForComp1").Runner = [&, pick](QDialog& dialog) {
            auto& picker = static_cast<ui::TComputerPicker&>(dialog);
            offered.clear();
            for (int i = 0; i < computerList(picker).count(); ++i)
                offered << computerList(picker).item(i)->text();
            const QString name = QString::fromLatin1(pick);
            if (name.isEmpty()) {
                control<QDialogButtonBox>(picker, "Buttons")
                    .button(QDialogButtonBox::Cancel)
                    ->click();
            } else {
                computerList(picker).setCurrentRow(int(offered.indexOf(name)));
                control<QDialogButtonBox>(picker, "Buttons").button(QDialogButtonBox::Ok)->click();
            }
            return dialog.result();
        };
        form.BitBtn2Click();
        EXPECT_EQ(hostCombo(form).currentText(), QStringLiteral("printer")) << pick;
    }
    const QString own = QString::fromStdString(ui::LocalHostName());
    QStringList expected{own, "localhost", "fileserver", "printer"};
    expected.removeDuplicates();
    EXPECT_EQ(offered, expected);

    form.HostsFile = dir.filePath(QStringLiteral("missing"));
    control<ui::TComputerPicker>(form, "BrowseForComp1").Runner = [&](QDialog& dialog) {
        auto& picker = static_cast<ui::TComputerPicker&>(dialog);
        EXPECT_EQ(computerList(picker).count(), own == "localhost" ? 1 : 2);
        return int(QDialog::Rejected);
    };
    form.BitBtn2Click();
}

// --- Namespace chooser ---------------------------------------------------------------

TEST_F(ConnectTest, ALocalHostIsWalkedWholeExceptTheSkippedNamespaces) {
    auto window = startWindow();
    int shown = 0;
    answerChooser(*window, QStringLiteral("Root\\RSOP\\Computer\\ms_407\\Inner"), true, &shown);
    answerConnect(*window, [](ui::TConnectForm& form) {
        hostCombo(form).setEditText(QStringLiteral("127.0.0.5"));
        form.BitBtn1Click();
        EXPECT_EQ(wmiPathCombo(form).currentText(),
                  QStringLiteral("Root\\RSOP\\Computer\\ms_407\\Inner"));
    });
    window->Connecttoremotehost1Click();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(window->WMI->Namespace, "Root\\RSOP\\Computer\\ms_407\\Inner");
    EXPECT_EQ(treeLines(treeView1(namespaceChooser(*window))),
              (QStringList{"Root*", "  cimv2*", "    Sub*", "      Leaf*", "  RSOP*",
                           "    Computer*", "      ms_407*", "        Inner*", "      ms_409",
                           "    User", "  SECURITY", "  ServiceModel", "  WMI*"}));
    EXPECT_TRUE(treeView1(namespaceChooser(*window)).topLevelItem(0)->isExpanded());
}

TEST_F(ConnectTest, ARemoteHostIsWalkedALevelAtATime) {
    auto window = makeWindow();
    ui::TNameSpaceForm& chooser = namespaceChooser(*window);
    QStringList seen;
    chooser.Runner = [&](QDialog&) {
        seen = treeLines(treeView1(chooser));
        nodeAt(treeView1(chooser), QStringLiteral("Root\\RSOP"))->setExpanded(true);
        nodeAt(treeView1(chooser), QStringLiteral("Root\\RSOP\\User"))->setExpanded(true);
        nodeAt(treeView1(chooser), QStringLiteral("Root\\RSOP\\User\\Inner"))->setExpanded(true);
        nodeAt(treeView1(chooser), QStringLiteral("Root\\RSOP\\User"))->setSelected(true);
        okBtn(chooser).click();
        return chooser.result();
    };
    EXPECT_EQ(chooser.ChooseNamespace(kRemote, "admin", "pw1", true),
              QStringLiteral("Root\\RSOP\\User"));
    EXPECT_EQ(seen, (QStringList{"Root*", "  cimv2", "    temp", "  RSOP", "    temp", "  SECURITY",
                                 "    temp", "  ServiceModel", "    temp", "  WMI", "    temp"}));
    EXPECT_EQ(treeLines(treeView1(chooser)),
              (QStringList{"Root*", "  cimv2", "    temp", "  RSOP*", "    Computer", "      temp",
                           "    User*", "      Inner*", "  SECURITY", "    temp", "  ServiceModel",
                           "    temp", "  WMI", "    temp"}))
        << "a namespace without children loses its expand button";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ConnectTest, TheTreeIsKeptForTheSameCredentialsAndRebuiltForOthers) {
    auto window = makeWindow();
    ui::TNameSpaceForm& chooser = namespaceChooser(*window);
    int shown = 0;
    chooser.Runner = [&](QDialog&) {
        if (++shown == 1) {
            nodeAt(treeView1(chooser), QStringLiteral("Root\\cimv2"))->setExpanded(true);
            nodeAt(treeView1(chooser), QStringLiteral("Root\\cimv2\\Sub"))->setSelected(true);
        }
        okBtn(chooser).click();
        return chooser.result();
    };
    EXPECT_EQ(chooser.ChooseNamespace(kRemote, "Admin", "pw1", true),
              QStringLiteral("Root\\cimv2\\Sub"));
    const QStringList first = treeLines(treeView1(chooser));
    EXPECT_EQ(chooser.Built.password.find("pw1"), std::string::npos) << "kept as a digest only";

    // Nothing is asked of the host the second time: it is gone and no box says so.
    wbem::unregisterTestHost(kRemote);
    EXPECT_EQ(chooser.ChooseNamespace(kRemote, "Admin", "pw1", true),
              QStringLiteral("Root\\cimv2\\Sub"))
        << "the selection stays";
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(treeLines(treeView1(chooser)), first);
    EXPECT_TRUE(prompts.shown.empty());

    // Another password rebuilds, which the host refuses.
    wbem::registerTestHost(kRemote, kNamespaceMof, "Admin", "pw1");
    EXPECT_EQ(chooser.ChooseNamespace(kRemote, "Admin", "other", true), QString());
    EXPECT_EQ(shown, 2) << "no dialog after a failed root";
    ASSERT_EQ(prompts.errors().size(), 1u);
    EXPECT_EQ(prompts.errors().front(), QStringLiteral("Error: Access denied"));
    EXPECT_FALSE(prompts.shown.front().waitCursor) << "the box comes without the hourglass";

    // A tree left with its root only is rebuilt even for the same credentials.
    EXPECT_EQ(chooser.ChooseNamespace(kRemote, "Admin", "pw1", true), QString());
    EXPECT_EQ(shown, 3);
    EXPECT_EQ(treeLines(treeView1(chooser)).size(), 11);
}

TEST_F(ConnectTest, WhatTheChooserReturns) {
    auto window = makeWindow();
    ui::TConnectForm& form = connectForm(*window);
    struct Case {
        const char* select;  // empty: nothing selected
        bool ok;
        const char* namespaceAfter;
    };
    const Case cases[] = {
        {"Root\\cimv2\\Sub", true, "Root\\cimv2\\Sub"},  // two levels down
        {"Root", true, "Root"},
        {"", true, "root\\before"},  // OK without a selection
        {"Root\\WMI", false, "root\\before"},
    };
    for (const Case& c : cases) {
        hostCombo(form).setEditText(QStringLiteral("127.0.0.5"));
        wmiPathCombo(form).setEditText(QStringLiteral("root\\before"));
        answerChooser(*window, QString::fromLatin1(c.select), c.ok);
        form.BitBtn1Click();
        EXPECT_EQ(wmiPathCombo(form).currentText(), QString::fromLatin1(c.namespaceAfter))
            << c.select << " " << c.ok;
    }
}

TEST_F(ConnectTest, TheChooserGetsTheTrimmedUserWhileTheConnectionKeepsItsBlanks) {
    auto window = startWindow();
    answerChooser(*window, QStringLiteral("Root\\WMI"));
    answerConnect(*window, [](ui::TConnectForm& form) {
        fill(form, QStringLiteral(" nshost "), QStringLiteral("root"), QStringLiteral(" admin "),
             QStringLiteral("pw1"));
        form.BitBtn1Click();
    });
    window->Connecttoremotehost1Click();
    EXPECT_EQ(namespaceChooser(*window).Built.user, "admin");
    EXPECT_EQ(namespaceChooser(*window).Built.host, "nshost");
    EXPECT_EQ(window->WMI->Namespace, "Root\\WMI");
    EXPECT_EQ(window->WMI->User, " admin ");
    // The service takes the blanks as part of the name.
    ASSERT_EQ(prompts.errors().size(), 1u);
    EXPECT_EQ(prompts.errors().front(), QStringLiteral("Error: Access denied"));
}

TEST_F(ConnectTest, UnreachableHostOrRefusedLevelGivesAnErrorBoxAndNoTree) {
    auto window = makeWindow();
    ui::TConnectForm& form = connectForm(*window);
    int shown = 0;
    answerChooser(*window, QStringLiteral("Root"), true, &shown);
    struct Case {
        const char* host;
        int32_t level;  // the process-wide one; the dialog's list shows "Default"
        const char* error;
    };
    const Case cases[] = {
        {"unreachable.invalid", 0, "Error: The RPC server is unavailable."},
        {"127.0.0.5", 9, "Error: Invalid parameter"},
    };
    for (const Case& c : cases) {
        prompts.shown.clear();
        wmi::AuthenticationLevel = c.level;
        authLevelCombo(form).setCurrentIndex(0);
        hostCombo(form).setEditText(QString::fromLatin1(c.host));
        wmiPathCombo(form).setEditText(QStringLiteral("root\\kept"));
        form.BitBtn1Click();
        ASSERT_EQ(prompts.errors().size(), 1u) << c.host;
        EXPECT_EQ(prompts.errors().front(), QString::fromLatin1(c.error));
        EXPECT_EQ(wmiPathCombo(form).currentText(), QStringLiteral("root\\kept"));
    }
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(treeLines(treeView1(namespaceChooser(*window))), QStringList{"Root*"});
}

// --- Protocol area --------------------------------------------------------------------

// The protocol area's controls, found as a user's tools would find them.
struct ProtocolControls {
    QGroupBox* group;
    QComboBox* method;
    QLineEdit* caFile;
    QToolButton* browse;
    QCheckBox* unencrypted;

    explicit ProtocolControls(ui::TConnectForm& form)
        : group(form.findChild<QGroupBox*>(QStringLiteral("protocolGroup"))),
          method(form.findChild<QComboBox*>(QStringLiteral("authMethodCombo"))),
          caFile(form.findChild<QLineEdit*>(QStringLiteral("caFileEdit"))),
          browse(form.findChild<QToolButton*>(QStringLiteral("caFileBrowseBtn"))),
          unencrypted(form.findChild<QCheckBox*>(QStringLiteral("allowUnencryptedCheck"))) {}
    bool found() const { return group && method && caFile && browse && unencrypted; }
    bool shown() const { return !group->isHidden(); }
    // The area as "Method|CA file|unencrypted".
    QString state() const {
        return method->currentText() + '|' + caFile->text() + '|' +
               (unencrypted->isChecked() ? QStringLiteral("yes") : QStringLiteral("no"));
    }
    // Chooses as the user does: the method from the list, the file through
    // the browse button (answered by the prompts), the check box by a click.
    void choose(FakePrompts& prompts, const QString& method_, const QString& file,
                bool allowUnencrypted) {
        method->setCurrentIndex(method->findText(method_));
        emit method->activated(method->currentIndex());
        prompts.openFiles.push_back(file);
        browse->click();
        if (unencrypted->isChecked() != allowUnencrypted) unencrypted->click();
    }
};

TEST_F(ConnectTest, TheProtocolAreaShowsForRemoteHostsOnlyAndNothingMoves) {
    auto window = makeWindow();
    ui::TConnectForm& form = connectForm(*window);
    ProtocolControls area(form);
    ASSERT_TRUE(area.found());
    EXPECT_EQ(area.group->title(), QStringLiteral("Protocol"));
    QStringList methods;
    for (int i = 0; i < area.method->count(); ++i) methods << area.method->itemText(i);
    EXPECT_EQ(methods, (QStringList{"Negotiate", "Basic", "Kerberos", "NTLM"}));
    EXPECT_FALSE(area.shown()) << "the dialog starts on localhost";

    form.show();
    const QSize size = form.size();
    const QRect hostBox = control<QGroupBox>(form, "GroupBox1").geometry();
    struct Case {
        const char* host;
        bool shown;
    };
    for (const Case& c : {Case{"server1", true}, Case{".", false}, Case{"localhost", false},
                          Case{"https://server1:5986/wsman", true}, Case{"127.0.0.1", false},
                          Case{"[fe80::2]", true}, Case{"", false}}) {
        hostCombo(form).setEditText(QString::fromLatin1(c.host));
        QApplication::processEvents();
        EXPECT_EQ(area.shown(), c.shown) << '"' << c.host << '"';
        EXPECT_EQ(form.size(), size) << c.host;
        EXPECT_EQ(control<QGroupBox>(form, "GroupBox1").geometry(), hostBox)
            << "no shake at " << c.host;
    }
    // A pick from the history changes the host as typing does.
    hostCombo(form).addItem(QStringLiteral("server2"));
    hostCombo(form).setCurrentIndex(hostCombo(form).count() - 1);
    EXPECT_TRUE(area.shown());
    form.hide();

    // Tab goes through the area after the password, before the side buttons.
    const std::vector<QWidget*> order{&pswdEdit(form), area.method, area.unencrypted,
                                      area.caFile,     area.browse, &bitBtn2(form)};
    std::vector<QWidget*> chain;
    for (QWidget* w = &pswdEdit(form); chain.size() < order.size(); w = w->nextInFocusChain())
        if (std::find(order.begin(), order.end(), w) != order.end()) chain.push_back(w);
    EXPECT_EQ(chain, order);
}

TEST_F(ConnectTest, AConnectCarriesTheChosenOptionsAndTheyAreRememberedPerHost) {
    auto window = startWindow();
    wmitest::RecordingLocators locators;
    wmitest::Recorder& rec = locators.recorder();
    answerChooser(*window, QStringLiteral("Root\\cimv2"));
    answerConnect(*window, [this](ui::TConnectForm& form) {
        ProtocolControls area(form);
        fill(form, QStringLiteral("nshost"), QStringLiteral("root"), QStringLiteral("Admin"),
             QStringLiteral("pw1"));
        EXPECT_TRUE(area.shown());
        EXPECT_EQ(area.state(), QStringLiteral("Negotiate||no")) << "a new host: the defaults";
        area.choose(prompts, QStringLiteral("Basic"), QStringLiteral("/etc/ssl/corp.pem"), true);
        form.BitBtn1Click();  // the namespace tree with the same choices
    });
    window->Connecttoremotehost1Click();
    ASSERT_EQ(prompts.openRequests.size(), 1u);
    EXPECT_EQ(window->WMI->Namespace, "Root\\cimv2");
    EXPECT_EQ(window->WMI->remote.auth, wbem::AuthMethod::Basic);
    EXPECT_EQ(window->WMI->remote.caFile, "/etc/ssl/corp.pem");
    EXPECT_TRUE(window->WMI->remote.allowUnencrypted);
    // The chooser, the class list and the code set all connected with them.
    ASSERT_GE(rec.connectCount(), 3u);
    for (const auto& c : rec.connects) {
        EXPECT_EQ(c.host, "nshost");
        ASSERT_TRUE(c.options.has_value()) << c.nspace;
        EXPECT_EQ(c.options->auth, wbem::AuthMethod::Basic) << c.nspace;
        EXPECT_EQ(c.options->caFile, "/etc/ssl/corp.pem") << c.nspace;
        EXPECT_TRUE(c.options->allowUnencrypted) << c.nspace;
    }
    EXPECT_TRUE(prompts.errors().empty()) << prompts.errors().front().toStdString();

    // Back in the dialog: the host shows its choices, another host the
    // defaults, and the first host again its own, whatever its letter case.
    answerConnect(
        *window,
        [](ui::TConnectForm& form) {
            ProtocolControls area(form);
            EXPECT_EQ(area.state(), QStringLiteral("Basic|/etc/ssl/corp.pem|yes"));
            hostCombo(form).setEditText(QStringLiteral("otherhost"));
            EXPECT_EQ(area.state(), QStringLiteral("Negotiate||no"));
            hostCombo(form).setEditText(QStringLiteral("NSHOST"));
            EXPECT_EQ(area.state(), QStringLiteral("Basic|/etc/ssl/corp.pem|yes"));
            hostCombo(form).setEditText(QStringLiteral("."));
            EXPECT_FALSE(area.shown());
        },
        false);
    window->Connecttoremotehost1Click();

    // A local connect needs no protocol and remembers none.
    connectTo(*window, QStringLiteral("."), QStringLiteral("root\\cimv2"));
    EXPECT_EQ(window->WMI->remote.auth, wbem::AuthMethod::Negotiate);
    EXPECT_TRUE(window->WMI->remote.caFile.empty());

    // The file keeps the choices, and never the password.
    EXPECT_TRUE(window->FormCloseQuery());
    const settings::RemoteHostList saved =
        settings::LoadRemoteHosts(settings::ProfileFile::load(settingsFile()));
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].host, "nshost");
    EXPECT_EQ(saved[0].options.auth, wbem::AuthMethod::Basic);
    QFile file(QString::fromStdString(settingsFile()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("Auth0=basic")) << text.toStdString();
    EXPECT_FALSE(text.contains("pw1")) << text.toStdString();
    window.reset();

    // After a restart the dialog fills the host's choices from the file.
    auto again = startWindow();
    answerConnect(
        *again,
        [](ui::TConnectForm& form) {
            ProtocolControls area(form);
            hostCombo(form).setEditText(QStringLiteral("nshost"));
            EXPECT_EQ(area.state(), QStringLiteral("Basic|/etc/ssl/corp.pem|yes"));
        },
        false);
    again->Connecttoremotehost1Click();
}

TEST_F(ConnectTest, ChoicesMadeByHandStayWhileANewHostIsTyped) {
    auto window = startWindow();
    answerConnect(
        *window,
        [this](ui::TConnectForm& form) {
            ProtocolControls area(form);
            hostCombo(form).setEditText(QStringLiteral("new"));
            area.choose(prompts, QStringLiteral("NTLM"), QStringLiteral("a.pem"), false);
            hostCombo(form).setEditText(QStringLiteral("newhost"));
            EXPECT_EQ(area.state(), QStringLiteral("NTLM|a.pem|no"));
            prompts.openFiles.push_back(std::nullopt);  // the browse is cancelled
            area.browse->click();
            EXPECT_EQ(area.caFile->text(), QStringLiteral("a.pem"));
        },
        false);
    window->Connecttoremotehost1Click();
    EXPECT_EQ(prompts.openRequests.size(), 2u);
}

TEST_F(ConnectTest, CommandLineChoicesHoldForTheRunOverTheRememberedOnes) {
    wbem::RemoteOptions remembered;
    remembered.auth = wbem::AuthMethod::Ntlm;
    remembered.caFile = "remembered.pem";
    settings::RemoteHostList list;
    settings::RememberRemoteHost(list, "UIHOST", remembered);
    ASSERT_TRUE(settings::WriteRemoteHosts(settingsFile(), list));

    auto plain = startWindow();
    EXPECT_EQ(plain->WMI->remote.auth, wbem::AuthMethod::Ntlm);
    EXPECT_EQ(plain->WMI->remote.caFile, "remembered.pem");
    plain.reset();

    auto window = startWindow({"-auth:kerberos", "-unencrypted"});
    EXPECT_EQ(window->WMI->remote.auth, wbem::AuthMethod::Kerberos);
    EXPECT_EQ(window->WMI->remote.caFile, "remembered.pem");
    EXPECT_TRUE(window->WMI->remote.allowUnencrypted);
    EXPECT_TRUE(prompts.errors().empty());
    answerConnect(
        *window,
        [](ui::TConnectForm& form) {
            ProtocolControls area(form);
            EXPECT_EQ(area.state(), QStringLiteral("Kerberos|remembered.pem|yes"));
            hostCombo(form).setEditText(QStringLiteral("newhost"));
            EXPECT_EQ(area.state(), QStringLiteral("Kerberos||yes"))
                << "a new host starts from the command line's choices";
        },
        false);
    window->Connecttoremotehost1Click();
    EXPECT_TRUE(window->FormCloseQuery());
    const settings::RemoteHostList saved =
        settings::LoadRemoteHosts(settings::ProfileFile::load(settingsFile()));
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].options.auth, wbem::AuthMethod::Ntlm) << "the command line is not saved";
}

TEST_F(ConnectTest, AnUnknownMethodOnTheCommandLineIsToldAndTheRunGoesOn) {
    auto window = startWindow({"-auth:digest"});
    ASSERT_EQ(prompts.errors().size(), 1u);
    EXPECT_EQ(prompts.errors().front(),
              QStringLiteral("Unknown authentication method \"digest\" in -auth:. Use negotiate, "
                             "basic, kerberos or ntlm."));
    EXPECT_EQ(window->WMI->remote.auth, wbem::AuthMethod::Negotiate);
    EXPECT_GT(classListBox(*window).count(), 0) << "the class list is loaded all the same";
}

}  // namespace
}  // namespace uitest
