// An aligned text table: columns as wide as their widest cell, two blanks
// between columns, no trailing blanks.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace cli {

// `cells` row after row, header.size() cells a row. Widths count characters
// (UTF-8 code points), not bytes.
void writeTextTable(std::ostream& out, const std::vector<std::string>& header,
                    const std::vector<std::string>& cells);

}  // namespace cli
