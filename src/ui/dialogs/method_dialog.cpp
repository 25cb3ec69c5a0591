#include "ui/dialogs/method_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialogs/prompts.h"
#include "ui/method_form.h"
#include "ui/text_codec.h"
#include "ui/widgets/filled_window.h"
#include "ui/widgets/named.h"

namespace ui {

namespace {

// A text editor's contents, whichever kind it is.
QString editorText(const QWidget* editor) {
    if (auto* box = qobject_cast<const QCheckBox*>(editor))
        return box->isChecked() ? QStringLiteral("true") : QStringLiteral("false");
    if (auto* line = qobject_cast<const QLineEdit*>(editor)) return line->text();
    if (auto* lines = qobject_cast<const QPlainTextEdit*>(editor)) return lines->toPlainText();
    return {};
}

}  // namespace

MethodDialog::MethodDialog(wmi::MethodSignature signature, const QString& target, Run run,
                           Prompts& prompts, QWidget* parent)
    : QDialog(parent),
      signature_(std::move(signature)),
      target_(target),
      run_(std::move(run)),
      prompts_(prompts) {
    setObjectName(QStringLiteral("MethodDialog"));
    setWindowTitle(QStringLiteral("Execute method %1").arg(fromSystem(signature_.name)));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(520, 420);

    auto* column = new QVBoxLayout(this);
    auto* TargetLabel = named(new QLabel(QStringLiteral("On: ") + target_, this), "TargetLabel");
    TargetLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    TargetLabel->setWordWrap(true);
    column->addWidget(TargetLabel);

    auto* form = new QFormLayout;
    const auto editors = MethodEditors(signature_);
    if (editors.empty())
        form->addRow(named(new QLabel(QStringLiteral("(no in-parameters)"), this), "NoParams"));
    for (size_t i = 0; i < editors.size(); ++i) {
        const ParameterEditor& e = editors[i];
        QWidget* editor = nullptr;
        switch (e.kind) {
            case EditorKind::CheckBox:
                editor = new QCheckBox(this);
                break;
            case EditorKind::Lines: {
                auto* lines = new QPlainTextEdit(this);
                lines->setTabChangesFocus(true);
                lines->setFixedHeight(lines->fontMetrics().lineSpacing() * 4 + 12);
                connect(lines, &QPlainTextEdit::textChanged, this, [this, i] { markProblem(i); });
                editor = lines;
                break;
            }
            case EditorKind::None: {
                auto* line = new QLineEdit(this);
                line->setEnabled(false);
                line->setPlaceholderText(QStringLiteral("(not given)"));
                editor = line;
                break;
            }
            default: {
                auto* line = new QLineEdit(this);
                connect(line, &QLineEdit::textChanged, this, [this, i] { markProblem(i); });
                editor = line;
            }
        }
        editor->setObjectName(QStringLiteral("Param") + e.name);
        editor->setToolTip(e.toolTip);
        editor->setProperty("parameterToolTip", e.toolTip);
        auto* label = new QLabel(e.label, this);
        label->setToolTip(e.toolTip);
        label->setBuddy(editor);
        form->addRow(label, editor);
        editors_.push_back(editor);
    }
    column->addLayout(form);

    column->addWidget(new QLabel(QStringLiteral("Out-parameters:"), this));
    OutParams = named(new QPlainTextEdit(this), "OutParams");
    OutParams->setReadOnly(true);
    OutParams->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    column->addWidget(OutParams, 1);

    auto* buttons = new QDialogButtonBox(this);
    auto* ExecuteBtn = named(
        buttons->addButton(QStringLiteral("&Execute"), QDialogButtonBox::ActionRole), "ExecuteBtn");
    auto* CloseBtn = named(buttons->addButton(QDialogButtonBox::Close), "CloseBtn");
    ExecuteBtn->setDefault(true);
    connect(ExecuteBtn, &QPushButton::clicked, this, [this] { ExecuteBtnClick(); });
    connect(CloseBtn, &QPushButton::clicked, this, &QDialog::close);
    column->addWidget(buttons);
}

std::vector<QString> MethodDialog::contents() const {
    std::vector<QString> out;
    for (const QWidget* e : editors_) out.push_back(editorText(e));
    return out;
}

// A value that does not fit its type shows red, with the reason as tooltip.
void MethodDialog::markProblem(size_t index) {
    QWidget* editor = editors_[index];
    const QString problem = ValueProblem(signature_.in[index], editorText(editor));
    editor->setStyleSheet(problem.isEmpty() ? QString() : QStringLiteral("color: red"));
    editor->setToolTip(problem.isEmpty() ? editor->property("parameterToolTip").toString()
                                         : problem);
}

void MethodDialog::ExecuteBtnClick() {
    const std::vector<QString> values = contents();
    for (size_t i = 0; i < editors_.size(); ++i) {
        const QString problem = ValueProblem(signature_.in[i], values[i]);
        if (problem.isEmpty()) continue;
        prompts_.error(QStringLiteral("%1: %2").arg(fromSystem(signature_.in[i].name), problem));
        editors_[i]->setFocus();
        return;
    }
    const wmi::MethodArguments arguments = ArgumentsFrom(signature_, values);
    if (!prompts_.question(ConfirmText(signature_, target_))) return;
    try {
        const wmi::MethodOutcome outcome = run_(arguments);
        OutParams->setPlainText(fromSystem(wmi::OutcomeText(outcome)));
    } catch (const std::exception& e) {
        OutParams->clear();
        prompts_.error(errorText(e));
    }
}

MethodDialog* showMethodDialog(wmi::MethodSignature signature, const QString& target,
                               MethodDialog::Run run, Prompts& prompts, QWidget* parent) {
    return showInFront(
        new MethodDialog(std::move(signature), target, std::move(run), prompts, parent));
}

}  // namespace ui
