#include "ui/result_rows.h"

#include <algorithm>

#include "wbem/errors.h"
#include "wbem/repository/object_path.h"
#include "wbem/text.h"
#include "wbem/wql/lexer.h"

namespace ui {

namespace {

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

std::string selectAllQuery(std::string_view query) {
    std::vector<wbem::wql::Token> tokens;
    try {
        tokens = wbem::wql::tokenize(query);
    } catch (const wbem::WbemError&) {
        return std::string(query);
    }
    auto isWord = [](const wbem::wql::Token& t, std::string_view word) {
        return t.kind == wbem::wql::TokenKind::Identifier && wbem::iequals(t.text, word);
    };
    if (!isWord(tokens.front(), "select")) return std::string(query);
    const auto from = std::find_if(tokens.begin() + 1, tokens.end(),
                                   [&](const wbem::wql::Token& t) { return isWord(t, "from"); });
    if (from == tokens.end()) return std::string(query);
    const size_t listStart = tokens.front().offset + tokens.front().text.size();
    return std::string(query.substr(0, listStart)) + " * " +
           std::string(query.substr(from->offset));
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
