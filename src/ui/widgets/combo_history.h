// A combo box's drop-down list as a settings history, and back.
#pragma once

#include <QComboBox>
#include <QStringList>
#include <string>

#include "settings/settings.h"
#include "ui/text_codec.h"

namespace ui {

inline settings::HistoryList comboHistory(const QComboBox& combo) {
    settings::HistoryList list;
    list.reserve(size_t(combo.count()));
    for (int i = 0; i < combo.count(); ++i) list.push_back(toSystem(combo.itemText(i)));
    return list;
}

// Replaces the combo box's list; the text shown in its edit field stays.
inline void setComboHistory(QComboBox& combo, const settings::HistoryList& list) {
    const QString shown = combo.currentText();
    QStringList items;
    items.reserve(qsizetype(list.size()));
    for (const std::string& entry : list) items.push_back(fromSystem(entry));
    combo.clear();
    combo.addItems(items);
    combo.setCurrentIndex(-1);
    combo.setEditText(shown);
}

}  // namespace ui
