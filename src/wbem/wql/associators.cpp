#include "associators.h"

#include <algorithm>
#include <unordered_map>

#include "../errors.h"
#include "../repository/instance_source.h"
#include "../repository/object_path.h"
#include "../stop_scope.h"
#include "../text.h"
#include "query_error.h"

namespace wbem::wql {

namespace {

using ast::AssocQuery;
using ast::Name;
using ast::QueryKind;

bool isReference(const PropertyDef& p) {
    return p.type.type == CimType::Reference && !p.type.isArray;
}
bool nameMatches(const std::string& name, const std::optional<Name>& wanted) {
    return !wanted || iequals(name, wanted->text);
}
bool hasQualifier(const ClassDef& cls, const std::optional<Name>& wanted) {
    return !wanted || cls.qualifier(wanted->text) != nullptr;
}
bool classMatches(const ClassDef& cls, const std::optional<Name>& wanted) {
    return !wanted || cls.derivesFrom(wanted->text);
}
// A reference declared as `ref Base` may point at Base and its subclasses.
bool mayReferTo(const PropertyDef& p, const ClassDef& target) {
    return p.type.refClass.empty() || target.derivesFrom(p.type.refClass);
}
bool inNamespace(const ObjectPath& p, const NamespaceState& ns) {
    return p.nspace.empty() || namespaceKey(p.nspace) == namespaceKey(ns.path);
}

// Collects results, each class object only once.
class Results {
  public:
    explicit Results(const AssocQuery& q) : q_(q) {}

    void addClass(const std::shared_ptr<const ClassDef>& cls) {
        for (const auto& r : out_)
            if (iequals(r.cls->name, cls->name)) return;
        out_.push_back(ResultObject{cls, nullptr, {}, false});
    }

    void addInstance(std::shared_ptr<const Instance> inst) {
        if (q_.classDefsOnly) return addClass(inst->classPtr());
        ResultObject r;
        r.cls = inst->classPtr();
        if (q_.keysOnly) {
            r.partial = true;
            r.projection = r.cls->keys;
            std::sort(r.projection.begin(), r.projection.end());
        }
        r.instance = std::move(inst);
        out_.push_back(std::move(r));
    }

    std::vector<ResultObject> take() { return std::move(out_); }

  private:
    const AssocQuery& q_;
    std::vector<ResultObject> out_;
};

// Finds the objects that references name. A class asked for more than a few
// times is walked once into an index, so that an object with thousands of
// associations (a process and its threads) costs one walk of the endpoint
// class instead of one walk per association.
class EndpointFinder {
  public:
    EndpointFinder(const std::shared_ptr<const RepositoryState>& repo, const NamespaceState& ns)
        : repo_(repo), ns_(ns) {}

    std::shared_ptr<const Instance> find(ObjectPath wanted) {
        Entry& entry = classes_[wanted.className];
        if (!entry.indexed && ++entry.asked <= kDirectLookups)
            return findInstance(repo_, ns_, wanted);
        auto cls = ns_.findClass(wanted.className);
        if (!cls) return nullptr;
        if (!entry.indexed) build(entry, *cls);
        wanted.server.clear();
        wanted.nspace.clear();
        if (wanted.keys.size() == 1 && wanted.keys[0].name.empty() && cls->keys.size() == 1)
            wanted.keys[0].name = cls->properties[size_t(cls->keys[0])].name;
        auto [from, to] = entry.index.equal_range(coarseKey(wanted));
        for (auto it = from; it != to; ++it) {
            ObjectPath have = it->second.first;
            // A subclass instance answers a path that names its base class.
            have.className = wanted.className;
            if (samePath(have, wanted)) return it->second.second;
        }
        return nullptr;
    }

  private:
    static constexpr int kDirectLookups = 4;

    struct Entry {
        int asked = 0;
        bool indexed = false;
        std::unordered_multimap<std::string, std::pair<ObjectPath, std::shared_ptr<const Instance>>>
            index;
    };

    // Key names and values, lowered; values that are paths themselves stand
    // as "*" (they compare as paths, which the final samePath does).
    static std::string coarseKey(const ObjectPath& p) {
        if (p.singleton) return "@";
        std::vector<std::string> parts;
        for (const auto& k : p.keys) {
            const bool pathLike =
                k.value.find(':') != std::string::npos || k.value.find('.') != std::string::npos;
            parts.push_back(lowered(k.name) + "=" + (pathLike ? "*" : lowered(k.value)));
        }
        std::sort(parts.begin(), parts.end());
        std::string key;
        for (const auto& part : parts) key += part + ";";
        return key;
    }

    void build(Entry& entry, const ClassDef& cls) {
        entry.indexed = true;
        auto cursor = openInstances(repo_, ns_, cls.name);
        const StopCheck stopped;
        while (auto inst = cursor->next()) {
            stopped();
            std::string rel = relPathOf(*inst);
            if (rel.empty()) continue;
            ObjectPath have = parseObjectPath(rel);
            std::string key = coarseKey(have);
            entry.index.emplace(std::move(key), std::make_pair(std::move(have), std::move(inst)));
        }
    }

    const std::shared_ptr<const RepositoryState>& repo_;
    const NamespaceState& ns_;
    std::unordered_map<std::string, Entry, IHash, IEqual> classes_;
};

class AssocWalk {
  public:
    AssocWalk(const AssocQuery& q, const std::shared_ptr<const RepositoryState>& repo,
              const NamespaceState& ns)
        : q_(q), repo_(repo), ns_(ns), results_(q), endpoints_(repo, ns) {}

    std::vector<ResultObject> run() {
        ObjectPath path;
        try {
            path = parseObjectPath(q_.path.text);
        } catch (const WbemError&) {
            invalidQuery(q_.path.offset, "malformed object path");
        }
        if (q_.assocClass) requireClass(*q_.assocClass);
        if (q_.resultClass) requireClass(*q_.resultClass);
        if (path.isClass()) {
            if (q_.keysOnly) invalidQuery(q_.path.offset, "KeysOnly needs an instance");
            schemaWalk(requireClass(Name{path.className, q_.path.offset}));
        } else {
            if (q_.schemaOnly) invalidQuery(q_.path.offset, "SchemaOnly needs a class");
            instanceWalk(path);
        }
        return results_.take();
    }

  private:
    bool associators() const { return q_.kind == QueryKind::Associators; }

    std::shared_ptr<const ClassDef> requireClass(const Name& name) const {
        auto cls = ns_.findClass(name.text);
        if (!cls) invalidClass(name.offset, "unknown class");
        return cls;
    }

    // The association classes to open: each association hierarchy once (a
    // cursor over a class includes its subclasses), or just AssocClass.
    std::vector<std::shared_ptr<const ClassDef>> cursorRoots() const {
        std::vector<std::shared_ptr<const ClassDef>> roots;
        if (q_.assocClass) {
            auto cls = ns_.findClass(q_.assocClass->text);
            if (cls->association) roots.push_back(cls);
            return roots;
        }
        for (const auto& cls : ns_.classes) {
            if (!cls->association) continue;
            auto parent = cls->superclass.empty() ? nullptr : ns_.findClass(cls->superclass);
            if (!parent || !parent->association) roots.push_back(cls);
        }
        return roots;
    }

    // Whether any class of the hierarchy has a reference that could name the
    // source in the wanted role; spares opening unrelated providers.
    bool familyMayReferTo(const ClassDef& root, const ClassDef& source) const {
        for (const auto& cls : ns_.familyOf(root.name))
            for (const auto& p : cls->properties)
                if (isReference(p) && nameMatches(p.name, q_.role) && mayReferTo(p, source))
                    return true;
        return false;
    }

    bool refersToSource(const std::string& ref) const {
        ObjectPath p;
        try {
            p = parseObjectPath(ref);
        } catch (const WbemError&) {
            return false;
        }
        if (!inNamespace(p, ns_) || !source_->cls().derivesFrom(p.className)) return false;
        // The reference may name a base class of the source's class.
        p.className = sourcePath_.className;
        p.server.clear();
        p.nspace.clear();
        if (p.keys.size() == 1 && p.keys[0].name.empty() && sourcePath_.keys.size() == 1)
            p.keys[0].name = sourcePath_.keys[0].name;
        return samePath(p, sourcePath_);
    }

    std::shared_ptr<const Instance> endpoint(const std::string& ref) {
        try {
            ObjectPath p = parseObjectPath(ref);
            if (!inNamespace(p, ns_)) return nullptr;
            return endpoints_.find(std::move(p));
        } catch (const WbemError&) {
            return nullptr;  // a dangling or malformed reference names nothing
        }
    }

    void instanceWalk(const ObjectPath& path) {
        if (!inNamespace(path, ns_))
            throw QueryError(hr::NotFound, q_.path.offset, "the object is in another namespace");
        try {
            source_ = findInstance(repo_, ns_, path);
        } catch (const WbemError& e) {
            if (e.code() == hr::InvalidClass) invalidClass(q_.path.offset, "unknown class");
            throw;
        }
        if (!source_) throw QueryError(hr::NotFound, q_.path.offset, "no such object");
        std::string rel = relPathOf(*source_);
        if (rel.empty()) return;  // nothing can refer to an object without a path
        sourcePath_ = parseObjectPath(rel);

        for (const auto& root : cursorRoots()) {
            if (!familyMayReferTo(*root, source_->cls())) continue;
            auto cursor = openInstances(repo_, ns_, root->name);
            const StopCheck stopped;  // a walk over every association may take long
            while (auto a = cursor->next()) {
                stopped();
                visitAssociation(std::move(a));
            }
        }
    }

    void visitAssociation(std::shared_ptr<const Instance> a) {
        const ClassDef& ac = a->cls();
        if (associators() && !hasQualifier(ac, q_.requiredAssocQualifier)) return;
        std::vector<int> roles;
        for (size_t i = 0; i < ac.properties.size(); ++i) {
            const PropertyDef& p = ac.properties[i];
            const CimValue& v = a->value(int(i));
            if (isReference(p) && v.kind() == CimValue::Kind::String &&
                nameMatches(p.name, q_.role) && refersToSource(v.asString()))
                roles.push_back(int(i));
        }
        if (roles.empty()) return;
        if (!associators()) {
            if (classMatches(ac, q_.resultClass) && hasQualifier(ac, q_.requiredQualifier))
                results_.addInstance(std::move(a));
            return;
        }
        // Every other reference names an endpoint; each association yields
        // its endpoints again, as WMI repeats an endpoint once per association.
        for (size_t i = 0; i < ac.properties.size(); ++i) {
            const PropertyDef& p = ac.properties[i];
            const CimValue& v = a->value(int(i));
            if (!isReference(p) || v.kind() != CimValue::Kind::String) continue;
            if (roles.size() == 1 && roles[0] == int(i)) continue;
            if (!nameMatches(p.name, q_.resultRole)) continue;
            auto ep = endpoint(v.asString());
            if (!ep || !classMatches(ep->cls(), q_.resultClass) ||
                !hasQualifier(ep->cls(), q_.requiredQualifier))
                continue;
            results_.addInstance(std::move(ep));
        }
    }

    // The source is a class: association classes that can refer to it, or
    // the classes at their other ends.
    void schemaWalk(const std::shared_ptr<const ClassDef>& source) {
        for (const auto& ac : ns_.classes) {
            if (!ac->association) continue;
            if (associators() && (!classMatches(*ac, q_.assocClass) ||
                                  !hasQualifier(*ac, q_.requiredAssocQualifier)))
                continue;
            std::vector<size_t> roles;
            for (size_t i = 0; i < ac->properties.size(); ++i) {
                const PropertyDef& p = ac->properties[i];
                if (isReference(p) && nameMatches(p.name, q_.role) && mayReferTo(p, *source))
                    roles.push_back(i);
            }
            if (roles.empty()) continue;
            if (!associators()) {
                if (classMatches(*ac, q_.resultClass) && hasQualifier(*ac, q_.requiredQualifier))
                    results_.addClass(ac);
                continue;
            }
            for (size_t i = 0; i < ac->properties.size(); ++i) {
                const PropertyDef& p = ac->properties[i];
                if (!isReference(p) || (roles.size() == 1 && roles[0] == i)) continue;
                if (!nameMatches(p.name, q_.resultRole) || p.type.refClass.empty()) continue;
                auto end = ns_.findClass(p.type.refClass);
                if (!end || !classMatches(*end, q_.resultClass) ||
                    !hasQualifier(*end, q_.requiredQualifier))
                    continue;
                results_.addClass(end);
            }
        }
    }

    const AssocQuery& q_;
    const std::shared_ptr<const RepositoryState>& repo_;
    const NamespaceState& ns_;
    Results results_;
    EndpointFinder endpoints_;
    std::shared_ptr<const Instance> source_;
    ObjectPath sourcePath_;
};

}  // namespace

std::vector<ResultObject> runAssocQuery(const AssocQuery& query,
                                        const std::shared_ptr<const RepositoryState>& repo,
                                        const NamespaceState& ns) {
    return AssocWalk(query, repo, ns).run();
}

}  // namespace wbem::wql
