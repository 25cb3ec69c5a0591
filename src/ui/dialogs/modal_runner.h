// How a dialog is shown modally. The program runs it with exec(); a test
// puts a function in its place that plays the user (fills the controls,
// clicks OK or Cancel) and returns the dialog's result, so no test blocks.
#pragma once

#include <QDialog>
#include <functional>

namespace ui {

using ModalRunner = std::function<int(QDialog& dialog)>;

// Shows the dialog with the runner, or with exec() when there is none. The
// result starts as Rejected, so a runner that closes nothing cancels.
inline int RunModal(QDialog& dialog, const ModalRunner& runner) {
    dialog.setResult(QDialog::Rejected);
    if (!runner) return dialog.exec();
    return runner(dialog);
}

}  // namespace ui
