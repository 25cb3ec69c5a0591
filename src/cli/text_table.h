// An aligned text table: columns as wide as their widest cell, two blanks
// between columns, no trailing blanks.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace cli {

// `cells` row after row, header.size() cells a row. With `utf8` widths count
// code points; otherwise the texts are in a one-byte code page and a byte is
// a character.
void writeTextTable(std::ostream& out, const std::vector<std::string>& header,
                    const std::vector<std::string>& cells, bool utf8 = true);

}  // namespace cli
