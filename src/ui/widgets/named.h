// Gives a widget (or any QObject) the name the code and the tests know it by.
#pragma once

#include <QObject>
#include <QString>

namespace ui {

template <class W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace ui
