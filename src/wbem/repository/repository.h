// The class repository of one host: namespaces with their classes, qualifier
// declarations, static instances and live providers.
//
// Readers take an immutable snapshot; writers work in a transaction on copies
// of the namespaces they touch, so a failed load leaves nothing half-done and
// readers on other threads never see a change in progress.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "../text.h"
#include "class_def.h"
#include "instance.h"
#include "provider.h"

namespace wbem {

struct NamespaceState {
    std::string path;                                      // as first created, e.g. "root\cimv2"
    std::vector<std::shared_ptr<const ClassDef>> classes;  // definition order
    std::unordered_map<std::string, size_t, IHash, IEqual> classIndex;
    std::unordered_map<std::string, std::vector<std::string>, IHash, IEqual> subclasses;  // direct
    std::map<std::string, QualifierDecl, ILess> qualifierDecls;
    // Static instances by their exact class.
    std::unordered_map<std::string, std::vector<std::shared_ptr<const Instance>>, IHash, IEqual>
        instances;
    std::unordered_map<std::string, std::shared_ptr<const InstanceProvider>, IHash, IEqual>
        providers;
    std::unordered_map<std::string, std::shared_ptr<const MethodProvider>, IHash, IEqual>
        methodProviders;

    std::shared_ptr<const ClassDef> findClass(std::string_view name) const;
    // The provider that carries out `method` for `cls`: the one registered for
    // the class or, failing that, for its nearest superclass; null when none does.
    std::shared_ptr<const MethodProvider> methodProviderFor(const ClassDef& cls,
                                                            std::string_view method) const;
    // The class and all classes derived from it, parents before children.
    std::vector<std::shared_ptr<const ClassDef>> familyOf(std::string_view name) const;
};

// Namespace paths: "root\cimv2" in any case; '/' is taken as '\'.
// Returns the canonical lowered key, or an empty string for an invalid path
// (empty, leading, trailing or doubled separators).
std::string namespaceKey(std::string_view path);

struct RepositoryState {
    std::map<std::string, std::shared_ptr<const NamespaceState>> namespaces;  // by key

    const NamespaceState* find(std::string_view path) const;
    // Names (last path element, as created) of the direct children of a namespace.
    std::vector<std::string> childNames(std::string_view path) const;
};

class Repository {
  public:
    Repository();

    std::shared_ptr<const RepositoryState> snapshot() const;

    // One writer at a time; nothing is visible to readers before commit().
    class Transaction {
      public:
        explicit Transaction(Repository& repo);
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;

        // The namespace, created with its parents when `create` is set (a new
        // namespace gets the system classes of "root"). Throws WbemError
        // InvalidNamespace when it is missing and not to be created.
        NamespaceState& ns(std::string_view path, bool create);
        bool hasNamespace(std::string_view path) const;

        // Adds or replaces a class given as declared (own members only, its
        // superclass named). Throws WbemError InvalidSuperclass when the
        // superclass is unknown. A replaced class's subclasses are derived anew.
        std::shared_ptr<const ClassDef> addClass(std::string_view nspace,
                                                 std::shared_ptr<const ClassDef> declared);
        void addQualifierDecl(std::string_view nspace, QualifierDecl decl);
        void addInstance(std::string_view nspace, std::shared_ptr<const Instance> inst);
        void setProvider(std::string_view nspace, std::string_view className,
                         std::shared_ptr<const InstanceProvider> provider);

        void setMethodProvider(std::string_view nspace, std::string_view className,
                               std::shared_ptr<const MethodProvider> provider);

        void commit();

      private:
        Repository& repo_;
        std::unique_lock<std::mutex> writeLock_;
        std::map<std::string, std::shared_ptr<const NamespaceState>> namespaces_;
        std::map<std::string, std::shared_ptr<NamespaceState>> touched_;
    };

  private:
    mutable std::mutex stateMutex_;  // guards state_ (the pointer only)
    std::mutex writeMutex_;          // one transaction at a time
    std::shared_ptr<const RepositoryState> state_;
};

}  // namespace wbem
