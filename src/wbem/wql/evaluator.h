// Bound WHERE conditions, evaluated object by object. Property names were
// resolved to positions in the query's property table by the binder; the
// executor supplies, per object class, the slot of each table entry, so a row
// is tested without lookups by name and without allocating.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "../repository/repository.h"
#include "../repository/system_properties.h"
#include "ast.h"
#include "like_pattern.h"
#include "value_compare.h"

namespace wbem::wql {

// One object under test: an instance, or a class object (inst null).
struct Row {
    const ClassDef* cls = nullptr;
    const Instance* inst = nullptr;
    const int* slots = nullptr;  // slot in *cls of each table entry; -1 when absent
    const ObjectContext* ctx = nullptr;
    const NamespaceState* ns = nullptr;
};

// Where a condition reads its value.
struct Operand {
    int property = -1;       // index into the query's property table
    std::string systemName;  // a system property, when property < 0

    bool isSystem() const { return property < 0; }
    // An ordinary property's value, or null when the object has none.
    const CimValue* fetchProperty(const Row& row) const {
        if (!row.inst) return nullptr;
        int slot = row.slots[property];
        return slot < 0 ? nullptr : &row.inst->value(slot);
    }
    // A system property's value, computed for the object.
    CimValue computeSystem(const Row& row) const;
};

class Predicate {
  public:
    virtual ~Predicate() = default;
    virtual bool test(const Row& row) const = 0;
    // Rough relative cost of one test, for ordering the terms of AND and OR.
    virtual int cost() const = 0;
};
using PredicatePtr = std::unique_ptr<Predicate>;

// Terms are tested cheapest first (conditions have no side effects, so the
// order never changes the outcome) and stop at the first that decides.
PredicatePtr makeAnd(std::vector<PredicatePtr> terms);
PredicatePtr makeOr(std::vector<PredicatePtr> terms);
PredicatePtr makeNot(PredicatePtr operand);
PredicatePtr makeCompare(Operand operand, ast::CompareOp op, BoundConstant constant);
// Text values are matched as they are, integers by their decimal text.
PredicatePtr makeLike(Operand operand, LikePattern pattern);
PredicatePtr makeIsNull(Operand operand, bool negated);
// __this ISA 'Class': the object's class is the class or derives from it.
PredicatePtr makeIsaThis(std::string className);
// ref ISA 'Class' / embedded ISA 'Class': the object referred to or embedded
// belongs to the class or a subclass.
PredicatePtr makeIsaProperty(Operand operand, std::string className);

}  // namespace wbem::wql
