// Every modal box the windows show goes through this interface: the program
// puts message boxes and the file dialog behind it, tests a scripted fake, so
// that no test ever blocks on a box. The window receives it at construction.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

namespace ui {

// A save dialog's settings.
struct SaveRequest {
    QString title;
    // Filter entries as label and pattern: {"HTML file", "*.htm"}, ...
    std::vector<std::pair<QString, QString>> filters;
    QString defaultSuffix;  // added to a name typed without extension
    QString fileName;       // proposed name, e.g. the one chosen last time
};

// An open dialog's settings: an existing file is chosen.
struct OpenRequest {
    QString title;
    std::vector<std::pair<QString, QString>> filters;  // as in SaveRequest
    QString fileName;                                  // proposed name or folder
};

class Prompts {
  public:
    virtual ~Prompts() = default;

    // Error icon, one OK button.
    virtual void error(const QString& text) = 0;
    // No icon, one OK button.
    virtual void plain(const QString& text) = 0;
    // Warning icon, one OK button.
    virtual void warning(const QString& text) = 0;
    // Yes and No; true for Yes.
    virtual bool question(const QString& text) = 0;
    // The chosen file, or nullopt when the user cancelled.
    virtual std::optional<QString> saveFile(const SaveRequest& request) = 0;
    // The chosen existing file, or nullopt when the user cancelled.
    virtual std::optional<QString> openFile(const OpenRequest& request) = 0;
};

}  // namespace ui
