#include "export/delimited.h"

#include <string_view>

#include "export/device_writer.h"

namespace exporter {

namespace {

// Separator, quote, CR and LF are below 0x40, so they never occur as the
// trail byte of a double-byte code page character.
void appendField(std::string& line, std::string_view field, char separator) {
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
