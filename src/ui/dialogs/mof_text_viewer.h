// The MOF text of a class or instance (GetObjectText_), read-only, with a
// button that copies it whole. Opened beside the window, not modal; it frees
// itself when closed.
#pragma once

#include <QDialog>
#include <QString>

class QPlainTextEdit;

namespace ui {

class MofTextViewer : public QDialog {
    Q_OBJECT

  public:
    // `what` names the object in the title ("Win32_Process", a path).
    MofTextViewer(const QString& what, const QString& text, QWidget* parent = nullptr);

    void CopyBtnClick();  // the whole text on the clipboard

  private:
    QPlainTextEdit* MofText = nullptr;
};

// Opens a viewer of the text over `parent` and returns it.
MofTextViewer* showMofText(const QString& what, const QString& text, QWidget* parent);

}  // namespace ui
