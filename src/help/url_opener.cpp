#include "help/url_opener.h"

#include <QDesktopServices>
#include <cerrno>

#include "help/system_error.h"

namespace help {

UrlOpener DefaultUrlOpener() {
    return [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

std::optional<std::string> OpenAddress(const UrlOpener& opener, const QString& address) {
    const QUrl url(address, QUrl::TolerantMode);
    if (address.trimmed().isEmpty() || !url.isValid()) return SystemErrorText(EINVAL);
    errno = 0;
    if (opener && opener(url)) return std::nullopt;
    const int code = errno;
    // Success's own text ("Success") must never be shown as the reason of a failure.
    if (code != 0) return SystemErrorText(code);
    return "No program could be started to open " + address.toStdString();
}

}  // namespace help
