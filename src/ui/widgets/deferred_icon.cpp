#include "ui/widgets/deferred_icon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <memory>
#include <optional>
#include <utility>

namespace ui {

namespace {

// Hands every question to the made icon, which it makes on the first
// question that needs pixels.
class DeferredIconEngine : public QIconEngine {
  public:
    explicit DeferredIconEngine(std::function<QIcon()> make)
        : made_(std::make_shared<Made>(Made{std::move(make), std::nullopt})) {}

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
    bool isNull() override { return false; }
    QString key() const override { return QStringLiteral("cimscope-deferred"); }
    QIconEngine* clone() const override { return new DeferredIconEngine(*this); }

  private:
    struct Made {
        std::function<QIcon()> make;
        std::optional<QIcon> icon;
    };

    const QIcon& icon() {
        if (!made_->icon) {
            made_->icon = made_->make();
            made_->make = nullptr;  // what it held is needed no more
        }
        return *made_->icon;
    }

    std::shared_ptr<Made> made_;
};

}  // namespace

QIcon deferredIcon(std::function<QIcon()> make) {
    return QIcon(new DeferredIconEngine(std::move(make)));
}

}  // namespace ui
