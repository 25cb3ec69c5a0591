// Windows of their own that free themselves when closed (an object, its
// associations): shown once filled, dropped when they could not be filled.
#pragma once

#include <QWidget>

namespace ui {

// `fill` fills the new window and says whether it could; null when not.
template <class W, class Fill>
W* showFilled(W* window, Fill fill) {
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (!fill(*window)) {
        delete window;
        return nullptr;
    }
    window->show();
    return window;
}

}  // namespace ui
