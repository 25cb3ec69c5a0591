#include "ui/dialog_prompts.h"

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
    QStringList filters;
    for (const auto& [label, pattern] : request.filters)
        filters << QStringLiteral("%1 (%2)").arg(label, pattern);
    dialog.setNameFilters(filters);
    if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return files.front();
}

}  // namespace ui
