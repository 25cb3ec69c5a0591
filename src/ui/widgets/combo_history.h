// A combo box's drop-down list as a settings history, and back; a new entry
// at the top of it.
#pragma once

#include <QComboBox>
#include <QSignalBlocker>
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

// Puts text at the top of the combo box's history (settings::AddToHistory);
// the edit text stays.
inline void addToComboHistory(QComboBox& combo, const QString& text) {
    settings::HistoryList list = comboHistory(combo);
    if (!settings::AddToHistory(list, toSystem(text))) return;
    const QSignalBlocker block(&combo);
    setComboHistory(combo, list);
}

}  // namespace ui
