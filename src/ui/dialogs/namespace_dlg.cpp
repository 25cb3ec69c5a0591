#include "ui/dialogs/namespace_dlg.h"

#include <QCryptographicHash>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "ui/dialogs/prompts.h"
#include "ui/text_codec.h"
#include "ui/widgets/first_selected.h"
#include "ui/widgets/wait_cursor.h"
#include "wmi/bw_wmi.h"

namespace ui {

namespace {

constexpr int kMarkRole = Qt::UserRole + 1;
constexpr int kClientWidth = 414;
constexpr int kClientHeight = 224;
constexpr int kTreeWidth = 305;
// Namespace names become paths again, so they are fetched in the program's
// own text encoding, which holds every name.
constexpr int32_t kNamesCodePage = 65001;

// Overwrites and empties a secret when the scope ends, on every path.
struct ForgetOnExit {
    std::string& secret;
    ~ForgetOnExit() {
        std::fill(secret.begin(), secret.end(), '\0');
        secret.clear();
    }
};

std::string passwordDigest(const std::string& password) {
    const QByteArray digest = QCryptographicHash::hash(
        QByteArray::fromRawData(password.data(), qsizetype(password.size())),
        QCryptographicHash::Sha256);
    return digest.toHex().toStdString();
}

}  // namespace

TNameSpaceForm::TNameSpaceForm(Prompts& prompts, QWidget* parent)
    : QDialog(parent), prompts_(prompts) {
    setObjectName(QStringLiteral("NameSpaceForm"));
    setWindowTitle(QStringLiteral("Choose namespace"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);

    TreeView1 = new QTreeWidget(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setColumnCount(1);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView1->setFixedWidth(kTreeWidth);

    auto* OkBtn = new QPushButton(QStringLiteral("OK"), this);
    OkBtn->setObjectName(QStringLiteral("OkBtn"));
    OkBtn->setDefault(true);
    auto* CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(OkBtn);
    buttons->addWidget(CancelBtn);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 7);
    layout->addWidget(TreeView1);
    layout->addStretch(1);
    layout->addLayout(buttons);

    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(TreeView1, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* node) { TreeView1Expanding(node); });
}

int TNameSpaceForm::nodeCount() const {
    int count = 0;
    for (QTreeWidgetItemIterator it(TreeView1); *it; ++it) ++count;
    return count;
}

QString TNameSpaceForm::ChooseNamespace(const std::string& host, const std::string& user,
                                        const std::string& password, bool remote,
                                        const wbem::RemoteOptions& options) {
    // The password serves the enumerations of this call only.
    password_ = password;
    options_ = options;
    const ForgetOnExit forget{password_};
    {
        WaitCursor wait;
        const NamespaceTreeKey wanted{host, user, passwordDigest(password)};
        if (NeedsRebuild(Built, wanted, nodeCount())) {
            Built = wanted;
            // An error of an earlier tree says nothing about this one.
            LastError.clear();
            TreeView1->clear();
            auto* root = new QTreeWidgetItem(TreeView1, QStringList{QStringLiteral("Root")});
            AddNamespaceChildren("Root", root, !remote);
            if (nodeCount() <= 1 && !LastError.empty()) {
                wait.restore();
                prompts_.error(fromSystem(LastError));
                return {};
            }
            root->setExpanded(true);
        }
    }
    if (RunModal(*this, Runner) != QDialog::Accepted) return {};
    const QTreeWidgetItem* selected = firstSelected(*TreeView1);
    return selected ? NodePath(selected) : QString();
}

void TNameSpaceForm::AddNamespaceChildren(const std::string& path, QTreeWidgetItem* node,
                                          bool eager) {
    if (eager && IsSkippedNamespace(path)) return;
    node->setData(0, kMarkRole, true);
    std::string answer;
    if (!wmi::QueryValues(Built.host, path, Built.user, answer, kNamesCodePage, true, "", "Name",
                          "__NAMESPACE", password_, &options_)) {
        LastError = wmi::Trimmed(answer);
        return;
    }
    for (const std::string& name : NamespaceNames(answer)) {
        auto* child = new QTreeWidgetItem(node, QStringList{fromSystem(name)});
        if (eager)
            AddNamespaceChildren(path + '\\' + name, child, true);
        else
            new QTreeWidgetItem(child, QStringList{QString::fromLatin1(kPlaceholder)});
    }
}

void TNameSpaceForm::TreeView1Expanding(QTreeWidgetItem* node) {
    if (!node || Marked(node)) return;
    WaitCursor wait;
    qDeleteAll(node->takeChildren());
    AddNamespaceChildren(toSystem(NodePath(node)), node, false);
}

QString TNameSpaceForm::NodePath(const QTreeWidgetItem* node) {
    std::vector<std::string> texts;
    for (; node; node = node->parent()) texts.push_back(toSystem(node->text(0)));
    return fromSystem(PathFromNodeTexts(texts));
}

bool TNameSpaceForm::Marked(const QTreeWidgetItem* node) {
    return node && node->data(0, kMarkRole).toBool();
}

}  // namespace ui
