// Windows of their own (an object, its associations, a MOF text, a method
// run): shown in front and active; those that free themselves when closed
// are dropped when they could not be filled.
#pragma once

#include <QWidget>

namespace ui {

// Shows the window on top of the others and gives it the keyboard.
template <class W>
W* showInFront(W* window) {
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

// `fill` fills the new window and says whether it could; null when not.
template <class W, class Fill>
W* showFilled(W* window, Fill fill) {
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (!fill(*window)) {
        delete window;
        return nullptr;
    }
    return showInFront(window);
}

}  // namespace ui
