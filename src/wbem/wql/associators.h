// ASSOCIATORS OF and REFERENCES OF: walks of association instances (classes
// with the Association qualifier whose reference properties name their
// endpoints by object path), or of association classes when the source is a
// class (a schema query).
#pragma once

#include <memory>
#include <vector>

#include "../repository/repository.h"
#include "ast.h"
#include "wql.h"

namespace wbem::wql {

// Throws QueryError: Invalid query for a malformed path or a keyword that does
// not fit the source; Invalid class for an unknown class named anywhere; Not
// found when the source instance does not exist.
std::vector<ResultObject> runAssocQuery(const ast::AssocQuery& query,
                                        const std::shared_ptr<const RepositoryState>& repo,
                                        const NamespaceState& ns);

}  // namespace wbem::wql
