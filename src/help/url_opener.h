// Opening web and mail addresses in the user's browser and mail program.
// The opener is a plain function so that tests can watch what is opened
// and make it fail.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <optional>
#include <string>

namespace help {

// True when the address was handed to a program that opens it.
using UrlOpener = std::function<bool(const QUrl&)>;

// QDesktopServices::openUrl.
UrlOpener DefaultUrlOpener();

// Opens the address. Empty when it was opened; otherwise why not: the
// system's text of the error the attempt left behind, or, when it left none,
// a sentence saying that nothing could open the address.
std::optional<std::string> OpenAddress(const UrlOpener& opener, const QString& address);

}  // namespace help
