// Applies parsed declarations, in order, to a repository transaction.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "../repository/repository.h"
#include "ast.h"
#include "builder.h"
#include "source_set.h"

namespace wbem::mof {

class Applier {
  public:
    Applier(Repository::Transaction& tx, const SourceSet& sources, std::string defaultNamespace);

    // Instances are added last, once every alias they use is known, so an
    // alias may be used before the instance that defines it. The
    // declarations are used up (their strings move into the repository).
    void apply(std::vector<Declaration>& decls);

  private:
    struct PendingInstance {
        InstanceAst* ast;
        std::string nspace;
        std::shared_ptr<Instance> inst;
        std::vector<size_t> deferred;  // assignments still waiting for aliases
    };

    void applyPragma(const PragmaAst& p);
    void applyQualifierDecl(QualifierDeclAst& d);
    void applyClass(ClassAst& c);
    void applyInstance(InstanceAst& a);
    void createNamespaceInstance(const InstanceAst& a);
    void resolveAliases();
    void addInstances();

    // The current namespace, created when missing.
    NamespaceState& current(Pos at);
    bool pathReady(const PendingInstance& p) const;
    AliasTarget aliasTarget(const ValueAst& alias, std::string_view from) const;

    Repository::Transaction& tx_;
    const SourceSet& sources_;
    Builder builder_;
    std::string ns_;
    std::vector<PendingInstance> instances_;
    std::unordered_map<std::string, size_t, IHash, IEqual> aliases_;
};

// Where "#pragma namespace(arg)" leads from `current`: "\\server\root\x" and
// "root\x" are absolute, anything else is below `current`.
std::string pragmaNamespace(std::string_view arg, std::string_view current);

}  // namespace wbem::mof
