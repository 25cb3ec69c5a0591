// Turns parsed values, qualifier lists and instances into repository objects,
// checking each value against its declared type.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "../repository/repository.h"
#include "ast.h"
#include "source_set.h"

namespace wbem::mof {

// What a value is for, as messages name it: {"property", "Size"}.
struct ValueTarget {
    const char* kind;
    std::string_view name;
};

// The instance an alias names: its object path as seen from the namespace
// `from`, and its class.
struct AliasTarget {
    std::string path;
    const ClassDef* cls = nullptr;
};
using AliasResolver = std::function<AliasTarget(const ValueAst& alias, std::string_view from)>;

class Builder {
  public:
    Builder(Repository::Transaction& tx, const SourceSet& sources);

    // The value converted to `type`; fails at the value when it does not fit.
    // The parsed values are used up: their strings move into the result.
    CimValue value(ValueAst& v, const CimTypeDecl& type, const ValueTarget& target,
                   std::string_view nspace);

    // Types and flavors come from the namespace's qualifier declarations when
    // it has one of that name, otherwise from the literal.
    std::vector<Qualifier> qualifiers(QualifierList& list, std::string_view nspace);

    // An instance of the class `ast` names, holding the assigned values. With
    // `deferred`, assignments that use aliases are left out and their indexes
    // listed there; without it, aliases go through the resolver.
    std::shared_ptr<Instance> instance(InstanceAst& ast, std::string_view nspace,
                                       std::vector<size_t>* deferred);
    // Stores one assignment of `ast` into `inst`; an alias in it is an error.
    void assign(Instance& inst, AssignmentAst& a, std::string_view nspace);
    // The same for an assignment that instance() deferred: its aliases
    // resolve through the resolver.
    void assignWithAliases(Instance& inst, AssignmentAst& a, std::string_view nspace);

    void setAliasResolver(AliasResolver resolver) { resolver_ = std::move(resolver); }

    // The namespace at `path` (created when missing); see nsOf.
    NamespaceState& ns(std::string_view path) { return nsOf(path); }

    [[noreturn]] void fail(Pos at, const std::string& message, HResult code = hr::Failed) const {
        sources_.fail(at, message, code);
    }
    // The source text of a value, shortened for a message.
    std::string snippet(const ValueAst& v) const;

  private:
    CimValue scalar(ValueAst& v, const CimTypeDecl& type, const ValueTarget& target,
                    std::string_view nspace);
    [[noreturn]] void failType(const ValueAst& v, const CimTypeDecl& type,
                               const ValueTarget& target) const;
    Qualifier qualifier(QualifierAst& q, const NamespaceState& ns);
    // tx_.ns(path, true), remembered: a namespace touched by the transaction
    // stays where it is until commit, and the path lookup is not free.
    NamespaceState& nsOf(std::string_view path);

    Repository::Transaction& tx_;
    const SourceSet& sources_;
    AliasResolver resolver_;
    bool aliasesAllowed_ = false;  // only inside assignWithAliases()
    std::string lastPath_;
    NamespaceState* lastNs_ = nullptr;
};

// The declared type a parsed type stands for.
CimTypeDecl typeDecl(const TypeAst& t);
// "uint8", "string[]", "CIM_Foo ref", "object:CIM_Foo".
std::string typeText(const CimTypeDecl& t);
// Every alias a value uses, embedded objects included.
void collectAliases(const ValueAst& v, std::vector<const ValueAst*>& out);

}  // namespace wbem::mof
