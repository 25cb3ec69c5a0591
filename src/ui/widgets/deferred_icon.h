// An icon whose pixels are made only when something first needs them: a
// picture in a menu that is never opened, or a button that is never shown,
// then costs nothing at start-up.
#pragma once

#include <QIcon>
#include <functional>

namespace ui {

// The icon `make` returns, made on the first question that needs its pixels
// or sizes; copies of the returned icon share what was made. The icon counts
// as not null from the start, so give it only for pictures that exist.
QIcon deferredIcon(std::function<QIcon()> make);

}  // namespace ui
