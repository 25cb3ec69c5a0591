// The copy commands of the Classes tab's views: the clipboard they write, and
// Ctrl+C (the platform's copy keys) in a view running the view's own copy
// command instead of the view's copy of its current cell.
#pragma once

#include <QAction>
#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QObject>
#include <QWidget>
#include <functional>

namespace ui {

// The text replaces whatever the clipboard held.
inline void putOnClipboard(const QString& text) { QGuiApplication::clipboard()->setText(text); }

class CopyKey : public QObject {
  public:
    CopyKey(QWidget* view, std::function<void()> onCopy)
        : QObject(view), onCopy_(std::move(onCopy)) {
        view->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (!key->matches(QKeySequence::Copy)) return false;
        if (event->type() == QEvent::ShortcutOverride) {
            key->accept();  // the key comes to the view, not to a shortcut
            return true;
        }
        onCopy_();
        return true;
    }

  private:
    std::function<void()> onCopy_;
};

// Ctrl+C in the view does what `item`, the first item of the view's menu,
// does, when the menu as it opens (`prepare`) would enable it.
inline void copyKeyRuns(QWidget* view, QAction* item, std::function<void()> prepare) {
    new CopyKey(view, [item, prepare = std::move(prepare)] {
        prepare();
        if (item->isEnabled()) item->trigger();
    });
}

}  // namespace ui
