#include "ui/widgets/key_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "ui/widgets/image_list.h"

namespace ui {

QIcon keyIcon() {
    const int size = ImageList::kSize;
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x80, 0x60, 0x00), 1.2));
    p.setBrush(QColor(0xE8, 0xB8, 0x20));
    // A ring for the bow, a shaft to the right and two teeth below it.
    QPainterPath key;
    key.addEllipse(QRectF(1.5, 4.5, 7, 7));
    key.addRect(QRectF(8, 7, 7, 2));
    key.addRect(QRectF(11, 9, 1.6, 3));
    key.addRect(QRectF(13.4, 9, 1.6, 2));
    p.drawPath(key.simplified());
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(3.5, 6.5, 3, 3));
    return QIcon(pixmap);
}

}  // namespace ui
