#include "wmi/user_formats.h"

#include <langinfo.h>
#include <time.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>

#include "wbem/errors.h"

namespace wmi {

namespace {

locale_t cLocale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", nullptr);
    return loc;
}

UserFormats readUserFormats() {
    UserFormats f;
    // The environment's locale without touching the process-wide one; an
    // unknown name falls back to C.
    locale_t loc = newlocale(LC_ALL_MASK, "", nullptr);
    if (!loc) return f;
    f.locale = loc;  // kept for the life of the process
    if (const char* fmt = nl_langinfo_l(D_FMT, loc); fmt && *fmt) f.shortDate = fmt;
    if (const char* sep = nl_langinfo_l(RADIXCHAR, loc); sep && *sep) f.decimalSeparator = sep;
    return f;
}

// OLE dates the system converts: 0100-01-01 to 9999-12-31.
constexpr double kMinOleDate = -657434.0;
constexpr double kMaxOleDate = 2958465.999999;
constexpr int64_t kOleEpochToUnixDays = 25569;  // 1899-12-30 .. 1970-01-01

}  // namespace

const UserFormats& SystemUserFormats() {
    static const UserFormats formats = readUserFormats();
    return formats;
}

std::string FormatShortDate(double oleDate, const UserFormats& formats) {
    if (!(oleDate >= kMinOleDate && oleDate <= kMaxOleDate)) wbem::fail(wbem::hr::TypeMismatch);
    // The integer part counts days, the fraction is the time of day even for
    // dates before the epoch (-1.25 is 1899-12-29 06:00), so truncate.
    const int64_t days = static_cast<int64_t>(std::trunc(oleDate)) - kOleEpochToUnixDays;
    const std::chrono::year_month_day date{std::chrono::sys_days{std::chrono::days{days}}};
    struct tm t {};
    t.tm_year = static_cast<int>(date.year()) - 1900;
    t.tm_mon = static_cast<int>(static_cast<unsigned>(date.month())) - 1;
    t.tm_mday = static_cast<int>(static_cast<unsigned>(date.day()));
    t.tm_wday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    char buf[256];
    const size_t n = strftime_l(buf, sizeof buf, formats.shortDate.c_str(), &t,
                                formats.locale ? formats.locale : cLocale());
    return std::string(buf, n);
}

std::string FormatReal(double value, int digits, std::string_view decimalSeparator) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, digits);
    std::string out;
    out.reserve(static_cast<size_t>(res.ptr - buf) + decimalSeparator.size());
    for (const char* p = buf; p != res.ptr; ++p) {
        if (*p == '.')
            out += decimalSeparator;
        else if (*p == 'e')
            out += 'E';
        else
            out += *p;
    }
    return out;
}

}  // namespace wmi
