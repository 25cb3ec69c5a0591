#include "services.h"

#include "objects.h"
#include "wbem/repository/instance_source.h"
#include "wbem/repository/object_path.h"
#include "wbem/repository/value_text.h"
#include "wbem/text.h"
#include "wbem/wql/wql.h"

namespace wbem::service {

Services::Services(std::shared_ptr<Repository> repo, std::string nspace, std::string server)
    : repo_(std::move(repo)) {
    ctx_.nspace = std::move(nspace);
    ctx_.server = std::move(server);
}

const NamespaceState& Services::current(std::shared_ptr<const RepositoryState>& snap) const {
    snap = repo_->snapshot();
    const NamespaceState* ns = snap->find(ctx_.nspace);
    // The namespace was there at the connection; a test may have replaced the repository.
    if (!ns) fail(hr::InvalidNamespace);
    return *ns;
}

ObjectView Services::view(std::shared_ptr<const ClassDef> cls,
                          std::shared_ptr<const Instance> inst) const {
    ObjectView v;
    v.cls = std::move(cls);
    v.inst = std::move(inst);
    v.ctx = ctx_;
    v.repo = repo_;
    return v;
}

std::shared_ptr<ISWbemObjectSet> Services::SubclassesOf(std::string_view superclass,
                                                        int32_t flags) {
    std::shared_ptr<const RepositoryState> snap;
    const NamespaceState& ns = current(snap);
    std::vector<std::shared_ptr<ISWbemObject>> items;
    bool shallow = (flags & 1) != 0;
    if (trimmed(superclass).empty()) {
        for (const auto& cls : ns.classes)
            if (!shallow || cls->superclass.empty()) items.push_back(makeObject(view(cls)));
    } else {
        auto family = ns.familyOf(trimmed(superclass));
        if (family.empty()) fail(hr::InvalidClass);
        for (size_t i = 1; i < family.size(); ++i)
            if (!shallow || iequals(family[i]->superclass, family[0]->name))
                items.push_back(makeObject(view(family[i])));
    }
    return makeObjectSet(std::move(items));
}

std::shared_ptr<ISWbemObject> Services::Get(std::string_view path, int32_t) {
    if (trimmed(path).empty()) fail(hr::InvalidParameter);
    std::shared_ptr<const RepositoryState> snap;
    const NamespaceState& ns = current(snap);
    ObjectPath p = parseObjectPath(path);
    auto cls = ns.findClass(p.className);
    if (!cls) fail(hr::NotFound);
    if (p.isClass()) return makeObject(view(cls));
    auto inst = findInstance(snap, ns, p);
    if (!inst) fail(hr::NotFound);
    return makeObject(view(inst->classPtr(), inst));
}

std::shared_ptr<ISWbemObjectSet> Services::InstancesOf(std::string_view className, int32_t flags) {
    std::shared_ptr<const RepositoryState> snap;
    const NamespaceState& ns = current(snap);
    // The class is checked at the call, not later in the walk.
    auto cls = ns.findClass(trimmed(className));
    if (!cls) fail(hr::InvalidClass);
    return makeObject(view(cls))->Instances_(flags);
}

std::shared_ptr<ISWbemObjectSet> Services::ExecQuery(std::string_view query,
                                                     std::string_view language, int32_t) {
    if (!iequals(trimmed(language), "WQL")) fail(hr::InvalidQueryType);
    if (trimmed(query).empty()) fail(hr::InvalidParameter);
    std::shared_ptr<const RepositoryState> snap;
    current(snap);
    auto rows = wql::executeQuery(snap, ctx_.nspace, ctx_, query);
    std::vector<std::shared_ptr<ISWbemObject>> items;
    items.reserve(rows.size());
    for (auto& row : rows) {
        ObjectView v = view(std::move(row.cls), std::move(row.instance));
        v.projection = std::move(row.projection);
        v.partial = row.partial;
        items.push_back(makeObject(std::move(v)));
    }
    return makeObjectSet(std::move(items));
}

namespace {

// The out-parameters object: the method's out-parameters in declaration
// order, then ReturnValue, each as its declaration types it.
std::shared_ptr<Instance> outParameters(const MethodDef& m, const MethodResult& result) {
    auto out = std::make_shared<Instance>(outParametersClass(m));
    out->set("ReturnValue", result.returnValue);
    for (const auto& [name, value] : result.out) out->set(name, value);
    return out;
}

}  // namespace

std::shared_ptr<ISWbemObject> Services::ExecMethod(
    std::string_view objectPath, std::string_view method,
    const std::vector<std::pair<std::string, std::string>>& inParameters) {
    if (trimmed(method).empty() || trimmed(objectPath).empty()) fail(hr::InvalidParameter);
    std::shared_ptr<const RepositoryState> snap;
    const NamespaceState& ns = current(snap);
    const ObjectPath p = parseObjectPath(objectPath);
    auto cls = ns.findClass(p.className);
    if (!cls) fail(hr::InvalidClass);
    const MethodDef* m = cls->findMethod(trimmed(method));
    if (!m)
        fail(hr::InvalidMethod,
             describeWithReason(hr::InvalidMethod, cls->name + " has no method " +
                                                       std::string(trimmed(method)) + "."));
    const bool isStatic = hasTrueQualifier(m->qualifiers, "Static");
    if (p.isClass() && !isStatic)
        fail(hr::InvalidMethod,
             describeWithReason(hr::InvalidMethod, m->name + " is called on an instance of " +
                                                       cls->name + ", not on the class."));
    auto provider = ns.methodProviderFor(*cls, m->name);
    if (!provider)
        fail(
            hr::MethodNotImplemented,
            describeWithReason(hr::MethodNotImplemented,
                               cls->name + "." + m->name + " is not carried out on this machine."));
    auto in = readArguments(*m, inParameters);
    std::shared_ptr<const Instance> target;
    if (!p.isClass() && !isStatic) {
        target = findInstance(snap, ns, p);
        if (!target) fail(hr::NotFound);
    }
    auto out = outParameters(*m, provider->invoke(target.get(), m->name, in));
    ObjectView v = view(out->classPtr(), out);
    v.declarationOrder = true;
    return makeObject(std::move(v));
}

}  // namespace wbem::service
