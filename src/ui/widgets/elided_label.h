// A label for a fixed-width status panel: a text wider than the panel shows
// its start and end with an ellipsis between, and the whole text as tooltip.
#pragma once

#include <QLabel>
#include <QString>

namespace ui {

class ElidedLabel : public QLabel {
  public:
    explicit ElidedLabel(QWidget* parent = nullptr) : QLabel(parent) {}

    void setFullText(const QString& text);
    // The text as set, not as shown.
    const QString& fullText() const { return full_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void elide();

    QString full_;
};

}  // namespace ui
