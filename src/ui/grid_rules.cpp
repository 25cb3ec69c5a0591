#include "ui/grid_rules.h"

#include <algorithm>

namespace ui {

std::optional<int> valueColumnWidth(int clientWidth, int nameWidth, int valueWidth) {
    if (valueWidth < nameWidth) return std::nullopt;
    return std::max(clientWidth - nameWidth - 5, nameWidth);
}

}  // namespace ui
