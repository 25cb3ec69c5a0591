// The WQL engine of the embedded WMI service: SELECT data and schema
// queries, ASSOCIATORS OF and REFERENCES OF.
//
// Errors are thrown as QueryError, a WbemError whose what() is WMI's own text
// ("Invalid query", "Invalid class") and which also carries the offset in the
// query and a detail for diagnostics (formatQueryError).
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "../repository/class_def.h"
#include "../repository/instance.h"
#include "../repository/repository.h"
#include "../repository/system_properties.h"
#include "ast.h"
#include "query_error.h"

namespace wbem::wql {

struct ResultObject {
    std::shared_ptr<const ClassDef> cls;
    std::shared_ptr<const Instance> instance;  // null for class objects
    // Slots the object holds when partial, in slot order. System properties
    // are always there.
    std::vector<int> projection;
    bool partial = false;
};

// Runs a query against the namespace `nspace` of a repository snapshot. The
// whole result is gathered before it returns.
std::vector<ResultObject> executeQuery(const std::shared_ptr<const RepositoryState>& repo,
                                       std::string_view nspace, const ObjectContext& ctx,
                                       std::string_view query);

// Parses without running: checks the syntax only (names are not looked up).
std::unique_ptr<ast::Query> parseQuery(std::string_view query);

}  // namespace wbem::wql
