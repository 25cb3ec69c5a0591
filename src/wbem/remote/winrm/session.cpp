#include "session.h"

#include <algorithm>

#include "faults.h"
#include "wbem/remote/remote_services.h"
#include "wbem/remote/xml/cim_xml.h"
#include "wbem/text.h"

namespace wbem::winrm {

namespace {

// The reply's payload must be the element expected, else the host is not
// answering as a WS-Management service does.
const xmlNode* expect(const Reply& r, std::string_view localName, std::string_view host) {
    const xmlNode* p = r.payload();
    if (xml::localName(p) != localName)
        fail(hr::Failed,
             describeWithReason(hr::Failed, std::string(host) + " answered with " +
                                                std::string(xml::localName(p)) + " instead of " +
                                                std::string(localName) + "."));
    return p;
}

[[noreturn]] void unreadable(std::string_view host, const xml::XmlError& e) {
    fail(hr::Failed, describeWithReason(hr::Failed, "An object from " + std::string(host) +
                                                        " could not be read: " + e.what()));
}

}  // namespace

// --- Enumeration -------------------------------------------------------------

Enumeration::Enumeration(std::shared_ptr<Session> session, std::string resourceUri, Reply first)
    : session_(std::move(session)),
      resourceUri_(std::move(resourceUri)),
      reader_(session_->newReader()) {
    take(std::move(first), false);
}

Enumeration::~Enumeration() {
    if (ended_ || context_.empty()) return;
    try {
        session_->call(session_->header(resourceUri_, action::release), releaseBody(context_));
    } catch (...) {
        // The server drops a forgotten enumeration by itself after a while.
    }
}

void Enumeration::take(Reply reply, bool pulled) {
    const std::string host = session_->serverName();
    const xmlNode* response = expect(reply, pulled ? "PullResponse" : "EnumerateResponse", host);
    context_.clear();
    if (const xmlNode* c = xml::firstChild(response, "EnumerationContext"))
        context_ = std::string(trimmed(xml::text(c)));
    ended_ = xml::firstChild(response, "EndOfSequence") != nullptr;
    const xmlNode* items = xml::firstChild(response, "Items");
    cursor_ = items ? xml::firstChild(items) : nullptr;
    batch_ = std::move(reply);
    if (context_.empty()) ended_ = true;
}

const xmlNode* Enumeration::nextItem(const xmlNode** epr) {
    for (;;) {
        if (cursor_) {
            const ItemParts parts = itemParts(cursor_);
            cursor_ = xml::nextSibling(cursor_);
            *epr = parts.epr;
            if (parts.object) return parts.object;
            continue;
        }
        if (ended_) return nullptr;
        Reply r = session_->call(session_->header(resourceUri_, action::pull),
                                 pullBody(context_, session_->maxElements()));
        take(std::move(r), true);
    }
}

std::optional<WsmanObject> Enumeration::next() {
    const xmlNode* epr = nullptr;
    const xmlNode* item = nextItem(&epr);
    if (!item) return std::nullopt;
    try {
        return reader_.read(item, epr);
    } catch (const xml::XmlError& e) {
        unreadable(session_->serverName(), e);
    }
}

std::shared_ptr<const ClassDef> Enumeration::nextClass() {
    const xmlNode* epr = nullptr;
    const xmlNode* item = nextItem(&epr);
    if (!item) return nullptr;
    try {
        return cimxml::readClass(item);
    } catch (const xml::XmlError& e) {
        unreadable(session_->serverName(), e);
    }
}

// --- Session -----------------------------------------------------------------

Session::Session(Endpoint endpoint, TransportOptions options, std::string nspace)
    : endpoint_(endpoint),
      nspace_(std::move(nspace)),
      transport_(std::move(endpoint), options),
      operationTimeoutSeconds_(std::max(1, options.remote.operationTimeoutMs / 1000)) {
    wipeSecret(options.password);  // the transport has its own copy
}

std::string Session::namespaceWithSlashes() const {
    std::string n = nspace_;
    std::replace(n.begin(), n.end(), '\\', '/');
    return n;
}

std::string Session::wmiResource(std::string_view className) const {
    return std::string(resource::wmiBase) + namespaceWithSlashes() + "/" + std::string(className);
}

RequestHeader Session::header(std::string resourceUri, std::string_view act) const {
    RequestHeader h;
    h.to = endpoint_.url();
    h.resourceUri = std::move(resourceUri);
    h.action = act;
    // The server should give up a little before we do, so that its fault
    // arrives instead of our timeout.
    h.operationTimeoutSeconds = std::max(1, operationTimeoutSeconds_ - 5);
    return h;
}

ObjectReader Session::newReader() {
    std::weak_ptr<Session> self = weak_from_this();
    return ObjectReader(
        [self](std::string_view name) -> std::shared_ptr<const ClassDef> {
            auto s = self.lock();
            return s ? s->classDefIfAny(name) : nullptr;
        },
        serverName());
}

Reply Session::call(RequestHeader h, std::string_view body) {
    std::string messageId;
    const std::string request = buildRequest(h, body, messageId);
    std::lock_guard lock(mutex_);
    HttpReply http = transport_.post(request);
    return readReply(http.body, messageId, endpoint_.host);
}

std::string Session::identify() {
    HttpReply http;
    bool usable = true;
    {
        std::lock_guard lock(mutex_);
        try {
            transport_.checkAuthentication();
        } catch (const WbemError&) {
            usable = false;
        }
        // With credentials that cannot be used, the host is still asked, so
        // that an unreachable one is reported as that first.
        if (usable) {
            http = transport_.post(buildIdentify());
        } else {
            try {
                http = transport_.postUnauthenticated(buildIdentify());
            } catch (const WbemError& e) {
                // A host that wants credentials for Identify is there too.
                if (e.code() != hr::AccessDeniedSystem) throw;
            }
            transport_.checkAuthentication();
        }
    }
    Reply r = readReply(http.body, {}, endpoint_.host);
    const xmlNode* p = expect(r, "IdentifyResponse", endpoint_.host);
    std::string vendor, version;
    if (auto* v = xml::firstChild(p, "ProductVendor")) vendor = std::string(trimmed(xml::text(v)));
    if (auto* v = xml::firstChild(p, "ProductVersion"))
        version = std::string(trimmed(xml::text(v)));
    return vendor.empty() ? version : version.empty() ? vendor : vendor + " " + version;
}

void Session::noMetadata() const {
    fail(hr::NotSupported,
         describeWithReason(hr::NotSupported,
                            serverName() +
                                " publishes no class definitions over WinRM (as Windows 7 and "
                                "Server 2008 R2 do not); queries and instances still work." +
                                (noMetadataReason_.empty() ? "" : " " + noMetadataReason_)));
}

std::shared_ptr<const ClassDef> Session::classDef(std::string_view name) {
    {
        std::lock_guard lock(cacheMutex_);
        if (noMetadata_) noMetadata();
        if (auto it = classes_.find(name); it != classes_.end()) return it->second;
        if (missing_.count(std::string(name))) fail(hr::NotFound);
    }
    RequestHeader h = header(std::string(resource::cimXmlSchema), action::get);
    h.selectors = {{"__cimnamespace", namespaceWithSlashes()}, {"ClassName", std::string(name)}};
    h.booleanOptions = {{"IncludeInheritedElements", true},
                        {"IncludeQualifiers", true},
                        {"IncludeClassOrigin", true}};
    std::shared_ptr<const ClassDef> cls;
    try {
        Reply r = call(std::move(h), {});
        cls = cimxml::readClass(expect(r, "CLASS", endpoint_.host));
    } catch (const FaultError& e) {
        std::lock_guard lock(cacheMutex_);
        const HResult code = e.info().code;
        if (e.info().fromDetail && (code == hr::NotFound || code == hr::InvalidClass)) {
            missing_.insert(std::string(name));
            throw;
        }
        // Any other fault on the metadata resource: the server has none.
        noMetadata_ = true;
        noMetadataReason_ = e.info().reason;
        noMetadata();
    } catch (const xml::XmlError& e) {
        unreadable(endpoint_.host, e);
    }
    std::lock_guard lock(cacheMutex_);
    classes_[std::string(name)] = cls;
    return cls;
}

std::shared_ptr<const ClassDef> Session::classDefIfAny(std::string_view name) {
    try {
        return classDef(name);
    } catch (const FaultError&) {
        return nullptr;
    } catch (const WbemError& e) {
        if (e.code() == hr::NotSupported || e.code() == hr::NotFound) return nullptr;
        throw;
    }
}

std::unique_ptr<Enumeration> Session::enumerateClasses() {
    {
        std::lock_guard lock(cacheMutex_);
        if (noMetadata_) noMetadata();
    }
    const std::string uri(resource::cimXmlSchema);
    RequestHeader h = header(uri, action::enumerate);
    h.selectors = {{"__cimnamespace", namespaceWithSlashes()}};
    h.booleanOptions = {{"IncludeInheritedElements", true},
                        {"IncludeQualifiers", false},
                        {"IncludeClassOrigin", true}};
    try {
        Reply r = call(h, enumerateBody({}, maxElements(), false));
        return std::make_unique<Enumeration>(shared_from_this(), uri, std::move(r));
    } catch (const FaultError& e) {
        if (e.info().fromDetail && e.info().code == hr::InvalidNamespace) throw;
        std::lock_guard lock(cacheMutex_);
        noMetadata_ = true;
        noMetadataReason_ = e.info().reason;
        noMetadata();
    }
}

std::unique_ptr<Enumeration> Session::query(std::string_view wql) {
    const std::string uri = wmiResource("*");
    Reply r = call(header(uri, action::enumerate), enumerateBody(wql, maxElements(), true));
    return std::make_unique<Enumeration>(shared_from_this(), uri, std::move(r));
}

WsmanObject Session::get(const ObjectPath& path) {
    RequestHeader h = header(wmiResource(path.className), action::get);
    for (const PathKey& k : path.keys) h.selectors.push_back({k.name, k.value});
    Reply r = call(std::move(h), {});
    ObjectReader reader = newReader();
    try {
        return reader.read(r.payload(), nullptr);
    } catch (const xml::XmlError& e) {
        unreadable(endpoint_.host, e);
    }
}

std::shared_ptr<const ClassDef> Session::outParametersClass(
    const std::shared_ptr<const ClassDef>& cls, const MethodDef& method) {
    {
        std::lock_guard lock(cacheMutex_);
        if (auto it = outClasses_.find(&method); it != outClasses_.end())
            return it->second.outParameters;
    }
    auto def = wbem::outParametersClass(method);
    std::lock_guard lock(cacheMutex_);
    return outClasses_.try_emplace(&method, OutParameters{cls, std::move(def)})
        .first->second.outParameters;
}

WsmanObject Session::invoke(const ObjectPath& path, std::string_view method,
                            const std::vector<std::pair<std::string, std::string>>& in) {
    const std::string uri = wmiResource(path.className);
    const std::string act = uri + "/" + std::string(method);
    RequestHeader h = header(uri, act);
    for (const PathKey& k : path.keys) h.selectors.push_back({k.name, k.value});
    // The method's declaration, when the server has one, makes its arrays go
    // as one element each (WS-Management repeats an array's element) and
    // types the out-parameters.
    const auto cls = classDefIfAny(path.className);
    const MethodDef* declared = cls ? cls->findMethod(method) : nullptr;
    std::vector<std::pair<std::string, std::string>> elements;
    for (remote::MethodArgument& a : remote::methodArguments(declared, in))
        for (std::string& e : a.elements) elements.emplace_back(a.name, std::move(e));
    Reply r = call(std::move(h), invokeBody(method, uri, elements));

    const std::shared_ptr<const ClassDef> outClass =
        declared ? outParametersClass(cls, *declared) : nullptr;
    const xmlNode* p = r.payload();
    const std::string outName = std::string(method) + "_OUTPUT";
    if (xml::localName(p) != outName)
        fail(hr::Failed, describeWithReason(hr::Failed, serverName() + " answered with " +
                                                            std::string(xml::localName(p)) +
                                                            " instead of " + outName + "."));
    ObjectReader reader(
        [outClass, outName](std::string_view name) -> std::shared_ptr<const ClassDef> {
            return name == outName ? outClass : nullptr;
        },
        serverName());
    try {
        return reader.read(p, nullptr);
    } catch (const xml::XmlError& e) {
        unreadable(endpoint_.host, e);
    }
}

}  // namespace wbem::winrm
