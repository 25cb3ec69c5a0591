#include "datetime_text.h"

namespace wbem {

namespace {

constexpr size_t kLength = 25;

enum class FieldRead { Digits, Open, Bad };

// A field of digits within low..high, or all asterisks (left open).
FieldRead readField(std::string_view f, int low, int high, std::optional<int>& out) {
    if (f.find_first_not_of('*') == std::string_view::npos) return FieldRead::Open;
    int v = 0;
    for (char c : f) {
        if (c < '0' || c > '9') return FieldRead::Bad;
        v = v * 10 + (c - '0');
    }
    if (v < low || v > high) return FieldRead::Bad;
    out = v;
    return FieldRead::Digits;
}

bool fits(std::string_view text, size_t at, size_t width, int low, int high,
          std::optional<int>& out) {
    return readField(text.substr(at, width), low, high, out) != FieldRead::Bad;
}

// Leading digits, then asterisks for the digits beyond the value's precision.
bool readMicroseconds(std::string_view f, CimDateTimeFields& out) {
    const size_t given = f.find('*');
    const size_t digits = given == std::string_view::npos ? f.size() : given;
    if (f.find_first_not_of('*', digits) != std::string_view::npos) return false;
    int v = 0;
    for (size_t i = 0; i < f.size(); ++i) {
        const char c = i < digits ? f[i] : '0';
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    out.microseconds = v;
    out.microsecondDigits = static_cast<int>(digits);
    return true;
}

}  // namespace

bool CimDateTimeFields::complete() const {
    const bool date = interval ? days.has_value() : year && month && day && offsetMinutes;
    return date && hour && minute && second && microsecondDigits == 6;
}

std::optional<CimDateTimeFields> readCimDateTime(std::string_view text) {
    if (text.size() != kLength || text[14] != '.') return std::nullopt;
    const char sign = text[21];
    CimDateTimeFields out;
    out.interval = sign == ':';
    if (!out.interval && sign != '+' && sign != '-') return std::nullopt;
    bool ok = true;
    if (out.interval) {
        ok = fits(text, 0, 8, 0, 99999999, out.days) && text.substr(22) == "000";
    } else {
        ok = fits(text, 0, 4, 0, 9999, out.year) && fits(text, 4, 2, 1, 12, out.month) &&
             fits(text, 6, 2, 1, 31, out.day) && fits(text, 22, 3, 0, 999, out.offsetMinutes);
        if (ok && out.offsetMinutes && sign == '-') out.offsetMinutes = -*out.offsetMinutes;
    }
    ok = ok && fits(text, 8, 2, 0, 23, out.hour) && fits(text, 10, 2, 0, 59, out.minute) &&
         fits(text, 12, 2, 0, out.interval ? 59 : 60, out.second) &&
         readMicroseconds(text.substr(15, 6), out);
    if (!ok) return std::nullopt;
    return out;
}

}  // namespace wbem
