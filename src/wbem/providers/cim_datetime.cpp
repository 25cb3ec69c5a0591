#include "cim_datetime.h"

#include <sys/time.h>

#include <cstdlib>

namespace wbem {

namespace {

// Days since 1970-01-01 of a civil date; the usual era-based conversion.
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

struct Civil {
    int64_t year;
    unsigned month, day;
};

Civil civilFromDays(int64_t z) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {y + (m <= 2), m, d};
}

int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

int utcOffsetMinutes(int64_t epochSeconds) {
    time_t t = static_cast<time_t>(epochSeconds);
    struct tm local {};
    if (!localtime_r(&t, &local)) return 0;
    return static_cast<int>(local.tm_gmtoff / 60);
}

std::string cimDateTime(int64_t epochSeconds, uint32_t micros, int offsetMinutes) {
    if (micros > 999999) {
        epochSeconds += micros / 1000000;
        micros %= 1000000;
    }
    const int64_t local = epochSeconds + int64_t{offsetMinutes} * 60;
    const int64_t days = floorDiv(local, 86400);
    const int64_t secs = local - days * 86400;
    Civil c = civilFromDays(days);
    // The format has four digits for the year; clamp anything outside.
    if (c.year < 0) c = {0, 1, 1};
    if (c.year > 9999) c = {9999, 12, 31};
    const int absOffset = std::abs(offsetMinutes) % 1000;
    // Written digit by digit: this runs once per process in a walk.
    std::string out(25, '0');
    auto put = [&out](size_t at, size_t width, uint64_t v) {
        for (size_t i = 0; i < width; ++i, v /= 10) out[at + width - 1 - i] = char('0' + v % 10);
    };
    put(0, 4, static_cast<uint64_t>(c.year));
    put(4, 2, c.month);
    put(6, 2, c.day);
    put(8, 2, static_cast<uint64_t>(secs / 3600));
    put(10, 2, static_cast<uint64_t>(secs / 60 % 60));
    put(12, 2, static_cast<uint64_t>(secs % 60));
    out[14] = '.';
    put(15, 6, micros);
    out[21] = offsetMinutes < 0 ? '-' : '+';
    put(22, 3, static_cast<uint64_t>(absOffset));
    return out;
}

std::string cimDateTime(int64_t epochSeconds, uint32_t micros) {
    return cimDateTime(epochSeconds, micros, utcOffsetMinutes(epochSeconds));
}

std::string cimDateTimeNow() {
    struct timeval tv {};
    gettimeofday(&tv, nullptr);
    return cimDateTime(tv.tv_sec, static_cast<uint32_t>(tv.tv_usec));
}

std::optional<int64_t> civilToEpoch(int year, int month, int day) {
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return std::nullopt;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && day == 29 && !leap) return std::nullopt;
    return daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400;
}

}  // namespace wbem
