// The computer picker of the connect dialog: a small list of the computers
// this machine knows (its own name, the host history, the hosts file), from
// which the user takes one name or none.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <optional>

#include "ui/dialogs/modal_runner.h"

class QDialogButtonBox;
class QListWidget;

namespace ui {

class TComputerPicker : public QDialog {
    Q_OBJECT

  public:
    explicit TComputerPicker(QWidget* parent = nullptr);

    // Offers the names (the first one selected) and returns the one picked,
    // or nullopt when the user cancelled or picked nothing.
    std::optional<QString> Execute(const QStringList& names);

    ModalRunner Runner;  // empty: exec()

  private:
    QListWidget* ComputerList = nullptr;
    QDialogButtonBox* Buttons = nullptr;
};

// The names of the hosts file at `path`; none when it cannot be read.
QStringList HostsFileComputers(const QString& path = QStringLiteral("/etc/hosts"));

}  // namespace ui
