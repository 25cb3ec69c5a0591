// The small key that marks a key property in the properties grid.
#pragma once

#include <QIcon>

namespace ui {

QIcon keyIcon();  // needs a QGuiApplication

}  // namespace ui
