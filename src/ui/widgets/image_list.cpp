#include "ui/widgets/image_list.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <memory>
#include <optional>

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

// Hands every question to the rendered icon, which it makes on the first
// question that needs pixels. Copies of the icon share the rendered one.
class DeferredIconEngine : public QIconEngine {
  public:
    explicit DeferredIconEngine(int index)
        : index_(index), rendered_(std::make_shared<std::optional<QIcon>>()) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().pixmap(size, mode, state);
    }
    // `size` is in device pixels already; QIcon::pixmap multiplies by the scale again.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        return icon().pixmap((QSizeF(size) / scale).toSize(), scale, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return icon().availableSizes(mode, state);
    }
    // Every index it is made for has a picture, so this needs no rendering.
    bool isNull() override { return false; }
    QString key() const override { return QStringLiteral("cimscope-deferred"); }
    QIconEngine* clone() const override { return new DeferredIconEngine(*this); }

  private:
    const QIcon& icon() {
        if (!*rendered_) *rendered_ = renderedIcon(index_);
        return **rendered_;
    }

    int index_;
    std::shared_ptr<std::optional<QIcon>> rendered_;
};

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
    return QIcon(new DeferredIconEngine(index));
}

ImageList::ImageList() {
    for (int i = 0; i < kCount; ++i) icons_[static_cast<size_t>(i)] = imageIcon(i);
}

QIcon ImageList::icon(int index) const {
    if (index < 0 || index >= kCount) return {};
    return icons_[static_cast<size_t>(index)];
}

}  // namespace ui
