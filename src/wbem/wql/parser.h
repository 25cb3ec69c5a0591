// Recursive-descent parser from WQL text to the AST. Syntax only: names are
// checked against the schema later, by the binder.
#pragma once

#include <memory>
#include <string_view>

#include "ast.h"

namespace wbem::wql {

// Throws QueryError (Invalid query) for anything that is not WQL, including
// the SQL that WQL lacks (JOIN, ORDER BY, GROUP BY, COUNT, DISTINCT, HAVING,
// subqueries) and trailing text after a complete statement.
std::unique_ptr<ast::Query> parse(std::string_view query);

}  // namespace wbem::wql
