#include "ui/widgets/image_list.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include "ui/widgets/deferred_icon.h"

// Resources of a static library are registered by hand, outside any namespace.
static void initImageResources() { Q_INIT_RESOURCE(images); }

namespace ui {

namespace {

// The icon as it was always built: the picture at each scale the screen uses.
QIcon renderedIcon(int index) {
    // Twice the size as well on screens with more than one device pixel per pixel.
    const int scales = qApp && qApp->devicePixelRatio() > 1.0 ? 2 : 1;
    QIcon icon;
    for (int scale = 1; scale <= scales; ++scale) {
        QPixmap pixmap = QPixmap::fromImage(renderImage(index, ImageList::kSize * scale));
        pixmap.setDevicePixelRatio(scale);
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

QImage renderImage(int index, int size) {
    if (index < 0 || index >= ImageList::kCount || size <= 0) return {};
    static const bool registered = (initImageResources(), true);
    (void)registered;
    QSvgRenderer renderer(QStringLiteral(":/images/%1.svg").arg(index));
    if (!renderer.isValid()) return {};
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, size, size));
    return image;
}

QIcon imageIcon(int index) {
    if (index < 0 || index >= ImageList::kCount) return {};
    return deferredIcon([index] { return renderedIcon(index); });
}

ImageList::ImageList() {
    for (int i = 0; i < kCount; ++i) icons_[static_cast<size_t>(i)] = imageIcon(i);
}

QIcon ImageList::icon(int index) const {
    if (index < 0 || index >= kCount) return {};
    return icons_[static_cast<size_t>(index)];
}

}  // namespace ui
