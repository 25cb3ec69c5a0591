#include "services.h"

#include <algorithm>
#include <mutex>

#include "session.h"
#include "wbem/remote/remote_services.h"
#include "wbem/remote/session_pool.h"
#include "wbem/repository/object_path.h"
#include "wbem/service/objects.h"
#include "wbem/text.h"
#include "wbem/wql/ast.h"
#include "wbem/wql/wql.h"

namespace wbem::winrm {

namespace {

// Never destroyed: idle sessions may outlive the libraries' own cleanup at exit.
remote::SessionPool<Session>& sessionPool() {
    static auto* pool = new remote::SessionPool<Session>();
    return *pool;
}

using service::ObjectCursor;

class Services;

// The properties a SELECT names; empty for *, other query kinds and text
// our parser does not take (the server is the judge of those).
std::vector<std::string> selectedNames(std::string_view query) {
    std::vector<std::string> names;
    try {
        auto q = wql::parseQuery(query);
        if (q->kind != wql::ast::QueryKind::Select) return names;
        const auto& select = static_cast<const wql::ast::SelectQuery&>(*q);
        if (select.star) return names;
        for (const auto& c : select.columns) names.push_back(c.text);
    } catch (const std::exception&) {
        names.clear();
    }
    return names;
}

// Objects of a query, one Pull batch at a time.
class QueryCursor : public ObjectCursor {
  public:
    QueryCursor(std::unique_ptr<Enumeration> e, std::shared_ptr<Services> owner,
                std::shared_ptr<const std::vector<std::string>> selected)
        : enumeration_(std::move(e)), owner_(std::move(owner)), selected_(std::move(selected)) {}
    std::shared_ptr<ISWbemObject> next() override;

  private:
    std::unique_ptr<Enumeration> enumeration_;
    std::shared_ptr<Services> owner_;
    std::shared_ptr<const std::vector<std::string>> selected_;
};

class Services : public remote::RemoteServices, public std::enable_shared_from_this<Services> {
  public:
    // `poolKey`: where the session goes back for reuse when these services end.
    Services(std::shared_ptr<Session> session, std::string poolKey)
        : session_(std::move(session)), poolKey_(std::move(poolKey)) {
        ctx_.server = session_->serverName();
        ctx_.nspace = session_->nspace();
    }
    ~Services() override { sessionPool().give(std::move(poolKey_), std::move(session_)); }

    // `selected`: a query's property list, which a server may not have
    // applied; the object then shows only those, as WMI's partial objects do.
    std::shared_ptr<ISWbemObject> wrap(WsmanObject o,
                                       const std::vector<std::string>* selected = nullptr) {
        if (selected && !selected->empty()) {
            const ClassDef& cls = o.instance->cls();
            std::vector<int> kept;
            for (int slot : o.projection) {
                const std::string& name = cls.properties[size_t(slot)].name;
                for (const auto& s : *selected)
                    if (iequals(s, name)) {
                        kept.push_back(slot);
                        break;
                    }
            }
            o.projection = std::move(kept);
            o.partial = o.projection.size() < cls.properties.size();
        }
        auto cls = o.instance->classPtr();
        return service::makeOwnedObject(shared_from_this(), ctx_, std::move(cls),
                                        std::move(o.instance), std::move(o.projection), o.partial);
    }

    std::shared_ptr<ISWbemObject> wrapClass(std::shared_ptr<const ClassDef> cls) override {
        return service::makeOwnedObject(shared_from_this(), ctx_, std::move(cls));
    }

  protected:
    std::vector<std::shared_ptr<const ClassDef>> allClasses() override {
        std::vector<std::shared_ptr<const ClassDef>> all;
        auto e = session_->enumerateClasses();
        while (auto cls = e->nextClass()) all.push_back(std::move(cls));
        return all;
    }
    std::shared_ptr<const ClassDef> classDef(const std::string& name) override {
        return session_->classDef(name);
    }
    std::shared_ptr<ISWbemObject> getInstance(const ObjectPath& path) override {
        return wrap(session_->get(path));
    }
    std::shared_ptr<ISWbemObject> invoke(
        const ObjectPath& path, std::string_view method,
        const std::vector<std::pair<std::string, std::string>>& inParameters) override {
        return wrap(session_->invoke(path, method, inParameters));
    }

  private:
    // The query starts now, so that a bad query or class fails in the call;
    // a stream set hands its first walk the enumeration already under way.
    std::shared_ptr<ISWbemObjectSet> run(std::string wql, int32_t flags) override {
        auto first = session_->query(wql);
        auto self = shared_from_this();
        auto selected = std::make_shared<const std::vector<std::string>>(selectedNames(wql));
        if ((flags & flags::ReturnImmediately) == 0) {
            std::vector<std::shared_ptr<ISWbemObject>> items;
            QueryCursor cursor(std::move(first), self, selected);
            while (auto obj = cursor.next()) items.push_back(std::move(obj));
            return service::makeObjectSet(std::move(items));
        }
        struct Pending {
            std::mutex mutex;
            std::unique_ptr<Enumeration> enumeration;
        };
        auto pending = std::make_shared<Pending>();
        pending->enumeration = std::move(first);
        auto open = [self, pending, wql, selected]() -> std::unique_ptr<ObjectCursor> {
            std::unique_ptr<Enumeration> e;
            {
                std::lock_guard lock(pending->mutex);
                e = std::move(pending->enumeration);
            }
            if (!e) e = self->session_->query(wql);
            return std::make_unique<QueryCursor>(std::move(e), self, selected);
        };
        return service::makeObjectStream(std::move(open), (flags & flags::ForwardOnly) != 0);
    }

    std::shared_ptr<Session> session_;
    std::string poolKey_;
    ObjectContext ctx_;
};

std::shared_ptr<ISWbemObject> QueryCursor::next() {
    auto o = enumeration_->next();
    return o ? owner_->wrap(std::move(*o), selected_.get()) : nullptr;
}

}  // namespace

std::shared_ptr<ISWbemServices> connect(std::string_view host, std::string_view nspace,
                                        std::string_view user, std::string_view password,
                                        const RemoteOptions& options) {
    auto endpoint = parseEndpoint(host);
    if (!endpoint)
        fail(hr::RpcUnavailable,
             describeWithReason(hr::RpcUnavailable, "\"" + std::string(trimmed(host)) +
                                                        "\" is not a host name or URL."));
    // Names under .invalid never resolve (RFC 6761): no lookup is needed to know.
    const std::string& name = endpoint->host;
    if (name.size() >= 8 && iequals(std::string_view(name).substr(name.size() - 8), ".invalid"))
        fail(hr::RpcUnavailable);
    std::string ns = remote::sessionNamespace(nspace);
    std::string key = remote::sessionKey(host, ns, user, password, options);
    if (auto idle = sessionPool().take(key))
        return std::make_shared<Services>(std::move(idle), std::move(key));
    TransportOptions t;
    t.remote = options;
    t.user = std::string(user);
    t.password = std::string(password);
    auto session = std::make_shared<Session>(std::move(*endpoint), std::move(t), std::move(ns));
    wipeSecret(t.password);  // what a move of a short string leaves behind
    session->identify();
    return std::make_shared<Services>(std::move(session), std::move(key));
}

}  // namespace wbem::winrm
