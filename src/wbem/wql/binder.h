// Checks a SELECT against the namespace's schema and turns it into what the
// executor runs: the class, the bound WHERE condition, the selected
// properties and the hints that let a provider skip work.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "../repository/provider.h"
#include "../repository/repository.h"
#include "ast.h"
#include "evaluator.h"

namespace wbem::wql {

struct BoundSelect {
    std::shared_ptr<const ClassDef> cls;  // the FROM class; null for meta_class
    bool metaClass = false;
    bool star = true;
    // Ordinary properties of the select list, as the class spells them.
    std::vector<std::string> columns;
    // Every ordinary property the WHERE condition reads; Operand::property
    // indexes this table.
    std::vector<std::string> properties;
    PredicatePtr where;  // null: every object qualifies
    QueryHints hints;
};

// Throws QueryError: Invalid class for an unknown class (in FROM or ISA),
// Invalid query for an unknown property, a constant of the wrong type or an
// operator the property's type does not allow.
BoundSelect bindSelect(const ast::SelectQuery& query, const NamespaceState& ns);

}  // namespace wbem::wql
