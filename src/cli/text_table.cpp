#include "text_table.h"

#include <algorithm>

namespace cli {

namespace {

size_t displayWidth(const std::string& s, bool utf8) {
    if (!utf8) return s.size();
    size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

}  // namespace

void writeTextTable(std::ostream& out, const std::vector<std::string>& header,
                    const std::vector<std::string>& cells, bool utf8) {
    const size_t cols = header.size();
    if (cols == 0) return;
    std::vector<size_t> width(cols);
    for (size_t c = 0; c < cols; ++c) width[c] = displayWidth(header[c], utf8);
    for (size_t i = 0; i < cells.size(); ++i)
        width[i % cols] = std::max(width[i % cols], displayWidth(cells[i], utf8));
    auto row = [&](auto cell) {
        std::string line;
        for (size_t c = 0; c < cols; ++c) {
            const std::string& text = cell(c);
            line += text;
            if (c + 1 < cols) line.append(width[c] - displayWidth(text, utf8) + 2, ' ');
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out << line << '\n';
    };
    row([&](size_t c) -> const std::string& { return header[c]; });
    for (size_t r = 0; r * cols < cells.size(); ++r)
        row([&](size_t c) -> const std::string& { return cells[r * cols + c]; });
}

}  // namespace cli
