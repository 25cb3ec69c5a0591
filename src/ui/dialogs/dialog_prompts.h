// The prompts of the running program: Qt's message boxes and file dialogs,
// owned by the window that is active when they are shown.
#pragma once

#include "ui/dialogs/prompts.h"

namespace ui {

class DialogPrompts : public Prompts {
  public:
    void error(const QString& text) override;
    void plain(const QString& text) override;
    void warning(const QString& text) override;
    bool question(const QString& text) override;
    std::optional<QString> saveFile(const SaveRequest& request) override;
    std::optional<QString> openFile(const OpenRequest& request) override;
};

// Message box texts arrive with Windows line ends ("\r\n", and "\r" alone);
// a box shows each of them as one line break.
QString boxText(const QString& text);

}  // namespace ui
