// The query result as CSV or TSV: a header line of column captions, then one
// line per row, fields joined by the separator, lines ending in CR LF.
#pragma once

#include <string>

#include "export/result_view.h"

class QIODevice;

namespace exporter {

// Fields go out as the view holds them, except that a field holding the
// separator, a double quote, CR or LF is enclosed in double quotes with its
// double quotes doubled (RFC 4180), so that it reads back as one field; and a
// field a spreadsheet would take for a formula (starting with = + - @ TAB or
// CR, and no number such as -5) gets a leading single quote. False with the
// device's error text when writing fails; what was written stays.
bool WriteDelimited(const ResultView& view, char separator, QIODevice& device, std::string& error);

}  // namespace exporter
