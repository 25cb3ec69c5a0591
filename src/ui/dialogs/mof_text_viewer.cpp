#include "ui/dialogs/mof_text_viewer.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/widgets/copy_key.h"
#include "ui/widgets/filled_window.h"
#include "ui/widgets/named.h"

namespace ui {

MofTextViewer::MofTextViewer(const QString& what, const QString& text, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("MofTextViewer"));
    setWindowTitle(QStringLiteral("MOF text - %1").arg(what));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(640, 480);

    MofText = named(new QPlainTextEdit(this), "MofText");
    MofText->setReadOnly(true);
    MofText->setLineWrapMode(QPlainTextEdit::NoWrap);
    MofText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // MOF indents with tabs: four columns each, as editors show it.
    MofText->setTabStopDistance(MofText->fontMetrics().horizontalAdvance(QLatin1Char(' ')) * 4);
    MofText->setPlainText(text);

    auto* buttons = new QDialogButtonBox(this);
    auto* CopyBtn =
        named(buttons->addButton(QStringLiteral("Copy"), QDialogButtonBox::ActionRole), "CopyBtn");
    auto* CloseBtn = named(buttons->addButton(QDialogButtonBox::Close), "CloseBtn");
    connect(CopyBtn, &QPushButton::clicked, this, [this] { CopyBtnClick(); });
    connect(CloseBtn, &QPushButton::clicked, this, &QDialog::close);

    auto* column = new QVBoxLayout(this);
    column->addWidget(MofText, 1);
    column->addWidget(buttons);
}

void MofTextViewer::CopyBtnClick() { putOnClipboard(MofText->toPlainText()); }

MofTextViewer* showMofText(const QString& what, const QString& text, QWidget* parent) {
    return showInFront(new MofTextViewer(what, text, parent));
}

}  // namespace ui
