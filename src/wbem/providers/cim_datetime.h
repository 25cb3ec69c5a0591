// CIM datetime strings as WMI writes them: yyyymmddHHMMSS.mmmmmmsUUU, local
// time with the offset from UTC in minutes ("20240105134501.250000+060").
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace wbem {

// The instant given in seconds and microseconds since the epoch, written in
// the local time zone in force at that instant.
std::string cimDateTime(int64_t epochSeconds, uint32_t micros = 0);
// The same with an explicit offset east of UTC, in minutes (for tests and for
// callers that already know it).
std::string cimDateTime(int64_t epochSeconds, uint32_t micros, int offsetMinutes);
// Now, in the local time zone.
std::string cimDateTimeNow();
// Offset east of UTC, in minutes, of the local time zone at the instant.
int utcOffsetMinutes(int64_t epochSeconds);

// A civil date (proleptic Gregorian) as seconds since the epoch at midnight
// UTC; nullopt for an impossible date.
std::optional<int64_t> civilToEpoch(int year, int month, int day);

}  // namespace wbem
