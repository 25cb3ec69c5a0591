#include "ui/widgets/deferred_icon_style.h"

#include <QApplication>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>

#include "ui/widgets/deferred_icon.h"

namespace ui {

namespace {

class DeferredIconStyle : public QProxyStyle {
    Q_OBJECT

  public:
    using QProxyStyle::QProxyStyle;

    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option,
                       const QWidget* widget) const override {
        if (icon != SP_ToolBarHorizontalExtensionButton &&
            icon != SP_ToolBarVerticalExtensionButton)
            return QProxyStyle::standardIcon(icon, option, widget);
        // The option and the widget may be gone by the first paint; the
        // picture depends on neither but for the direction, which is the
        // application's. The style may be replaced by then too.
        return deferredIcon([style = QPointer<const QStyle>(baseStyle()), icon] {
            const QStyle* from = style ? style.data() : QApplication::style();
            return from->standardIcon(icon, nullptr, nullptr);
        });
    }
};

}  // namespace

void deferStandardIcons() {
    QStyle* current = QApplication::style();
    if (!current || qobject_cast<DeferredIconStyle*>(current)) return;
    // A style of the same kind to stand behind the proxy; one that cannot be
    // made again by name (a plug-in's, say) is left as it is.
    QStyle* base = QStyleFactory::create(current->name());
    if (!base) return;
    QApplication::setStyle(new DeferredIconStyle(base));
}

}  // namespace ui

#include "deferred_icon_style.moc"
