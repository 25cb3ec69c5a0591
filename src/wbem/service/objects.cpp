#include "objects.h"

#include <algorithm>

#include "wbem/list_enum.h"
#include "wbem/qualifier_set.h"
#include "wbem/repository/instance_source.h"
#include "wbem/text.h"

namespace wbem::service {

namespace {

using ListEnum = SharedListEnum<IDispatchLike>;

// Whether qualifiers are read off a class (all of them) or off an instance
// (only those the class passes to its instances).
enum class QualifierScope { Class, Instance };

// Qualifier values are never objects, so they need no owner to be made.
QualifierEntry entryOf(const Qualifier& q, QualifierScope scope) {
    QualifierEntry e;
    e.name = q.name;
    e.value = toVariant(q.value, CimTypeDecl{q.type, q.isArray, -1, {}}, ObjectView{});
    e.local = scope == QualifierScope::Class && !q.propagated;
    e.toSubclass = !(q.flavors & flavor::Restricted);
    e.toInstance = (q.flavors & flavor::ToInstance) != 0;
    e.overridable = !(q.flavors & flavor::DisableOverride);
    e.amended = (q.flavors & flavor::Amended) != 0;
    return e;
}

std::vector<QualifierEntry> entriesOf(const std::vector<Qualifier>& list, QualifierScope scope) {
    std::vector<QualifierEntry> out;
    for (const Qualifier& q : list)
        if (scope == QualifierScope::Class || (q.flavors & flavor::ToInstance))
            out.push_back(entryOf(q, scope));
    return out;
}

// The CIMTYPE text of a property's type: the element type of an array,
// "ref:Class" for a reference, "object:Class" for an embedded object of a
// known class.
std::string cimTypeText(const CimTypeDecl& t) {
    if (t.type == CimType::Reference) return t.refClass.empty() ? "ref" : "ref:" + t.refClass;
    if (t.type == CimType::Object && !t.refClass.empty()) return "object:" + t.refClass;
    return std::string(cimTypeName(t.type));
}

// A property's qualifiers, with CIMTYPE added where the definition does not
// carry one (every property has it).
std::shared_ptr<ISWbemQualifierSet> propertyQualifiers(const PropertyDef& def, bool local,
                                                       QualifierScope scope) {
    std::vector<QualifierEntry> entries = entriesOf(def.qualifiers, scope);
    if (!findQualifier(def.qualifiers, "CIMTYPE")) {
        QualifierEntry cimtype;
        cimtype.name = "CIMTYPE";
        cimtype.value = Variant::string(cimTypeText(def.type));
        cimtype.local = scope == QualifierScope::Class && local;
        cimtype.toInstance = true;
        entries.insert(entries.begin(), std::move(cimtype));
    }
    return makeQualifierSet(std::move(entries));
}

class Property : public ISWbemProperty {
  public:
    Property(std::string name, CimTypeDecl type, Variant value, std::string origin, bool local)
        : name_(std::move(name)),
          type_(std::move(type)),
          value_(std::move(value)),
          origin_(std::move(origin)),
          local_(local) {}
    std::string Name() const override { return name_; }
    Variant Value() const override { return value_; }
    CimType CIMType() const override { return type_.type; }
    bool IsArray() const override { return type_.isArray; }
    std::string Origin() const override { return origin_; }
    bool IsLocal() const override { return local_; }

  private:
    std::string name_;
    CimTypeDecl type_;
    Variant value_;
    std::string origin_;
    bool local_;
};

// A property of an object's class: its name, type and origin are read from
// the class definition, kept alive by the block that holds all of an
// object's properties, so that building them copies no strings and
// allocates once per object, not once per property.
class ClassProperty : public ISWbemProperty {
  public:
    ClassProperty(const PropertyDef& def, Variant&& value, bool local, QualifierScope scope)
        : def_(&def), value_(std::move(value)), local_(local), scope_(scope) {}
    std::string Name() const override { return def_->name; }
    Variant Value() const override { return value_; }
    CimType CIMType() const override { return def_->type.type; }
    bool IsArray() const override { return def_->type.isArray; }
    std::string Origin() const override { return def_->classOrigin; }
    bool IsLocal() const override { return local_; }
    std::shared_ptr<ISWbemQualifierSet> Qualifiers_() override {
        return propertyQualifiers(*def_, local_, scope_);
    }

  private:
    const PropertyDef* def_;
    Variant value_;
    bool local_;
    QualifierScope scope_;
};

struct ClassPropertyBlock {
    std::shared_ptr<const ClassDef> cls;
    std::vector<ClassProperty> items;
};

class PropertySet : public ISWbemPropertySet {
  public:
    // Every element is an ISWbemProperty.
    explicit PropertySet(std::vector<ElementPtr> items)
        : items_(std::make_shared<const std::vector<ElementPtr>>(std::move(items))) {}
    std::unique_ptr<IEnumVariant> NewEnum() override { return std::make_unique<ListEnum>(items_); }
    std::shared_ptr<ISWbemProperty> Item(std::string_view name, int32_t) override {
        return itemNamed<ISWbemProperty>(*items_, name);
    }
    int32_t Count() override { return int32_t(items_->size()); }

  private:
    std::shared_ptr<const std::vector<ElementPtr>> items_;
};

// Parameter objects are instances of a __PARAMETERS class made for the method.
std::shared_ptr<ISWbemObject> parameterObject(const MethodDef& m, bool out,
                                              const ObjectView& owner) {
    auto cls = std::make_shared<ClassDef>();
    cls->name = "__PARAMETERS";
    for (const auto& p : m.parameters) {
        if (out ? !p.out : !p.in) continue;
        PropertyDef prop;
        prop.name = p.name;
        prop.type = p.type;
        prop.qualifiers = p.qualifiers;
        prop.classOrigin = "__PARAMETERS";
        cls->properties.push_back(std::move(prop));
    }
    if (out) {
        PropertyDef ret;
        ret.name = "ReturnValue";
        ret.type.type = m.returnType;
        ret.classOrigin = "__PARAMETERS";
        cls->properties.push_back(std::move(ret));
    }
    if (cls->properties.empty()) return nullptr;
    cls->finalize();
    ObjectView view;
    view.cls = cls;
    view.declarationOrder = true;
    view.ctx = owner.ctx;
    return makeObject(std::move(view));
}

class Method : public ISWbemMethod {
  public:
    Method(const MethodDef& def, ObjectView owner) : def_(def), owner_(std::move(owner)) {}
    std::string Name() const override { return def_.name; }
    std::string Origin() const override { return def_.classOrigin; }
    std::shared_ptr<ISWbemObject> InParameters() const override {
        return parameterObject(def_, false, owner_);
    }
    std::shared_ptr<ISWbemObject> OutParameters() const override {
        return parameterObject(def_, true, owner_);
    }
    std::shared_ptr<ISWbemQualifierSet> Qualifiers_() override {
        return makeQualifierSet(entriesOf(def_.qualifiers, QualifierScope::Class));
    }

  private:
    MethodDef def_;
    ObjectView owner_;
};

class MethodSet : public ISWbemMethodSet {
  public:
    explicit MethodSet(std::vector<std::shared_ptr<ISWbemMethod>> items)
        : items_(std::move(items)) {}
    std::unique_ptr<IEnumVariant> NewEnum() override {
        return std::make_unique<ListEnum>(
            std::make_shared<const std::vector<ElementPtr>>(items_.begin(), items_.end()));
    }
    std::shared_ptr<ISWbemMethod> Item(std::string_view name, int32_t) override {
        for (const auto& m : items_)
            if (iequals(m->Name(), name)) return m;
        fail(hr::NotFound);
    }
    int32_t Count() override { return int32_t(items_.size()); }

  private:
    std::vector<std::shared_ptr<ISWbemMethod>> items_;
};

class ObjectPathImpl : public ISWbemObjectPath {
  public:
    ObjectPathImpl(std::string cls, std::string rel, std::string path, std::string ns,
                   std::string server, bool isClass, bool singleton)
        : cls_(std::move(cls)),
          rel_(std::move(rel)),
          path_(std::move(path)),
          ns_(std::move(ns)),
          server_(std::move(server)),
          isClass_(isClass),
          singleton_(singleton) {}
    std::string Class() const override { return cls_; }
    std::string RelPath() const override { return rel_; }
    std::string Path() const override { return path_; }
    std::string Namespace() const override { return ns_; }
    std::string Server() const override { return server_; }
    bool IsClass() const override { return isClass_; }
    bool IsSingleton() const override { return singleton_; }

  private:
    std::string cls_, rel_, path_, ns_, server_;
    bool isClass_, singleton_;
};

class Object : public ISWbemObject {
  public:
    explicit Object(ObjectView view) : v_(std::move(view)) {}

    std::shared_ptr<ISWbemObjectPath> Path_() override {
        std::string rel = relPath();
        std::string full = fullPath(v_.ctx.server, v_.ctx.nspace, rel);
        return std::make_shared<ObjectPathImpl>(v_.cls->name, std::move(rel), std::move(full),
                                                v_.ctx.nspace, v_.ctx.server, !v_.inst,
                                                v_.cls->singleton);
    }

    std::shared_ptr<ISWbemPropertySet> Properties_() override {
        // Callers walk the set several times (a query result's shape, names and
        // values): build it once. An object serves one thread at a time.
        if (properties_) return properties_;
        auto block = std::make_shared<ClassPropertyBlock>();
        block->cls = v_.cls;
        const QualifierScope scope = v_.inst ? QualifierScope::Instance : QualifierScope::Class;
        // A whole object in name order shows the class's own list.
        std::vector<int> chosen;
        const bool whole = !v_.declarationOrder && !v_.partial;
        if (!whole) chosen = visibleSlots();
        const std::vector<int>& slots = whole ? v_.cls->alphabetical : chosen;
        block->items.reserve(slots.size());
        for (int slot : slots) {
            const PropertyDef& def = v_.cls->properties[size_t(slot)];
            const CimValue& value = v_.inst ? v_.inst->value(slot) : def.defaultValue;
            const bool local = iequals(def.classOrigin, v_.cls->name);
            block->items.emplace_back(def, toVariant(value, def.type, v_), local, scope);
        }
        std::vector<ElementPtr> items;
        items.reserve(block->items.size());
        for (ClassProperty& p : block->items)
            items.emplace_back(block, static_cast<ISWbemProperty*>(&p));
        properties_ = std::make_shared<PropertySet>(std::move(items));
        return properties_;
    }

    std::shared_ptr<ISWbemPropertySet> SystemProperties_() override {
        std::vector<ElementPtr> items;
        int count = int(visibleSlots().size());
        for (const auto& name : systemPropertyNames()) {
            CimTypeDecl type = systemPropertyType(name);
            CimValue value = *systemProperty(name, *v_.cls, v_.inst.get(), v_.ctx, count);
            if (name == "__RELPATH" || name == "__PATH") {
                if (relPath().empty()) value = CimValue();
            }
            items.push_back(std::make_shared<Property>(name, type, toVariant(value, type, v_),
                                                       "___SYSTEM", false));
        }
        return std::make_shared<PropertySet>(std::move(items));
    }

    std::shared_ptr<ISWbemMethodSet> Methods_() override {
        std::vector<std::shared_ptr<ISWbemMethod>> items;
        for (const auto& m : v_.cls->methods) items.push_back(std::make_shared<Method>(m, v_));
        return std::make_shared<MethodSet>(std::move(items));
    }

    std::shared_ptr<ISWbemObjectSet> Instances_(int32_t flags) override {
        if (v_.owner) return v_.owner->InstancesOf(v_.cls->name, flags);
        if (!v_.repo) fail(hr::InvalidOperation);
        auto repo = v_.repo;
        std::string nspace = v_.ctx.nspace;
        std::string cls = v_.cls->name;
        ObjectView base = v_;
        auto open = [repo, nspace, cls]() -> std::unique_ptr<InstanceCursor> {
            auto snap = repo->snapshot();
            const NamespaceState* ns = snap->find(nspace);
            if (!ns) fail(hr::InvalidNamespace);
            return openInstances(snap, *ns, cls);
        };
        auto wrap = [base](std::shared_ptr<const Instance> inst) {
            ObjectView view = base;
            view.cls = inst->classPtr();
            view.inst = std::move(inst);
            view.projection.clear();
            view.partial = false;
            return makeObject(std::move(view));
        };
        bool stream = (flags & flags::ReturnImmediately) != 0;
        if (stream) return makeStreamSet(open, wrap, (flags & flags::ForwardOnly) != 0);
        std::vector<std::shared_ptr<ISWbemObject>> items;
        auto cursor = open();
        while (auto inst = cursor->next()) items.push_back(wrap(std::move(inst)));
        return makeObjectSet(std::move(items));
    }

    std::shared_ptr<ISWbemObjectSet> Subclasses_(int32_t flags) override {
        if (v_.owner) return v_.owner->SubclassesOf(v_.cls->name, flags);
        if (!v_.repo) fail(hr::InvalidOperation);
        auto snap = v_.repo->snapshot();
        const NamespaceState* ns = snap->find(v_.ctx.nspace);
        if (!ns) fail(hr::InvalidNamespace);
        std::vector<std::shared_ptr<ISWbemObject>> items;
        auto family = ns->familyOf(v_.cls->name);
        for (size_t i = 1; i < family.size(); ++i) {
            if ((flags & 1) && !iequals(family[i]->superclass, v_.cls->name)) continue;
            ObjectView view;
            view.cls = family[i];
            view.ctx = v_.ctx;
            view.repo = v_.repo;
            view.owner = v_.owner;
            items.push_back(makeObject(std::move(view)));
        }
        return makeObjectSet(std::move(items));
    }

    std::string GetObjectText_(int32_t) override { return objectText(v_); }

    std::shared_ptr<ISWbemQualifierSet> Qualifiers_() override {
        return makeQualifierSet(entriesOf(
            v_.cls->qualifiers, v_.inst ? QualifierScope::Instance : QualifierScope::Class));
    }

  private:
    std::string relPath() const {
        if (!v_.inst) return v_.cls->name;
        if (v_.partial) {
            for (int key : v_.cls->keys)
                if (std::find(v_.projection.begin(), v_.projection.end(), key) ==
                    v_.projection.end())
                    return {};
        }
        return relPathOf(*v_.inst);
    }

    std::vector<int> visibleSlots() const {
        if (v_.declarationOrder) {
            std::vector<int> slots(v_.cls->properties.size());
            for (size_t i = 0; i < slots.size(); ++i) slots[i] = int(i);
            return slots;
        }
        if (!v_.partial) return v_.cls->alphabetical;
        std::vector<int> slots;
        for (int slot : v_.cls->alphabetical)
            if (std::find(v_.projection.begin(), v_.projection.end(), slot) != v_.projection.end())
                slots.push_back(slot);
        return slots;
    }

    ObjectView v_;
    std::shared_ptr<ISWbemPropertySet> properties_;
};

}  // namespace

std::shared_ptr<ISWbemObject> makeObject(ObjectView view) {
    return std::make_shared<Object>(std::move(view));
}

std::shared_ptr<ISWbemObject> makeOwnedObject(std::shared_ptr<ISWbemServices> owner,
                                              const ObjectContext& ctx,
                                              std::shared_ptr<const ClassDef> cls,
                                              std::shared_ptr<const Instance> inst,
                                              std::vector<int> projection, bool partial) {
    ObjectView v;
    v.cls = std::move(cls);
    v.inst = std::move(inst);
    v.projection = std::move(projection);
    v.partial = partial;
    v.ctx = ctx;
    v.owner = std::move(owner);
    return makeObject(std::move(v));
}

}  // namespace wbem::service
