#include "ui/dialogs/find_win.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/widgets/combo_history.h"
#include "ui/widgets/named.h"

namespace ui {

namespace {

constexpr int kClientWidth = 384;
constexpr int kClientHeight = 105;
constexpr int kFindTextWidth = 204;

}  // namespace

TFindDialog::TFindDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TFindDialog"));
    setWindowTitle(QStringLiteral("Find"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* Bevel1 = named(new QFrame(this), "Bevel1");
    Bevel1->setFrameShape(QFrame::StyledPanel);
    Bevel1->setFrameShadow(QFrame::Sunken);
    auto* Label1 = named(new QLabel(QStringLiteral("Find what :"), Bevel1), "Label1");
    FindText = named(new QComboBox(Bevel1), "FindText");
    FindText->setEditable(true);
    FindText->setInsertPolicy(QComboBox::NoInsert);  // OK puts the text into the history
    FindText->setCompleter(nullptr);                 // searched exactly as typed
    FindText->setFixedWidth(kFindTextWidth);
    Label1->setBuddy(FindText);
    MatchWholeWordChk =
        named(new QCheckBox(QStringLiteral("Match whole word only"), Bevel1), "MatchWholeWordChk");
    MatchCaseChk = named(new QCheckBox(QStringLiteral("Match case"), Bevel1), "MatchCaseChk");

    auto* inner = new QGridLayout(Bevel1);
    inner->setContentsMargins(8, 6, 8, 6);
    inner->setVerticalSpacing(2);
    inner->addWidget(Label1, 0, 0);
    inner->addWidget(FindText, 0, 1);
    inner->addWidget(MatchWholeWordChk, 1, 0, 1, 2);
    inner->addWidget(MatchCaseChk, 2, 0, 1, 2);

    auto* OKBtn = named(new QPushButton(QStringLiteral("&Find"), this), "OKBtn");
    OKBtn->setDefault(true);
    OKBtn->setAutoDefault(true);
    auto* CancelBtn = named(new QPushButton(QStringLiteral("Cancel"), this), "CancelBtn");
    CancelBtn->setAutoDefault(false);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    // Enter in the text is the default button, as in the rest of the dialog.
    connect(FindText->lineEdit(), &QLineEdit::returnPressed, this, &QDialog::accept);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    buttons->addStretch(1);
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(8, 8, 8, 8);
    outer->addWidget(Bevel1, 1);
    outer->addLayout(buttons);

    setTabOrder(FindText, MatchWholeWordChk);
    setTabOrder(MatchWholeWordChk, MatchCaseChk);
    setTabOrder(MatchCaseChk, OKBtn);
    setTabOrder(OKBtn, CancelBtn);

    // Not resizable; never smaller than its controls need in the system font.
    const QSize hint = sizeHint();
    setFixedSize(std::max(kClientWidth, hint.width()), std::max(kClientHeight, hint.height()));
}

bool TFindDialog::ShowFind() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    FindText->setFocus();
    FindText->lineEdit()->selectAll();
    if (exec() != QDialog::Accepted) return false;
    addToComboHistory(*FindText, FindText->currentText());
    return true;
}

FindRequest TFindDialog::request() const {
    return {FindText->currentText(), MatchWholeWordChk->isChecked(), MatchCaseChk->isChecked()};
}

void TFindDialog::setRequest(const FindRequest& request) {
    FindText->setEditText(request.text);
    MatchWholeWordChk->setChecked(request.wholeWord);
    MatchCaseChk->setChecked(request.matchCase);
}

settings::HistoryList TFindDialog::history() const { return comboHistory(*FindText); }

void TFindDialog::setHistory(const settings::HistoryList& history) {
    setComboHistory(*FindText, history);
}

}  // namespace ui
