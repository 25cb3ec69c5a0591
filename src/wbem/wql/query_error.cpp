#include "query_error.h"

namespace wbem::wql {

void invalidQuery(size_t offset, std::string detail) {
    throw QueryError(hr::InvalidQuery, offset, std::move(detail));
}

void invalidClass(size_t offset, std::string detail) {
    throw QueryError(hr::InvalidClass, offset, std::move(detail));
}

std::string formatQueryError(const QueryError& error, std::string_view query) {
    size_t offset = error.offset() < query.size() ? error.offset() : query.size();
    size_t lineStart = 0;
    size_t line = 1;
    for (size_t i = 0; i < offset; ++i) {
        if (query[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    size_t lineEnd = query.find('\n', lineStart);
    if (lineEnd == std::string_view::npos) lineEnd = query.size();
    std::string_view text = query.substr(lineStart, lineEnd - lineStart);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);

    std::string out = error.what();
    if (!error.detail().empty()) out += ": " + error.detail();
    out += " (line " + std::to_string(line) + ", column " + std::to_string(offset - lineStart + 1) +
           ")\n";
    out += text;
    out += '\n';
    // Tabs stay tabs so that the caret lines up under the same character.
    for (size_t i = lineStart; i < offset; ++i) out += query[i] == '\t' ? '\t' : ' ';
    out += '^';
    return out;
}

}  // namespace wbem::wql
