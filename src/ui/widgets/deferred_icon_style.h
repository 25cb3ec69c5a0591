// The application's style, with the arrows of the menu bar's and tool bars'
// extension buttons made only when first painted. Those buttons show only
// when a bar is too narrow for its items, yet every menu bar asks for its
// arrow when it is built, and the style's picture is a PNG file whose reading
// loads every image-format plug-in (each a library with libraries of its own).
#pragma once

namespace ui {

// Puts the application's style, unchanged but for that, in place of itself;
// later calls do nothing. Call it before the first menu bar is built; it
// needs a QApplication.
void deferStandardIcons();

}  // namespace ui
