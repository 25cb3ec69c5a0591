// The first selected entry of an item view (a QListWidget or a QTreeWidget),
// or nullptr when nothing is selected.
#pragma once

namespace ui {

template <class ItemWidget>
auto firstSelected(const ItemWidget& view) {
    const auto selected = view.selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

}  // namespace ui
