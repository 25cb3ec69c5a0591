#include "ui/widgets/elided_label.h"

#include <QFontMetrics>

namespace ui {

void ElidedLabel::setFullText(const QString& text) {
    full_ = text;
    elide();
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::elide() {
    const QString shown =
        fontMetrics().elidedText(full_, Qt::ElideMiddle, contentsRect().width() - 2 * margin());
    setText(shown);
    setToolTip(full_);
}

}  // namespace ui
