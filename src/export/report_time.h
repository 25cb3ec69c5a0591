// The moment a report was made, as its head shows it: the date in the user's
// short date format, " at ", the time in the user's long time format.
#pragma once

#include <ctime>
#include <string>

#include "wmi/user_formats.h"

namespace exporter {

// The date from formats.shortDate, the time from the long time format of
// formats.locale (the C locale's when null).
std::string FormatReportTime(const std::tm& local, const wmi::UserFormats& formats);

// Now, in local time and the user's formats.
std::string CurrentReportTime();

}  // namespace exporter
