// Running a method from the methods tree: one editor per in-parameter
// (method_form.h says which), Execute, a confirmation naming the method and
// the object, then the out-parameters and ReturnValue below. Opened beside
// the window, not modal; it frees itself when closed.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <vector>

#include "wmi/method_call.h"

class QPlainTextEdit;

namespace ui {

class Prompts;

class MethodDialog : public QDialog {
    Q_OBJECT

  public:
    // Runs the method with the arguments; throws what the call throws.
    using Run = std::function<wmi::MethodOutcome(const wmi::MethodArguments&)>;

    // `target` names the object (a path, or the class for a static method).
    // The prompts must outlive the dialog.
    MethodDialog(wmi::MethodSignature signature, const QString& target, Run run, Prompts& prompts,
                 QWidget* parent = nullptr);

    // Checks every editor, asks, runs, and shows what came back; a failure
    // is told in an error box.
    void ExecuteBtnClick();

  private:
    std::vector<QString> contents() const;
    void markProblem(size_t index);

    wmi::MethodSignature signature_;
    QString target_;
    Run run_;
    Prompts& prompts_;
    std::vector<QWidget*> editors_;  // one per in-parameter, as signature_.in
    QPlainTextEdit* OutParams = nullptr;
};

// Opens the dialog over `parent` and returns it.
MethodDialog* showMethodDialog(wmi::MethodSignature signature, const QString& target,
                               MethodDialog::Run run, Prompts& prompts, QWidget* parent);

}  // namespace ui
