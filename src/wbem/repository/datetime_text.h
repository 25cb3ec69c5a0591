// CIM datetime text read into its fields: a timestamp
// yyyymmddHHMMSS.mmmmmmsUUU (s '+' or '-', UUU the offset from UTC in
// minutes, "20240105134501.250000+060") or an interval
// ddddddddHHMMSS.mmmmmm:000 ("00000001132312.000000:000"). The one reader
// of this form; each caller decides what to do with fields left open.
#pragma once

#include <optional>
#include <string_view>

namespace wbem {

struct CimDateTimeFields {
    bool interval = false;
    // A timestamp's date; none for an interval.
    std::optional<int> year, month, day;
    // An interval's count of days; none for a timestamp.
    std::optional<int> days;
    std::optional<int> hour, minute, second;
    // The microseconds' digits as given, the open ones counted as 0, and how
    // many leading digits are given (6 for all, 0 when the field is open).
    int microseconds = 0;
    int microsecondDigits = 6;
    // A timestamp's offset east of UTC in minutes; none for an interval.
    std::optional<int> offsetMinutes;

    // No field left open: a definite instant or length of time.
    bool complete() const;
};

// The fields of `text`, which must be exactly 25 characters with no blanks
// around it, or nullopt for text of another form. A field may be left open
// with asterisks: a whole field, the offset's three digits included (as WMI
// writes "+***"), or the trailing digits of the microseconds ("125***"),
// never part of another field nor the interval's ":000". A given field
// must lie in its range: month 1-12, day 1-31, hour 0-23, minute 0-59,
// second 0-59 (0-60 in a timestamp, for a leap second).
std::optional<CimDateTimeFields> readCimDateTime(std::string_view text);

}  // namespace wbem
