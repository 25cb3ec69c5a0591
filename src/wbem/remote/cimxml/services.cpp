#include "services.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>
#include <set>

#include "session.h"
#include "wbem/remote/remote_services.h"
#include "wbem/remote/session_pool.h"
#include "wbem/repository/object_path.h"
#include "wbem/repository/repository.h"
#include "wbem/service/objects.h"
#include "wbem/text.h"
#include "wbem/wql/ast.h"
#include "wbem/wql/binder.h"
#include "wbem/wql/wql.h"

namespace wbem::cimxml {

namespace {

// Never destroyed: idle sessions may outlive the libraries' own cleanup at exit.
remote::SessionPool<Session>& sessionPool() {
    static auto* pool = new remote::SessionPool<Session>();
    return *pool;
}

using service::ObjectCursor;
namespace ast = wql::ast;

class Services;

// The class names an ISA in a WHERE condition names.
void isaClasses(const ast::Expr* e, std::vector<std::string>& out) {
    if (!e) return;
    switch (e->kind) {
        case ast::ExprKind::And:
            for (const auto& t : static_cast<const ast::AndExpr*>(e)->terms)
                isaClasses(t.get(), out);
            break;
        case ast::ExprKind::Or:
            for (const auto& t : static_cast<const ast::OrExpr*>(e)->terms)
                isaClasses(t.get(), out);
            break;
        case ast::ExprKind::Not:
            isaClasses(static_cast<const ast::NotExpr*>(e)->operand.get(), out);
            break;
        case ast::ExprKind::Isa:
            out.push_back(static_cast<const ast::IsaExpr*>(e)->className.text);
            break;
        default:
            break;
    }
}

NamespaceState namespaceOf(const std::vector<std::shared_ptr<const ClassDef>>& classes,
                           const std::string& path) {
    NamespaceState ns;
    ns.path = path;
    for (const auto& cls : classes) {
        if (!cls || ns.classIndex.count(cls->name)) continue;
        ns.classIndex.emplace(cls->name, ns.classes.size());
        ns.classes.push_back(cls);
    }
    return ns;
}

// A SELECT run here over objects the server enumerated: the query bound to
// the classes it names and tested object by object by the WQL engine's own
// evaluator, so the result is what the local service would give.
struct ClientFilter {
    ObjectContext ctx;
    NamespaceState ns;
    wql::BoundSelect bound;
};

struct Layout {
    std::shared_ptr<const ClassDef> cls;
    std::vector<int> slots;       // per entry of the query's property table
    std::vector<int> projection;  // selected slots, ascending
};

class Layouts {
  public:
    explicit Layouts(const wql::BoundSelect& b) : b_(b) {}
    const Layout& get(const std::shared_ptr<const ClassDef>& cls) {
        for (const Layout& l : layouts_)
            if (l.cls == cls) return l;
        Layout l;
        l.cls = cls;
        for (const auto& name : b_.properties) l.slots.push_back(cls->findProperty(name));
        for (const auto& name : b_.columns)
            if (int slot = cls->findProperty(name); slot >= 0) l.projection.push_back(slot);
        std::sort(l.projection.begin(), l.projection.end());
        l.projection.erase(std::unique(l.projection.begin(), l.projection.end()),
                           l.projection.end());
        layouts_.push_back(std::move(l));
        return layouts_.back();
    }

  private:
    const wql::BoundSelect& b_;
    std::vector<Layout> layouts_;  // few classes per query: a list is enough
};

// Objects produced one at a time from instances the session hands out.
class InstanceCursor : public ObjectCursor {
  public:
    using Source = std::function<std::shared_ptr<const Instance>()>;
    InstanceCursor(Source source, std::shared_ptr<Services> owner,
                   std::shared_ptr<const ClientFilter> filter, std::shared_ptr<void> hold = {})
        : source_(std::move(source)),
          owner_(std::move(owner)),
          filter_(std::move(filter)),
          hold_(std::move(hold)) {
        if (filter_) layouts_.emplace(filter_->bound);
    }
    std::shared_ptr<ISWbemObject> next() override;

  private:
    Source source_;
    std::shared_ptr<Services> owner_;
    std::shared_ptr<const ClientFilter> filter_;
    std::shared_ptr<void> hold_;  // what the source reads from
    std::optional<Layouts> layouts_;
};

// Objects already in hand.
class ListCursor : public ObjectCursor {
  public:
    explicit ListCursor(std::vector<std::shared_ptr<ISWbemObject>> items)
        : items_(std::move(items)) {}
    std::shared_ptr<ISWbemObject> next() override {
        return pos_ < items_.size() ? items_[pos_++] : nullptr;
    }

  private:
    std::vector<std::shared_ptr<ISWbemObject>> items_;
    size_t pos_ = 0;
};

std::shared_ptr<const ClassDef> namespaceClass() {
    static const auto cls = [] {
        auto c = std::make_shared<ClassDef>();
        c->name = "__NAMESPACE";
        PropertyDef name;
        name.name = "Name";
        name.isKey = true;
        c->properties.push_back(std::move(name));
        c->finalize();
        return std::shared_ptr<const ClassDef>(std::move(c));
    }();
    return cls;
}

class Services : public remote::RemoteServices, public std::enable_shared_from_this<Services> {
  public:
    // `poolKey`: where the session goes back for reuse when these services end.
    Services(std::shared_ptr<Session> session, std::string poolKey)
        : session_(std::move(session)), poolKey_(std::move(poolKey)) {
        ctx_.server = session_->serverName();
        ctx_.nspace = session_->nspace();
    }
    ~Services() override { sessionPool().give(std::move(poolKey_), std::move(session_)); }

    std::shared_ptr<ISWbemObject> wrap(std::shared_ptr<const Instance> inst,
                                       std::vector<int> projection = {}, bool partial = false) {
        auto cls = inst->classPtr();
        return service::makeOwnedObject(shared_from_this(), ctx_, std::move(cls), std::move(inst),
                                        std::move(projection), partial);
    }

    std::shared_ptr<ISWbemObject> wrapClass(std::shared_ptr<const ClassDef> cls) override {
        return service::makeOwnedObject(shared_from_this(), ctx_, std::move(cls));
    }

  protected:
    std::vector<std::shared_ptr<const ClassDef>> allClasses() override {
        std::vector<std::shared_ptr<const ClassDef>> all;
        for (const std::string& name : session_->classNames())
            all.push_back(session_->classDef(name));
        return all;
    }
    bool classExists(std::string_view name) override {
        return session_->classDefIfAny(name) != nullptr;
    }
    std::shared_ptr<const ClassDef> classDef(const std::string& name) override {
        return session_->classDef(name);
    }
    std::shared_ptr<ISWbemObject> getInstance(const ObjectPath& path) override {
        return wrap(session_->getInstance(path));
    }
    std::shared_ptr<ISWbemObject> invoke(
        const ObjectPath& path, std::string_view method,
        const std::vector<std::pair<std::string, std::string>>& inParameters) override {
        return wrap(session_->invoke(path, method, inParameters));
    }

  public:
    // The cursor of a query, started now so that a bad query or class fails
    // in the call.
    std::unique_ptr<ObjectCursor> start(const std::string& wql) {
        auto q = wql::parseQuery(wql);
        if (q->kind != ast::QueryKind::Select)
            return associators(static_cast<const ast::AssocQuery&>(*q));
        const auto& select = static_cast<const ast::SelectQuery&>(*q);
        if (iequals(select.className.text, "meta_class")) return metaClasses(select);
        if (iequals(select.className.text, "__NAMESPACE")) return namespaces(select);
        // Bound first: an unknown class or property fails as it does locally.
        // A plain "select *" needs no class: a server that keeps its class
        // definitions to itself still lists the instances.
        std::shared_ptr<const ClientFilter> filter;
        try {
            filter = bind(select, nullptr);
        } catch (const WbemError& e) {
            if (e.code() != hr::InvalidClass || !select.star || select.where) throw;
        }
        // The server runs it when it takes WQL; else it runs here.
        if (auto found = session_->serverQuery(wql)) {
            std::vector<std::shared_ptr<ISWbemObject>> items;
            std::optional<Layouts> layouts;
            if (filter && !select.star) layouts.emplace(filter->bound);
            for (auto& inst : *found) {
                if (!layouts) {
                    items.push_back(wrap(std::move(inst)));
                    continue;
                }
                const Layout& l = layouts->get(inst->classPtr());
                items.push_back(wrap(std::move(inst), l.projection, true));
            }
            return std::make_unique<ListCursor>(std::move(items));
        }
        std::shared_ptr<InstanceStream> stream = session_->instances(select.className.text);
        return std::make_unique<InstanceCursor>([stream] { return stream->next(); },
                                                shared_from_this(), std::move(filter), stream);
    }

  private:
    // Binds a SELECT to the FROM class (or `fromClass`) and the classes its ISAs name.
    std::shared_ptr<const ClientFilter> bind(
        const ast::SelectQuery& select, std::shared_ptr<const ClassDef> fromClass,
        std::vector<std::shared_ptr<const ClassDef>> more = {}) {
        std::vector<std::shared_ptr<const ClassDef>> classes = std::move(more);
        if (!fromClass && !iequals(select.className.text, "meta_class")) {
            try {
                fromClass = session_->classDef(select.className.text);
            } catch (const CimError& e) {
                // WMI's word for a class it does not have, in a query.
                if (e.status() == 5 || e.status() == 6) fail(hr::InvalidClass);
                throw;
            }
        }
        if (fromClass) classes.push_back(fromClass);
        std::vector<std::string> isa;
        isaClasses(select.where.get(), isa);
        for (const std::string& name : isa)
            if (auto cls = session_->classDefIfAny(name)) classes.push_back(cls);
        auto filter = std::make_shared<ClientFilter>();
        filter->ctx = ctx_;
        filter->ns = namespaceOf(classes, ctx_.nspace);
        filter->bound = wql::bindSelect(select, filter->ns);
        return filter;
    }

    std::unique_ptr<ObjectCursor> metaClasses(const ast::SelectQuery& select) {
        auto all = session_->allClasses();
        auto filter = bind(select, nullptr, all);
        std::vector<std::shared_ptr<ISWbemObject>> items;
        for (const auto& cls : all) {
            wql::Row row{cls.get(), nullptr, nullptr, &filter->ctx, &filter->ns};
            if (!filter->bound.where || filter->bound.where->test(row))
                items.push_back(wrapClass(cls));
        }
        return std::make_unique<ListCursor>(std::move(items));
    }

    // __NAMESPACE instances of this namespace: its children among the
    // namespaces the server lists.
    std::unique_ptr<ObjectCursor> namespaces(const ast::SelectQuery& select) {
        const std::string here = slashNamespace(ctx_.nspace) + "/";
        std::set<std::string, ILess> children;
        for (const std::string& ns : session_->namespaces()) {
            if (ns.size() <= here.size() || !iequals(ns.substr(0, here.size()), here)) continue;
            const std::string rest = ns.substr(here.size());
            children.insert(rest.substr(0, rest.find('/')));
        }
        auto items = std::make_shared<std::vector<std::shared_ptr<const Instance>>>();
        for (const std::string& name : children) {
            auto inst = std::make_shared<Instance>(namespaceClass());
            inst->setSlot(0, CimValue::string(name));
            items->push_back(std::move(inst));
        }
        auto filter = bind(select, namespaceClass());
        auto pos = std::make_shared<size_t>(0);
        return std::make_unique<InstanceCursor>(
            [items, pos]() -> std::shared_ptr<const Instance> {
                return *pos < items->size() ? (*items)[(*pos)++] : nullptr;
            },
            shared_from_this(), std::move(filter));
    }

    std::unique_ptr<ObjectCursor> associators(const ast::AssocQuery& q) {
        const bool references = q.kind == ast::QueryKind::References;
        ObjectPath path = parseObjectPath(q.path.text);
        std::vector<Param> filters;
        if (q.assocClass) filters.push_back({"AssocClass", classNameXml(q.assocClass->text)});
        if (q.resultClass) filters.push_back({"ResultClass", classNameXml(q.resultClass->text)});
        if (q.role) filters.push_back({"Role", valueXml(q.role->text)});
        if (q.resultRole) filters.push_back({"ResultRole", valueXml(q.resultRole->text)});
        if (q.requiredAssocQualifier || q.schemaOnly)
            fail(hr::NotSupported,
                 describeWithReason(hr::NotSupported,
                                    "RequiredAssocQualifier and SchemaOnly have no counterpart "
                                    "on a CIM-XML server."));
        auto keep = [&](const ClassDef& cls) {
            return !q.requiredQualifier || cls.qualifier(q.requiredQualifier->text) != nullptr;
        };
        std::vector<std::shared_ptr<ISWbemObject>> items;
        if (path.isClass()) {
            for (auto& cls : session_->associatedClasses(references, path, filters))
                if (keep(*cls)) items.push_back(wrapClass(std::move(cls)));
            return std::make_unique<ListCursor>(std::move(items));
        }
        auto found = session_->associated(references, path, filters);
        if (q.classDefsOnly) {
            std::set<std::string, ILess> seen;
            for (const auto& inst : found)
                if (keep(inst->cls()) && seen.insert(inst->cls().name).second)
                    items.push_back(wrapClass(inst->classPtr()));
            return std::make_unique<ListCursor>(std::move(items));
        }
        for (auto& inst : found) {
            if (!keep(inst->cls())) continue;
            if (q.keysOnly)
                items.push_back(wrap(inst, inst->cls().keys, true));
            else
                items.push_back(wrap(std::move(inst)));
        }
        return std::make_unique<ListCursor>(std::move(items));
    }

    std::shared_ptr<ISWbemObjectSet> run(std::string wql, int32_t flags) override {
        auto first = start(wql);
        auto self = shared_from_this();
        if ((flags & flags::ReturnImmediately) == 0) {
            std::vector<std::shared_ptr<ISWbemObject>> items;
            while (auto obj = first->next()) items.push_back(std::move(obj));
            return service::makeObjectSet(std::move(items));
        }
        struct Pending {
            std::mutex mutex;
            std::unique_ptr<ObjectCursor> cursor;
        };
        auto pending = std::make_shared<Pending>();
        pending->cursor = std::move(first);
        auto open = [self, pending, wql]() -> std::unique_ptr<ObjectCursor> {
            std::unique_ptr<ObjectCursor> c;
            {
                std::lock_guard lock(pending->mutex);
                c = std::move(pending->cursor);
            }
            return c ? std::move(c) : self->start(wql);
        };
        return service::makeObjectStream(std::move(open), (flags & flags::ForwardOnly) != 0);
    }

    std::shared_ptr<Session> session_;
    std::string poolKey_;
    ObjectContext ctx_;
};

std::shared_ptr<ISWbemObject> InstanceCursor::next() {
    for (;;) {
        auto inst = source_();
        if (!inst) return nullptr;
        if (!filter_) return owner_->wrap(std::move(inst));
        const Layout& l = layouts_->get(inst->classPtr());
        wql::Row row{l.cls.get(), inst.get(), l.slots.data(), &filter_->ctx, &filter_->ns};
        if (filter_->bound.where && !filter_->bound.where->test(row)) continue;
        if (filter_->bound.star) return owner_->wrap(std::move(inst));
        return owner_->wrap(std::move(inst), l.projection, true);
    }
}

}  // namespace

std::shared_ptr<ISWbemServices> connect(std::string_view host, std::string_view nspace,
                                        std::string_view user, std::string_view password,
                                        const RemoteOptions& options) {
    auto endpoint = parseEndpoint(host);
    if (!endpoint)
        fail(hr::RpcUnavailable,
             describeWithReason(hr::RpcUnavailable, "\"" + std::string(trimmed(host)) +
                                                        "\" is not a CIM-XML server address."));
    const std::string& name = endpoint->target.host;
    if (name.size() >= 8 && iequals(std::string_view(name).substr(name.size() - 8), ".invalid"))
        fail(hr::RpcUnavailable);
    if (options.auth == AuthMethod::Kerberos || options.auth == AuthMethod::Ntlm)
        fail(hr::AccessDeniedSystem,
             describeWithReason(hr::AccessDeniedSystem,
                                "CIM-XML servers take Basic authentication only; use -auth:basic "
                                "or -auth:negotiate."));
    std::string ns = remote::sessionNamespace(nspace);
    std::string key = remote::sessionKey(host, ns, user, password, options);
    if (auto idle = sessionPool().take(key))
        return std::make_shared<Services>(std::move(idle), std::move(key));
    http::ClientOptions o;
    o.remote = options;
    o.user = std::string(user);
    o.password = std::string(password);
    o.userAgent = "Cimscope CIM-XML client";
    auto session = std::make_shared<Session>(std::move(*endpoint), std::move(o), std::move(ns));
    http::wipeSecret(o.password);  // what a move of a short string leaves behind
    // The first exchange tells a CIM-XML server in this namespace from
    // anything else, and checks the credentials.
    try {
        session->classNames(false);
    } catch (const CimError& e) {
        if (e.status() == 3) fail(hr::InvalidNamespace, e.what());
        throw;
    }
    return std::make_shared<Services>(std::move(session), std::move(key));
}

}  // namespace wbem::cimxml
