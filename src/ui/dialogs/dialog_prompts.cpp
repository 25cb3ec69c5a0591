#include "ui/dialogs/dialog_prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace ui {

namespace {

const QString kCaption = QStringLiteral("Cimscope");

int show(QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons,
         QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, kCaption, boxText(text), buttons, QApplication::activeWindow());
    box.setDefaultButton(defaultButton);
    return box.exec();
}

std::optional<QString> runFileDialog(QFileDialog& dialog,
                                     const std::vector<std::pair<QString, QString>>& filters,
                                     const QString& fileName) {
    QStringList names;
    for (const auto& [label, pattern] : filters)
        names << QStringLiteral("%1 (%2)").arg(label, pattern);
    dialog.setNameFilters(names);
    if (!fileName.isEmpty()) dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return files.front();
}

}  // namespace

QString boxText(const QString& text) {
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

void DialogPrompts::error(const QString& text) {
    show(QMessageBox::Critical, text, QMessageBox::Ok, QMessageBox::Ok);
}

void DialogPrompts::plain(const QString& text) {
    show(QMessageBox::NoIcon, text, QMessageBox::Ok, QMessageBox::Ok);
}

void DialogPrompts::warning(const QString& text) {
    show(QMessageBox::Warning, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool DialogPrompts::question(const QString& text) {
    return show(QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No,
                QMessageBox::Yes) == QMessageBox::Yes;
}

std::optional<QString> DialogPrompts::saveFile(const SaveRequest& request) {
    QFileDialog dialog(QApplication::activeWindow(), request.title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(request.defaultSuffix);
    return runFileDialog(dialog, request.filters, request.fileName);
}

std::optional<QString> DialogPrompts::openFile(const OpenRequest& request) {
    QFileDialog dialog(QApplication::activeWindow(), request.title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return runFileDialog(dialog, request.filters, request.fileName);
}

}  // namespace ui
