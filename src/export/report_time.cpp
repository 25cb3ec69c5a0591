#include "export/report_time.h"

#include <langinfo.h>
#include <locale.h>

namespace exporter {

namespace {

locale_t cLocale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", nullptr);
    return loc;
}

std::string formatTm(const char* format, const std::tm& t, locale_t loc) {
    char buf[256];
    const size_t n = strftime_l(buf, sizeof buf, format, &t, loc);
    return std::string(buf, n);
}

}  // namespace

std::string FormatReportTime(const std::tm& local, const wmi::UserFormats& formats) {
    const locale_t loc = formats.locale ? formats.locale : cLocale();
    const char* longTime = nl_langinfo_l(T_FMT, loc);
    if (!longTime || !*longTime) longTime = "%H:%M:%S";
    return formatTm(formats.shortDate.c_str(), local, loc) + " at " +
           formatTm(longTime, local, loc);
}

std::string CurrentReportTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return FormatReportTime(local, wmi::SystemUserFormats());
}

}  // namespace exporter
