#include "ui/result_rows.h"

#include <cctype>

#include "wbem/errors.h"
#include "wbem/repository/object_path.h"
#include "wbem/text.h"

namespace ui {

namespace {

QString oneLine(QString cell) {
    for (QChar& c : cell)
        if (c == u'\t' || c == u'\r' || c == u'\n') c = u' ';
    return cell;
}

void appendLine(QString& out, const QStringList& cells) {
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0) out += u'\t';
        out += oneLine(cells[i]);
    }
    out += QStringLiteral("\r\n");
}

bool isWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Where the keyword starts in the query outside quotes, as a whole word, at or
// after `from`; npos when it does not occur.
size_t findKeyword(std::string_view query, std::string_view keyword, size_t from) {
    char quote = 0;
    for (size_t i = from; i < query.size(); ++i) {
        const char c = query[i];
        if (quote) {
            if (c == '\\' && i + 1 < query.size())
                ++i;
            else if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
            continue;
        }
        if (i + keyword.size() > query.size() || (i > 0 && isWordChar(query[i - 1]))) continue;
        bool same = true;
        for (size_t k = 0; k < keyword.size() && same; ++k)
            same = std::tolower(static_cast<unsigned char>(query[i + k])) == keyword[k];
        if (same && (i + keyword.size() == query.size() || !isWordChar(query[i + keyword.size()])))
            return i;
    }
    return std::string_view::npos;
}

// The columns that hold every key the path names; empty when one is missing
// (or the path names no keys, as a class's or a singleton's does not).
std::vector<size_t> keyColumns(const std::vector<std::string>& columns, std::string_view path) {
    wbem::ObjectPath parsed;
    try {
        parsed = wbem::parseObjectPath(path);
    } catch (const wbem::WbemError&) {
        return {};
    }
    std::vector<size_t> found;
    for (const wbem::PathKey& key : parsed.keys) {
        size_t c = 0;
        while (c < columns.size() && (key.name.empty() || !wbem::iequals(columns[c], key.name)))
            ++c;
        if (c == columns.size()) return {};
        found.push_back(c);
    }
    return found;
}

}  // namespace

QString rowsText(const QStringList& captions, const std::vector<QStringList>& rows,
                 bool withHeader) {
    QString out;
    if (withHeader) appendLine(out, captions);
    for (const QStringList& row : rows) appendLine(out, row);
    return out;
}

std::string selectAllQuery(std::string_view query) {
    size_t start = 0;
    while (start < query.size() && std::isspace(static_cast<unsigned char>(query[start]))) ++start;
    if (findKeyword(query, "select", start) != start) return std::string(query);
    const size_t listStart = start + 6;
    const size_t from = findKeyword(query, "from", listStart);
    if (from == std::string_view::npos) return std::string(query);
    return std::string(query.substr(0, listStart)) + " * " + std::string(query.substr(from));
}

int matchingRow(const std::vector<std::string>& columns,
                const std::vector<std::vector<std::string>>& rows,
                const std::vector<std::string>& paths, const std::vector<std::string>& row,
                int occurrence) {
    int seen = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::vector<size_t> keys = keyColumns(columns, i < paths.size() ? paths[i] : "");
        if (!keys.empty()) {
            bool same = true;
            for (size_t c : keys) same = same && c < row.size() && rows[i][c] == row[c];
            if (same) return static_cast<int>(i);
            continue;
        }
        if (rows[i] == row && seen++ == occurrence) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace ui
