#include "export/delimited.h"

#include <string_view>

#include "export/device_writer.h"

namespace exporter {

namespace {

// "-5", "+3.25", "-1e-9": a number a spreadsheet reads as one.
bool isNumber(std::string_view s) {
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t exponent = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++exponent;
        if (exponent == 0) return false;
    }
    return i == s.size();
}

// A cell a spreadsheet would run as a formula when the file is opened (a
// process may be named =cmd|' /C calc'!A0, a remote host sends what it
// likes): such cells get a leading single quote, the common neutraliser.
bool looksLikeFormula(std::string_view field) {
    if (field.empty()) return false;
    const char c = field.front();
    return (c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r') &&
           !isNumber(field);
}

// Separator, quote, CR and LF are below 0x40, so they never occur as the
// trail byte of a double-byte code page character.
void appendField(std::string& line, std::string_view field, char separator) {
    std::string neutralised;
    if (looksLikeFormula(field)) {
        neutralised = "'" + std::string(field);
        field = neutralised;
    }
    if (field.find_first_of(std::string{separator, '"', '\r', '\n'}) == std::string_view::npos) {
        line += field;
        return;
    }
    line += '"';
    for (char c : field) {
        if (c == '"') line += '"';
        line += c;
    }
    line += '"';
}

}  // namespace

bool WriteDelimited(const ResultView& view, char separator, QIODevice& device, std::string& error) {
    DeviceWriter out(device);
    const int columns = view.columnCount();
    const int rows = view.rowCount();
    std::string line;
    for (int k = 0; k < columns; ++k) {
        if (k > 0) line += separator;
        appendField(line, view.columnCaption(k), separator);
    }
    line += "\r\n";
    bool ok = out.write(line);
    for (int r = 0; ok && r < rows; ++r) {
        line.clear();
        for (int k = 0; k < columns; ++k) {
            if (k > 0) line += separator;
            appendField(line, view.cellText(r, k), separator);
        }
        line += "\r\n";
        ok = out.write(line);
    }
    return out.finish(error);
}

}  // namespace exporter
