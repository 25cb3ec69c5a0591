// How the property grid's value column follows the grid's width.
#pragma once

#include <optional>

namespace ui {

// The width for column 1 after the window was resized, or nullopt when the
// user has made column 0 wider than column 1 and both stay as they are. The
// value column fills the rest of the client width less 5 pixels, but is never
// narrower than the name column.
std::optional<int> valueColumnWidth(int clientWidth, int nameWidth, int valueWidth);

}  // namespace ui
