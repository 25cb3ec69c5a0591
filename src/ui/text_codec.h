// Texts the views hold as bytes of the code page they were rendered in, made
// readable: the views decode each text with its code page.
#pragma once

#include <QString>
#include <exception>
#include <string>
#include <string_view>

namespace ui {

// Bytes of a Windows code page (65001 = UTF-8) as Unicode.
QString fromCodePage(std::string_view bytes, int codePage);

// Names and other texts in the system conversion (UTF-8), and back.
inline QString fromSystem(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
inline std::string toSystem(const QString& text) { return text.toUtf8().toStdString(); }

// The error box's text for an exception a handler caught.
inline QString errorText(const std::exception& e) {
    return QStringLiteral("Error: ") + QString::fromUtf8(e.what());
}

}  // namespace ui
