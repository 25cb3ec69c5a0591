// The rules of the query result's menu that need no window: the texts its copy
// commands put on the clipboard, and how a shown row is found again as an
// object when the query did not select its path.
#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

// Rows as lines of tab-separated cells, every line ended with CR LF; the
// captions first when withHeader. Tabs and line breaks inside a cell become
// blanks, so that each row stays one line of the right number of cells.
QString rowsText(const QStringList& captions, const std::vector<QStringList>& rows,
                 bool withHeader);

// The query with its select list replaced by "*", so that its objects come
// whole, with their paths: "select Name from C where X" gives
// "select * from C where X". Queries that are not SELECTs (ASSOCIATORS OF,
// REFERENCES OF return whole objects) and texts without a FROM come back as
// they are.
std::string selectAllQuery(std::string_view query);

// Which of `rows` is the shown row: the occurrence-th (from 0) of the rows
// whose cells equal `row`; -1 when there are not that many.
int matchingRow(const std::vector<std::vector<std::string>>& rows,
                const std::vector<std::string>& row, int occurrence);

}  // namespace ui
