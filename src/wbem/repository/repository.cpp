#include "repository.h"

#include <algorithm>
#include <deque>

#include "../errors.h"
#include "../limits.h"

namespace wbem {

std::shared_ptr<const ClassDef> NamespaceState::findClass(std::string_view name) const {
    auto it = classIndex.find(name);
    return it == classIndex.end() ? nullptr : classes[it->second];
}

std::shared_ptr<const MethodProvider> NamespaceState::methodProviderFor(
    const ClassDef& cls, std::string_view method) const {
    auto implementedBy = [&](const std::string& name) -> std::shared_ptr<const MethodProvider> {
        auto it = methodProviders.find(name);
        return it != methodProviders.end() && it->second->implements(method) ? it->second : nullptr;
    };
    if (auto p = implementedBy(cls.name)) return p;
    for (const std::string& super : cls.derivation)
        if (auto p = implementedBy(super)) return p;
    return nullptr;
}

std::vector<std::shared_ptr<const ClassDef>> NamespaceState::familyOf(std::string_view name) const {
    std::vector<std::shared_ptr<const ClassDef>> out;
    auto root = findClass(name);
    if (!root) return out;
    std::deque<std::shared_ptr<const ClassDef>> queue{root};
    while (!queue.empty()) {
        auto cls = queue.front();
        queue.pop_front();
        out.push_back(cls);
        auto it = subclasses.find(cls->name);
        if (it == subclasses.end()) continue;
        for (const auto& child : it->second)
            if (auto c = findClass(child)) queue.push_back(c);
    }
    return out;
}

namespace {

// Namespace names as WMI takes them: letters, digits and underscores.
bool validElement(std::string_view name) {
    if (name.empty() || name.size() > limits::namespaceNameLength) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_';
    });
}

// The elements of a namespace path, server prefix removed; empty when invalid
// (an empty or malformed element, or more than the depth limit).
std::vector<std::string> pathElements(std::string_view path) {
    std::string p(path);
    std::replace(p.begin(), p.end(), '/', '\\');
    if (p.rfind("\\\\", 0) == 0) {
        size_t end = p.find('\\', 2);
        if (end == std::string::npos || end == 2) return {};
        p = p.substr(end + 1);
    }
    std::vector<std::string> out;
    size_t b = 0;
    while (true) {
        size_t e = p.find('\\', b);
        std::string part = p.substr(b, e == std::string::npos ? std::string::npos : e - b);
        if (!validElement(part) || out.size() >= limits::namespaceDepth) return {};
        out.push_back(part);
        if (e == std::string::npos) break;
        b = e + 1;
    }
    return out;
}

std::string joinKey(const std::vector<std::string>& parts, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        if (i) out += '\\';
        out += lowered(parts[i]);
    }
    return out;
}

}  // namespace

std::string namespaceKey(std::string_view path) {
    auto parts = pathElements(path);
    return parts.empty() ? std::string() : joinKey(parts, parts.size());
}

const NamespaceState* RepositoryState::find(std::string_view path) const {
    std::string key = namespaceKey(path);
    if (key.empty()) return nullptr;
    auto it = namespaces.find(key);
    return it == namespaces.end() ? nullptr : it->second.get();
}

std::vector<std::string> RepositoryState::childNames(std::string_view path) const {
    std::vector<std::string> out;
    std::string key = namespaceKey(path);
    if (key.empty()) return out;
    std::string prefix = key + "\\";
    for (auto it = namespaces.lower_bound(prefix); it != namespaces.end(); ++it) {
        if (it->first.compare(0, prefix.size(), prefix) != 0) break;
        if (it->first.find('\\', prefix.size()) != std::string::npos) continue;
        const std::string& full = it->second->path;
        out.push_back(full.substr(full.rfind('\\') + 1));
    }
    return out;
}

Repository::Repository() : state_(std::make_shared<const RepositoryState>()) {}

std::shared_ptr<const RepositoryState> Repository::snapshot() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return state_;
}

Repository::Transaction::Transaction(Repository& repo)
    : repo_(repo), writeLock_(repo.writeMutex_), namespaces_(repo.snapshot()->namespaces) {}

bool Repository::Transaction::hasNamespace(std::string_view path) const {
    std::string key = namespaceKey(path);
    return !key.empty() && (touched_.count(key) || namespaces_.count(key));
}

NamespaceState& Repository::Transaction::ns(std::string_view path, bool create) {
    auto parts = pathElements(path);
    if (parts.empty()) fail(hr::InvalidNamespace);
    std::string key = joinKey(parts, parts.size());
    if (auto t = touched_.find(key); t != touched_.end()) return *t->second;
    if (auto n = namespaces_.find(key); n != namespaces_.end()) {
        auto copy = std::make_shared<NamespaceState>(*n->second);
        return *touched_.emplace(key, std::move(copy)).first->second;
    }
    if (!create) fail(hr::InvalidNamespace);
    auto fresh = std::make_shared<NamespaceState>();
    if (parts.size() > 1) {
        std::string parentPath;
        for (size_t i = 0; i + 1 < parts.size(); ++i) parentPath += (i ? "\\" : "") + parts[i];
        NamespaceState& parent = ns(parentPath, true);
        fresh->path = parent.path + "\\" + parts.back();
    } else {
        fresh->path = parts[0];
    }
    // Every namespace carries the system classes; they come from root.
    if (key != "root" && hasNamespace("root")) {
        const NamespaceState& root = ns("root", false);
        for (const auto& cls : root.classes) {
            if (cls->name.rfind("__", 0) != 0) continue;
            fresh->classIndex.emplace(cls->name, fresh->classes.size());
            fresh->classes.push_back(cls);
            if (!cls->superclass.empty()) fresh->subclasses[cls->superclass].push_back(cls->name);
        }
    }
    return *touched_.emplace(key, std::move(fresh)).first->second;
}

std::shared_ptr<const ClassDef> Repository::Transaction::addClass(
    std::string_view nspace, std::shared_ptr<const ClassDef> declared) {
    NamespaceState& n = ns(nspace, false);
    std::shared_ptr<const ClassDef> parent;
    if (!declared->superclass.empty()) {
        parent = n.findClass(declared->superclass);
        if (!parent || parent->derivesFrom(declared->name)) fail(hr::InvalidSuperclass);
    }
    auto cls = deriveClass(parent.get(), declared);
    auto existing = n.classIndex.find(cls->name);
    if (existing == n.classIndex.end()) {
        n.classIndex.emplace(cls->name, n.classes.size());
        n.classes.push_back(cls);
        if (!cls->superclass.empty()) n.subclasses[cls->superclass].push_back(cls->name);
        return cls;
    }
    auto old = n.classes[existing->second];
    if (!iequals(old->superclass, cls->superclass)) {
        if (!old->superclass.empty()) {
            auto& siblings = n.subclasses[old->superclass];
            std::erase_if(siblings, [&](const std::string& s) { return iequals(s, old->name); });
        }
        if (!cls->superclass.empty()) n.subclasses[cls->superclass].push_back(cls->name);
    }
    n.classes[existing->second] = cls;
    // Subclasses were flattened against the old definition: derive them anew.
    std::deque<std::shared_ptr<const ClassDef>> queue{cls};
    while (!queue.empty()) {
        auto p = queue.front();
        queue.pop_front();
        auto it = n.subclasses.find(p->name);
        if (it == n.subclasses.end()) continue;
        for (const auto& childName : it->second) {
            auto ci = n.classIndex.find(childName);
            if (ci == n.classIndex.end()) continue;
            auto child = deriveClass(p.get(), n.classes[ci->second]->declared);
            n.classes[ci->second] = child;
            queue.push_back(child);
        }
    }
    return cls;
}

void Repository::Transaction::addQualifierDecl(std::string_view nspace, QualifierDecl decl) {
    NamespaceState& n = ns(nspace, false);
    n.qualifierDecls[decl.name] = std::move(decl);
}

void Repository::Transaction::addInstance(std::string_view nspace,
                                          std::shared_ptr<const Instance> inst) {
    NamespaceState& n = ns(nspace, false);
    if (!n.findClass(inst->cls().name)) fail(hr::InvalidClass);
    n.instances[inst->cls().name].push_back(std::move(inst));
}

void Repository::Transaction::setProvider(std::string_view nspace, std::string_view className,
                                          std::shared_ptr<const InstanceProvider> provider) {
    NamespaceState& n = ns(nspace, false);
    if (!n.findClass(className)) fail(hr::InvalidClass);
    n.providers[std::string(className)] = std::move(provider);
}

void Repository::Transaction::setMethodProvider(std::string_view nspace, std::string_view className,
                                                std::shared_ptr<const MethodProvider> provider) {
    NamespaceState& n = ns(nspace, false);
    if (!n.findClass(className)) fail(hr::InvalidClass);
    n.methodProviders[std::string(className)] = std::move(provider);
}

void Repository::Transaction::commit() {
    auto next = std::make_shared<RepositoryState>();
    next->namespaces = namespaces_;
    for (auto& [key, ns] : touched_) next->namespaces[key] = ns;
    {
        std::lock_guard<std::mutex> lock(repo_.stateMutex_);
        repo_.state_ = std::move(next);
    }
    namespaces_ = repo_.state_->namespaces;
    touched_.clear();
}

}  // namespace wbem
