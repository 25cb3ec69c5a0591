#include "applier.h"

#include <algorithm>
#include <unordered_set>
#include <variant>

#include "../limits.h"

namespace wbem::mof {

std::string pragmaNamespace(std::string_view arg, std::string_view current) {
    std::string p(arg);
    std::replace(p.begin(), p.end(), '/', '\\');
    if (p.rfind("\\\\", 0) == 0) {
        // \\server\path: the server is this repository's host, whatever its name.
        size_t end = p.find('\\', 2);
        return end == std::string::npos ? std::string() : p.substr(end + 1);
    }
    if (!p.empty() && p[0] == '\\') return p.substr(1);
    std::string_view first = std::string_view(p).substr(0, p.find('\\'));
    if (iequals(first, "root")) return p;
    return std::string(current) + "\\" + p;
}

Applier::Applier(Repository::Transaction& tx, const SourceSet& sources,
                 std::string defaultNamespace)
    : tx_(tx), sources_(sources), builder_(tx, sources), ns_(std::move(defaultNamespace)) {
    builder_.setAliasResolver(
        [this](const ValueAst& alias, std::string_view from) { return aliasTarget(alias, from); });
}

void Applier::apply(std::vector<Declaration>& decls) {
    for (Declaration& d : decls) {
        std::visit(
            [this](auto& decl) {
                using T = std::decay_t<decltype(decl)>;
                if constexpr (std::is_same_v<T, PragmaAst>) applyPragma(decl);
                if constexpr (std::is_same_v<T, QualifierDeclAst>) applyQualifierDecl(decl);
                if constexpr (std::is_same_v<T, ClassAst>) applyClass(decl);
                if constexpr (std::is_same_v<T, InstanceAst>) applyInstance(decl);
            },
            d);
    }
    resolveAliases();
    addInstances();
}

NamespaceState& Applier::current(Pos at) {
    try {
        NamespaceState& n = builder_.ns(ns_);
        ns_ = n.path;
        return n;
    } catch (const WbemError&) {
        sources_.fail(at, "invalid namespace '" + ns_ + "'", hr::InvalidNamespace);
    }
}

void Applier::applyPragma(const PragmaAst& p) {
    if (!iequals(p.name, "namespace")) {
        // locale, classflags, instanceflags, deleteclass, autorecover, ... carry
        // nothing this repository keeps.
        return;
    }
    if (p.args.size() != 1 || p.args[0].kind != ValueAst::Kind::String) {
        sources_.fail(p.pos, "expected a namespace path as a string in #pragma namespace");
    }
    std::string path = pragmaNamespace(p.args[0].text, ns_);
    if (namespaceKey(path).empty()) {
        sources_.fail(p.args[0].pos, "invalid namespace path '" + p.args[0].text + "'",
                      hr::InvalidNamespace);
    }
    ns_ = std::move(path);
    current(p.pos);
}

void Applier::applyQualifierDecl(QualifierDeclAst& d) {
    current(d.namePos);
    QualifierDecl decl;
    decl.name = std::string(d.name);
    decl.type = typeDecl(d.type);
    if (d.defaultValue) {
        decl.defaultValue = builder_.value(*d.defaultValue, decl.type, {"qualifier", d.name}, ns_);
    }
    decl.scopes = d.scopes;
    decl.flavors = d.flavors;
    tx_.addQualifierDecl(ns_, std::move(decl));
}

void Applier::applyClass(ClassAst& c) {
    NamespaceState& ns = current(c.namePos);
    const std::string name(c.name);
    if (!c.superclass.empty() && !ns.findClass(c.superclass)) {
        sources_.fail(
            c.superPos,
            "unknown superclass '" + std::string(c.superclass) + "' of class '" + name + "'",
            hr::InvalidSuperclass);
    }
    auto def = std::make_shared<ClassDef>();
    def->name = name;
    def->superclass = std::string(c.superclass);
    def->qualifiers = builder_.qualifiers(c.qualifiers, ns_);

    // Own members only; inheritance is the repository's work.
    std::unordered_set<std::string_view, IHash, IEqual> members;
    auto claim = [&](std::string_view member, Pos at) {
        if (members.size() >= limits::membersPerClass)
            sources_.fail(at, "class '" + name + "' has more than " +
                                  std::to_string(limits::membersPerClass) + " members");
        if (!members.insert(member).second) {
            sources_.fail(
                at, "'" + std::string(member) + "' is declared twice in class '" + name + "'");
        }
    };
    def->properties.reserve(c.properties.size());
    for (PropertyAst& p : c.properties) {
        claim(p.name, p.namePos);
        PropertyDef prop;
        prop.name = std::string(p.name);
        prop.type = typeDecl(p.type);
        prop.qualifiers = builder_.qualifiers(p.qualifiers, ns_);
        if (p.defaultValue) {
            prop.defaultValue =
                builder_.value(*p.defaultValue, prop.type, {"property", p.name}, ns_);
        }
        prop.classOrigin = name;
        prop.isKey = hasTrueQualifier(prop.qualifiers, "Key");
        def->properties.push_back(std::move(prop));
    }
    def->methods.reserve(c.methods.size());
    for (MethodAst& m : c.methods) {
        claim(m.name, m.namePos);
        MethodDef method;
        method.name = std::string(m.name);
        method.returnType = m.returnType.type;
        method.qualifiers = builder_.qualifiers(m.qualifiers, ns_);
        method.classOrigin = name;
        std::unordered_set<std::string_view, IHash, IEqual> parameterNames;
        for (ParameterAst& p : m.parameters) {
            if (parameterNames.size() >= limits::parametersPerMethod)
                sources_.fail(p.namePos, "method '" + method.name + "' has more than " +
                                             std::to_string(limits::parametersPerMethod) +
                                             " parameters");
            if (!parameterNames.insert(p.name).second) {
                sources_.fail(p.namePos, "parameter '" + std::string(p.name) +
                                             "' is declared twice in method '" + method.name + "'");
            }
            ParameterDef param;
            param.name = std::string(p.name);
            param.type = typeDecl(p.type);
            param.qualifiers = builder_.qualifiers(p.qualifiers, ns_);
            // A parameter with neither In nor Out is an input.
            param.out = hasTrueQualifier(param.qualifiers, "Out");
            const Qualifier* in = findQualifier(param.qualifiers, "In");
            param.in = in ? hasTrueQualifier(param.qualifiers, "In") : !param.out;
            method.parameters.push_back(std::move(param));
        }
        def->methods.push_back(std::move(method));
    }
    try {
        tx_.addClass(ns_, std::move(def));
    } catch (const WbemError& e) {
        sources_.fail(c.namePos, "cannot add class '" + name + "': " + e.what(), e.code());
    }
}

void Applier::applyInstance(InstanceAst& a) {
    current(a.classPos);
    if (iequals(a.className, "__NAMESPACE")) {
        createNamespaceInstance(a);
        return;
    }
    PendingInstance p{&a, ns_, nullptr, {}};
    p.inst = builder_.instance(a, ns_, &p.deferred);
    if (!a.alias.empty()) {
        if (!aliases_.emplace(std::string(a.alias), instances_.size()).second) {
            sources_.fail(a.aliasPos, "alias '$" + std::string(a.alias) + "' is already defined");
        }
    }
    instances_.push_back(std::move(p));
}

// "instance of __NAMESPACE { Name = "x"; };" is how MOF creates a namespace.
void Applier::createNamespaceInstance(const InstanceAst& a) {
    const ValueAst* name = nullptr;
    for (const AssignmentAst& as : a.assignments) {
        if (!iequals(as.name, "Name")) {
            sources_.fail(as.namePos,
                          "class '__NAMESPACE' has no property '" + std::string(as.name) + "'",
                          hr::NotFound);
        }
        name = &as.value;
    }
    if (!name) sources_.fail(a.classPos, "expected a value for the property 'Name' of __NAMESPACE");
    if (name->kind != ValueAst::Kind::String || name->text.empty() ||
        name->text.find_first_of("\\/") != std::string::npos) {
        sources_.fail(name->pos, "expected a namespace name for property 'Name', found " +
                                     builder_.snippet(*name));
    }
    tx_.ns(ns_ + "\\" + name->text, true);
}

bool Applier::pathReady(const PendingInstance& p) const {
    for (size_t i : p.deferred) {
        const ClassDef& cls = p.inst->cls();
        int slot = cls.findProperty(p.ast->assignments[i].name);
        if (cls.properties[static_cast<size_t>(slot)].isKey) return false;
    }
    return true;
}

AliasTarget Applier::aliasTarget(const ValueAst& alias, std::string_view from) const {
    auto it = aliases_.find(alias.text);
    if (it == aliases_.end()) sources_.fail(alias.pos, "unknown alias '$" + alias.text + "'");
    const PendingInstance& target = instances_[it->second];
    std::string rel = relPathOf(*target.inst);
    if (rel.empty()) {
        sources_.fail(alias.pos, "alias '$" + alias.text +
                                     "' names an instance without an object path (its class has "
                                     "no key, or a key has no value)");
    }
    if (namespaceKey(target.nspace) != namespaceKey(from)) rel = fullPath(".", target.nspace, rel);
    return AliasTarget{std::move(rel), &target.inst->cls()};
}

void Applier::resolveAliases() {
    std::vector<const ValueAst*> used;
    // Every alias must exist; report the first unknown one where it is used.
    for (const PendingInstance& p : instances_) {
        for (size_t i : p.deferred) {
            used.clear();
            collectAliases(p.ast->assignments[i].value, used);
            for (const ValueAst* a : used) {
                if (!aliases_.count(a->text)) {
                    sources_.fail(a->pos, "unknown alias '$" + a->text + "'");
                }
            }
        }
    }
    // An assignment can be made once the instances it names have their keys.
    bool progress = true;
    while (progress) {
        progress = false;
        for (PendingInstance& p : instances_) {
            for (size_t k = 0; k < p.deferred.size();) {
                AssignmentAst& a = p.ast->assignments[p.deferred[k]];
                used.clear();
                collectAliases(a.value, used);
                bool ready = std::all_of(used.begin(), used.end(), [&](const ValueAst* v) {
                    return pathReady(instances_[aliases_.find(v->text)->second]);
                });
                if (!ready) {
                    ++k;
                    continue;
                }
                builder_.assignWithAliases(*p.inst, a, p.nspace);
                p.deferred.erase(p.deferred.begin() + static_cast<std::ptrdiff_t>(k));
                progress = true;
            }
        }
    }
    for (const PendingInstance& p : instances_) {
        if (p.deferred.empty()) continue;
        used.clear();
        collectAliases(p.ast->assignments[p.deferred.front()].value, used);
        sources_.fail(used.front()->pos, "cannot resolve alias '$" + used.front()->text +
                                             "': the keys of the instances refer to each other");
    }
}

void Applier::addInstances() {
    // Paths of the instances each class already holds (lowered, as paths
    // compare), made when the class is first met, to find redeclarations.
    struct ClassInstances {
        std::vector<std::shared_ptr<const Instance>>* list = nullptr;
        std::unordered_map<std::string, size_t> byPath;
    };
    std::unordered_map<std::string, ClassInstances> known;  // namespace key + ':' + class
    for (PendingInstance& p : instances_) {
        const ClassDef& cls = p.inst->cls();
        for (int slot : cls.keys) {
            if (p.inst->value(slot).isNull()) {
                sources_.fail(p.ast->classPos, "key property '" +
                                                   cls.properties[static_cast<size_t>(slot)].name +
                                                   "' of class '" + cls.name + "' has no value");
            }
        }
        // A later declaration of the same object replaces the earlier one.
        std::string rel = lowered(relPathOf(*p.inst));
        if (rel.empty()) {
            tx_.addInstance(p.nspace, std::move(p.inst));
            continue;
        }
        ClassInstances& seen = known[namespaceKey(p.nspace) + ":" + lowered(cls.name)];
        if (!seen.list) {
            NamespaceState& ns = builder_.ns(p.nspace);
            seen.list = &ns.instances[cls.name];
            for (size_t i = 0; i < seen.list->size(); ++i) {
                seen.byPath.emplace(lowered(relPathOf(*(*seen.list)[i])), i);
            }
        }
        auto same = seen.byPath.find(rel);
        if (same != seen.byPath.end()) {
            (*seen.list)[same->second] = std::move(p.inst);
            continue;
        }
        tx_.addInstance(p.nspace, std::move(p.inst));  // appends to seen.list
        seen.byPath.emplace(std::move(rel), seen.list->size() - 1);
    }
}

}  // namespace wbem::mof
