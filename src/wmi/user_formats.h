// The user's short date format and decimal separator, as the environment's
// locale (LANG, LC_*) gives them.
#pragma once

#include <locale.h>

#include <string>

namespace wmi {

struct UserFormats {
    std::string shortDate = "%m/%d/%y";  // strftime format of the date alone
    std::string decimalSeparator = ".";  // UTF-8
    locale_t locale = nullptr;           // for names in shortDate; null = the C locale
};

// Read once from the environment's locale; safe to call from any thread.
const UserFormats& SystemUserFormats();

// The date part of an OLE date (days since 1899-12-30, the fraction being the
// time of day) in the format, as UTF-8. Throws wbem::WbemError(TypeMismatch)
// for a date outside the years 100 to 9999, as the system's conversion does.
std::string FormatShortDate(double oleDate, const UserFormats& formats);

// A real in the shortest general form with at most `digits` significant
// digits ("0.5", "1E+20", "1.5E-07"), with the given decimal separator.
std::string FormatReal(double value, int digits, std::string_view decimalSeparator);

}  // namespace wmi
