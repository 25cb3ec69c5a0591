// How a query result's row is found again as an object when the query gave
// it no path (a selection that leaves out a key): the query is run again for
// whole objects and the row matched among them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ui {

// The query with its select list replaced by "*", so that its objects come
// whole, with their paths: "select Name from C where X" gives
// "select * from C where X". Queries that are not SELECTs (ASSOCIATORS OF,
// REFERENCES OF return whole objects), texts without a FROM and texts that
// are not WQL come back as they are.
std::string selectAllQuery(std::string_view query);

// Which of the objects a query returned again (their cells under `columns`
// and their paths) is the shown row. An object whose keys (as its path names
// them) are all among the columns is the row when those cells agree, whatever
// the others say now (a process's memory changes between two runs); otherwise
// every cell must agree, and of the rows alike the occurrence-th (from 0) is
// taken, as rows alike keep their order. -1 when none is.
int matchingRow(const std::vector<std::string>& columns,
                const std::vector<std::vector<std::string>>& rows,
                const std::vector<std::string>& paths, const std::vector<std::string>& row,
                int occurrence);

}  // namespace ui
