#include "class_def.h"

#include <algorithm>

#include "../errors.h"
#include "../limits.h"

namespace wbem {

const Qualifier* findQualifier(const std::vector<Qualifier>& list, std::string_view name) {
    for (const auto& q : list)
        if (iequals(q.name, name)) return &q;
    return nullptr;
}

bool hasTrueQualifier(const std::vector<Qualifier>& list, std::string_view name) {
    const Qualifier* q = findQualifier(list, name);
    if (!q) return false;
    if (q->value.isNull()) return true;
    return q->value.kind() == CimValue::Kind::Bool && q->value.asBool();
}

int ClassDef::findProperty(std::string_view n) const {
    auto it = index_.find(n);
    return it == index_.end() ? -1 : it->second;
}

const PropertyDef* ClassDef::property(std::string_view n) const {
    int slot = findProperty(n);
    return slot < 0 ? nullptr : &properties[size_t(slot)];
}

const MethodDef* ClassDef::findMethod(std::string_view n) const {
    for (const auto& m : methods)
        if (iequals(m.name, n)) return &m;
    return nullptr;
}

bool ClassDef::derivesFrom(std::string_view className) const {
    if (iequals(name, className)) return true;
    for (const auto& d : derivation)
        if (iequals(d, className)) return true;
    return false;
}

void ClassDef::finalize() {
    index_.clear();
    alphabetical.clear();
    keys.clear();
    for (size_t i = 0; i < properties.size(); ++i) {
        auto& p = properties[i];
        // Only Key makes a key: WMI marks the DMTF keys it does not use in
        // paths with CIM_Key, which leaves them ordinary properties.
        p.isKey = p.isKey || hasTrueQualifier(p.qualifiers, "key");
        index_.emplace(p.name, int(i));
        alphabetical.push_back(int(i));
    }
    std::stable_sort(alphabetical.begin(), alphabetical.end(), [this](int a, int b) {
        return icompare(properties[size_t(a)].name, properties[size_t(b)].name) < 0;
    });
    for (int slot : alphabetical)
        if (properties[size_t(slot)].isKey) keys.push_back(slot);
    association = hasTrueQualifier(qualifiers, "association");
    indication = hasTrueQualifier(qualifiers, "indication");
    isAbstract = hasTrueQualifier(qualifiers, "abstract");
    singleton = hasTrueQualifier(qualifiers, "singleton");
}

namespace {

// Qualifiers of the parent that reach the child, then the child's own
// (replacing inherited ones of the same name).
std::vector<Qualifier> mergeQualifiers(const std::vector<Qualifier>& inherited,
                                       const std::vector<Qualifier>& own) {
    std::vector<Qualifier> out;
    for (const auto& q : inherited) {
        if (q.flavors & flavor::Restricted) continue;
        if (findQualifier(own, q.name)) continue;
        Qualifier copy = q;
        copy.propagated = true;
        out.push_back(std::move(copy));
    }
    for (const auto& q : own) out.push_back(q);
    return out;
}

}  // namespace

std::shared_ptr<const ClassDef> outParametersClass(const MethodDef& method) {
    auto cls = std::make_shared<ClassDef>();
    cls->name = "__PARAMETERS";
    auto add = [&](std::string name, const CimTypeDecl& type) {
        PropertyDef& p = cls->properties.emplace_back();
        p.name = std::move(name);
        p.type = type;
        p.classOrigin = cls->name;
    };
    for (const ParameterDef& p : method.parameters)
        if (p.out) add(p.name, p.type);
    CimTypeDecl returnType;
    returnType.type = method.returnType;
    add("ReturnValue", returnType);
    cls->finalize();
    return cls;
}

std::shared_ptr<const ClassDef> deriveClass(const ClassDef* parent,
                                            std::shared_ptr<const ClassDef> declared) {
    auto cls = std::make_shared<ClassDef>();
    cls->name = declared->name;
    cls->superclass = declared->superclass;
    cls->declared = declared;
    if (!parent) {
        cls->qualifiers = declared->qualifiers;
        cls->properties = declared->properties;
        cls->methods = declared->methods;
        for (auto& p : cls->properties)
            if (p.classOrigin.empty()) p.classOrigin = cls->name;
        for (auto& m : cls->methods)
            if (m.classOrigin.empty()) m.classOrigin = cls->name;
        cls->finalize();
        return cls;
    }
    if (parent->derivation.size() + 1 > limits::classDepth)
        fail(hr::InvalidSuperclass, "class '" + declared->name + "' would have more than " +
                                        std::to_string(limits::classDepth) + " superclasses");
    cls->qualifiers = mergeQualifiers(parent->qualifiers, declared->qualifiers);
    // Abstract does not pass to subclasses even when a schema forgets Restricted.
    std::erase_if(cls->qualifiers,
                  [&](const Qualifier& q) { return q.propagated && iequals(q.name, "abstract"); });
    cls->derivation.push_back(parent->name);
    cls->derivation.insert(cls->derivation.end(), parent->derivation.begin(),
                           parent->derivation.end());
    cls->properties = parent->properties;
    for (auto& p : cls->properties) {
        std::vector<Qualifier> kept;
        for (auto& q : p.qualifiers)
            if (!(q.flavors & flavor::Restricted)) {
                q.propagated = true;
                kept.push_back(q);
            }
        p.qualifiers = std::move(kept);
    }
    // Overrides are found through the parent's index, so that a class with
    // many members derives in time linear in their number.
    for (const auto& own : declared->properties) {
        const int slot = parent->findProperty(own.name);
        auto it = slot < 0 ? cls->properties.end() : cls->properties.begin() + slot;
        if (it == cls->properties.end()) {
            PropertyDef p = own;
            if (p.classOrigin.empty()) p.classOrigin = cls->name;
            cls->properties.push_back(std::move(p));
        } else {
            // An override keeps the slot and origin; it may change the default,
            // add qualifiers or narrow the type.
            std::string origin = it->classOrigin;
            bool wasKey = it->isKey;
            auto quals = mergeQualifiers(it->qualifiers, own.qualifiers);
            *it = own;
            it->classOrigin = origin;
            it->qualifiers = std::move(quals);
            it->isKey = it->isKey || wasKey;
        }
    }
    cls->methods = parent->methods;
    std::unordered_map<std::string_view, size_t, IHash, IEqual> inheritedMethods;
    if (!declared->methods.empty())
        for (size_t i = 0; i < parent->methods.size(); ++i)
            inheritedMethods.emplace(parent->methods[i].name, i);
    for (const auto& own : declared->methods) {
        auto found = inheritedMethods.find(own.name);
        auto it = found == inheritedMethods.end() ? cls->methods.end()
                                                  : cls->methods.begin() + ptrdiff_t(found->second);
        if (it == cls->methods.end()) {
            MethodDef m = own;
            if (m.classOrigin.empty()) m.classOrigin = cls->name;
            cls->methods.push_back(std::move(m));
        } else {
            std::string origin = it->classOrigin;
            auto quals = mergeQualifiers(it->qualifiers, own.qualifiers);
            *it = own;
            it->classOrigin = origin;
            it->qualifiers = std::move(quals);
        }
    }
    cls->finalize();
    return cls;
}

}  // namespace wbem
