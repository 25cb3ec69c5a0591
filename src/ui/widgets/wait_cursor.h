// The hourglass while the window thread works. The cursor that was shown
// before comes back when the guard ends, on every path out of the scope, or
// earlier through restore() (before an error box, for example).
#pragma once

#include <QApplication>
#include <QCursor>

namespace ui {

class WaitCursor {
  public:
    WaitCursor() {
        if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
            QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
            active_ = true;
        }
    }
    ~WaitCursor() { restore(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

    void restore() {
        if (active_) QApplication::restoreOverrideCursor();
        active_ = false;
    }

  private:
    bool active_ = false;
};

}  // namespace ui
