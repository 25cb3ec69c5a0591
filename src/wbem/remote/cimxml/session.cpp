#include "session.h"

#include <algorithm>
#include <set>

#include "objects.h"
#include "wbem/remote/remote_services.h"
#include "wbem/remote/xml/cim_xml.h"
#include "wbem/text.h"

namespace wbem::cimxml {

namespace {

// A server that never ends an enumeration with empty batches is cut off.
constexpr int kMaxEmptyPulls = 1000;
// Superclass chains deeper than this are taken as a loop.
constexpr int kMaxDerivation = 64;

bool isTrue(const xmlNode* v) { return v && iequals(trimmed(xml::text(v)), "true"); }

// The value of a PARAMVALUE: the text of its VALUE child.
std::string paramText(const xmlNode* p) {
    if (!p) return {};
    const xmlNode* v = xml::firstChild(p, "VALUE");
    return v ? std::string(trimmed(xml::text(v))) : std::string();
}

bool unsupported(const CimError& e) {
    return e.status() == 7 || e.status() == 14 ||
           (e.status() == 0 && e.cimErrorHeader().rfind("unsupported", 0) == 0);
}

}  // namespace

// --- InstanceStream ----------------------------------------------------------

InstanceStream::InstanceStream(std::shared_ptr<Session> session, std::string nspace, Response first)
    : session_(std::move(session)), nspace_(std::move(nspace)) {
    take(std::move(first));
}

InstanceStream::~InstanceStream() {
    if (ended_ || context_.empty()) return;
    try {
        session_->call("CloseEnumeration", {{"EnumerationContext", valueXml(context_)}}, nspace_);
    } catch (...) {
        // The server drops a forgotten enumeration by itself after its timeout.
    }
}

void InstanceStream::take(Response r) {
    items_.clear();
    pos_ = 0;
    if (r.returnValue)
        for (const xmlNode* c : xml::children(r.returnValue)) items_.push_back(c);
    const xmlNode* context = r.param("ENUMERATIONCONTEXT");
    const xmlNode* end = r.param("ENDOFSEQUENCE");
    context_ = paramText(context);
    // Without the pull parameters this is a whole reply of an older operation.
    ended_ = !context || isTrue(end ? xml::firstChild(end, "VALUE") : nullptr) || context_.empty();
    batch_.emplace(std::move(r));
}

std::shared_ptr<const Instance> InstanceStream::next() {
    int empty = 0;
    for (;;) {
        while (pos_ < items_.size()) {
            const xmlNode* item = items_[pos_++];
            if (auto inst = session_->readObject(item)) return inst;
        }
        if (ended_) return nullptr;
        if (++empty > kMaxEmptyPulls)
            fail(hr::Failed, describeWithReason(hr::Failed, session_->serverName() +
                                                                " keeps sending empty batches."));
        Response r = session_->call(
            "PullInstancesWithPath",
            {{"EnumerationContext", valueXml(context_)},
             {"MaxObjectCount", valueXml(std::to_string(session_->maxObjectCount()))}},
            nspace_);
        ended_ = true;  // a failed pull leaves nothing to close
        take(std::move(r));
        if (!items_.empty()) empty = 0;
    }
}

// --- Session -----------------------------------------------------------------

Session::Session(Endpoint endpoint, http::ClientOptions options, std::string nspace)
    : endpoint_(endpoint), nspace_(std::move(nspace)), client_(endpoint.target, options) {
    http::wipeSecret(options.password);  // the client has its own copy
}

unsigned Session::nextId() {
    std::lock_guard lock(cacheMutex_);
    return ++id_;
}

void Session::unreadable(const xml::XmlError& e) const {
    fail(hr::Failed, describeWithReason(hr::Failed, "An object from " + serverName() +
                                                        " could not be read: " + e.what()));
}

Response Session::call(std::string_view method, const std::vector<Param>& params,
                       std::string_view nspace) {
    const Request req =
        intrinsicRequest(nextId(), method, nspace.empty() ? nspace_ : nspace, params);
    http::Reply reply;
    {
        std::lock_guard lock(mutex_);
        reply = client_.post(endpoint_.path, req.headers, req.body);
    }
    return readResponse(reply, method, endpoint_.target.host);
}

std::vector<std::string> Session::classNames(bool deep) {
    Response r = call("EnumerateClassNames", {{"DeepInheritance", boolXml(deep)}});
    std::vector<std::string> names;
    if (r.returnValue)
        for (const xmlNode* c : xml::children(r.returnValue, "CLASSNAME"))
            if (auto n = xml::attribute(c, "NAME"); n && !trimmed(*n).empty())
                names.emplace_back(trimmed(*n));
    return names;
}

std::shared_ptr<const ClassDef> Session::classDef(std::string_view name) {
    std::vector<std::string> chain;  // names being fetched, to stop a loop
    std::shared_ptr<const ClassDef> result;
    // Fetches `name`, then its superclasses until one is cached; fills in
    // derivations from the top down.
    std::vector<std::shared_ptr<const ClassDef>> fetched;
    std::string current(name);
    for (;;) {
        {
            std::lock_guard lock(cacheMutex_);
            if (auto it = classes_.find(current); it != classes_.end()) {
                fetched.push_back(it->second);
                break;
            }
            if (missing_.count(current)) {
                if (fetched.empty()) fail(hr::NotFound);
                break;  // a superclass the server does not show: the chain ends here
            }
        }
        if (int(chain.size()) >= kMaxDerivation ||
            std::any_of(chain.begin(), chain.end(),
                        [&](const std::string& n) { return iequals(n, current); }))
            fail(hr::Failed, describeWithReason(hr::Failed, serverName() +
                                                                " describes a class that derives "
                                                                "from itself: " +
                                                                current));
        chain.push_back(current);
        std::shared_ptr<const ClassDef> cls;
        try {
            Response r = call("GetClass", {{"ClassName", classNameXml(current)},
                                           {"LocalOnly", boolXml(false)},
                                           {"IncludeQualifiers", boolXml(true)},
                                           {"IncludeClassOrigin", boolXml(true)}});
            const xmlNode* c = r.returnValue ? xml::firstChild(r.returnValue, "CLASS") : nullptr;
            if (!c)
                fail(hr::Failed,
                     describeWithReason(hr::Failed, serverName() + " answered GetClass without "
                                                                   "a class."));
            cls = readClass(c);
        } catch (const CimError& e) {
            if (e.status() == 5 || e.status() == 6) {
                std::lock_guard lock(cacheMutex_);
                missing_[current] = true;
                if (!fetched.empty()) break;
            }
            if (fetched.empty()) throw;
            break;  // the class itself is there; its ancestry stays partial
        } catch (const xml::XmlError& e) {
            unreadable(e);
        }
        fetched.push_back(cls);
        if (cls->superclass.empty()) break;
        current = cls->superclass;
    }
    // fetched: the class, then its superclasses; the last one's derivation is final.
    for (size_t i = fetched.size() - 1; i-- > 0;) {
        auto copy = std::make_shared<ClassDef>(*fetched[i]);
        copy->derivation = {fetched[i + 1]->name};
        copy->derivation.insert(copy->derivation.end(), fetched[i + 1]->derivation.begin(),
                                fetched[i + 1]->derivation.end());
        fetched[i] = copy;
        std::lock_guard lock(cacheMutex_);
        classes_[fetched[i]->name] = fetched[i];
    }
    std::lock_guard lock(cacheMutex_);
    if (auto it = classes_.find(name); it != classes_.end()) return it->second;
    classes_[std::string(name)] = fetched.front();
    return fetched.front();
}

std::vector<std::shared_ptr<const ClassDef>> Session::allClasses() {
    Response r = call("EnumerateClasses", {{"DeepInheritance", boolXml(true)},
                                           {"LocalOnly", boolXml(false)},
                                           {"IncludeQualifiers", boolXml(true)},
                                           {"IncludeClassOrigin", boolXml(true)}});
    std::vector<std::shared_ptr<const ClassDef>> read;
    std::unordered_map<std::string, size_t, IHash, IEqual> index;
    try {
        if (r.returnValue)
            for (const xmlNode* c : xml::children(r.returnValue, "CLASS")) {
                auto cls = readClass(c);
                if (index.emplace(cls->name, read.size()).second) read.push_back(std::move(cls));
            }
    } catch (const xml::XmlError& e) {
        unreadable(e);
    }
    // Derivations from the superclass names within the set.
    std::vector<std::shared_ptr<const ClassDef>> out;
    for (const auto& cls : read) {
        auto copy = std::make_shared<ClassDef>(*cls);
        copy->derivation.clear();
        std::string super = cls->superclass;
        while (!super.empty() && int(copy->derivation.size()) < kMaxDerivation) {
            copy->derivation.push_back(super);
            auto it = index.find(super);
            if (it == index.end()) break;
            super = read[it->second]->superclass;
        }
        out.push_back(std::move(copy));
    }
    std::lock_guard lock(cacheMutex_);
    for (const auto& cls : out) classes_.emplace(cls->name, cls);
    return out;
}

std::shared_ptr<const ClassDef> Session::classDefIfAny(std::string_view name) {
    try {
        return classDef(name);
    } catch (const CimError&) {
        return nullptr;  // the server will not say: the object's own types serve
    } catch (const WbemError& e) {
        if (e.code() == hr::NotFound) return nullptr;
        throw;
    }
}

std::shared_ptr<const Instance> Session::readObject(const xmlNode* item) {
    std::weak_ptr<Session> self = weak_from_this();
    ClassLookup lookup = [self](std::string_view name) -> std::shared_ptr<const ClassDef> {
        auto s = self.lock();
        return s ? s->classDefIfAny(name) : nullptr;
    };
    try {
        return cimxml::readObject(item, lookup);
    } catch (const xml::XmlError& e) {
        unreadable(e);
    }
}

std::unique_ptr<InstanceStream> Session::instances(std::string_view className,
                                                   std::string_view nspace) {
    const std::string ns(nspace.empty() ? std::string_view(nspace_) : nspace);
    bool pull;
    {
        std::lock_guard lock(cacheMutex_);
        pull = !noPull_;
    }
    if (pull) {
        try {
            Response r = call("OpenEnumerateInstances",
                              {{"ClassName", classNameXml(className)},
                               {"DeepInheritance", boolXml(true)},
                               {"MaxObjectCount", valueXml(std::to_string(maxObjectCount()))}},
                              ns);
            return std::make_unique<InstanceStream>(shared_from_this(), ns, std::move(r));
        } catch (const CimError& e) {
            if (!unsupported(e)) throw;
            std::lock_guard lock(cacheMutex_);
            noPull_ = true;  // an older server: never asked again
        }
    }
    Response r = call("EnumerateInstances",
                      {{"ClassName", classNameXml(className)},
                       {"DeepInheritance", boolXml(true)},
                       {"LocalOnly", boolXml(false)},
                       {"IncludeQualifiers", boolXml(false)},
                       {"IncludeClassOrigin", boolXml(false)}},
                      ns);
    return std::make_unique<InstanceStream>(shared_from_this(), ns, std::move(r));
}

std::optional<std::vector<std::shared_ptr<const Instance>>> Session::serverQuery(
    std::string_view wql) {
    {
        std::lock_guard lock(cacheMutex_);
        if (noQuery_) return std::nullopt;
    }
    std::optional<Response> r;
    try {
        r.emplace(
            call("ExecQuery", {{"QueryLanguage", valueXml("WQL")}, {"Query", valueXml(wql)}}));
    } catch (const CimError& e) {
        // A query the server's own WQL cannot take is tried here instead.
        if (e.status() == 15) return std::nullopt;
        if (!unsupported(e)) throw;
        std::lock_guard lock(cacheMutex_);
        noQuery_ = true;
        return std::nullopt;
    }
    std::vector<std::shared_ptr<const Instance>> out;
    if (r->returnValue)
        for (const xmlNode* c : xml::children(r->returnValue))
            if (auto inst = readObject(c)) out.push_back(std::move(inst));
    return out;
}

std::shared_ptr<const Instance> Session::getInstance(const ObjectPath& path) {
    Response r = call("GetInstance", {{"InstanceName", instanceNameXml(path)},
                                      {"LocalOnly", boolXml(false)},
                                      {"IncludeQualifiers", boolXml(false)},
                                      {"IncludeClassOrigin", boolXml(false)}});
    const xmlNode* inst = r.returnValue ? xml::firstChild(r.returnValue, "INSTANCE") : nullptr;
    if (!inst)
        fail(hr::Failed,
             describeWithReason(hr::Failed, serverName() + " answered GetInstance without an "
                                                           "instance."));
    // The path asked for names the keys when the class is not known.
    std::vector<std::string> keys;
    for (const PathKey& k : path.keys)
        if (!k.name.empty()) keys.push_back(k.name);
    auto object = readObject(inst);
    return object ? withKeys(std::move(object), keys) : nullptr;
}

std::vector<std::shared_ptr<const Instance>> Session::associated(
    bool references, const ObjectPath& path, const std::vector<Param>& filters) {
    std::vector<Param> params{{"ObjectName", instanceNameXml(path)}};
    params.insert(params.end(), filters.begin(), filters.end());
    params.push_back({"IncludeQualifiers", boolXml(false)});
    params.push_back({"IncludeClassOrigin", boolXml(false)});
    Response r = call(references ? "References" : "Associators", params);
    std::vector<std::shared_ptr<const Instance>> out;
    if (r.returnValue)
        for (const xmlNode* c : xml::children(r.returnValue))
            if (auto inst = readObject(c)) out.push_back(std::move(inst));
    return out;
}

std::vector<std::shared_ptr<const ClassDef>> Session::associatedClasses(
    bool references, const ObjectPath& path, const std::vector<Param>& filters) {
    std::vector<Param> params{{"ObjectName", classNameXml(path.className)}};
    params.insert(params.end(), filters.begin(), filters.end());
    params.push_back({"IncludeQualifiers", boolXml(true)});
    params.push_back({"IncludeClassOrigin", boolXml(true)});
    Response r = call(references ? "References" : "Associators", params);
    std::vector<std::shared_ptr<const ClassDef>> out;
    if (!r.returnValue) return out;
    for (const xmlNode* c : xml::children(r.returnValue)) {
        const xmlNode* cls = xml::localName(c) == "CLASS" ? c : xml::firstChild(c, "CLASS");
        if (!cls) continue;
        try {
            // The full definition where the server has it, with its derivation.
            auto read = readClass(cls);
            auto known = classDefIfAny(read->name);
            out.push_back(known ? known : read);
        } catch (const xml::XmlError& e) {
            unreadable(e);
        }
    }
    return out;
}

std::vector<std::string> Session::namespaces() {
    // Where servers keep CIM_Namespace: DMTF's name, then OpenPegasus's older ones.
    static constexpr std::string_view interops[] = {"interop", "root/interop", "root/PG_InterOp"};
    static constexpr std::string_view classes[] = {"CIM_Namespace", "__Namespace"};
    std::string lastReason;
    for (std::string_view ns : interops) {
        for (std::string_view cls : classes) {
            try {
                std::set<std::string, ILess> names;
                auto stream = instances(cls, ns);
                while (auto inst = stream->next())
                    if (const CimValue* v = inst->find("Name");
                        v && v->kind() == CimValue::Kind::String)
                        names.insert(slashNamespace(v->asString()));
                names.erase("");
                return {names.begin(), names.end()};
            } catch (const CimError& e) {
                // 3: no such namespace, 5/6: no such class here; anything else is real.
                if (e.status() != 3 && e.status() != 5 && e.status() != 6) throw;
                lastReason = e.what();
                if (e.status() == 3) break;
            }
        }
    }
    fail(hr::NotSupported,
         describeWithReason(hr::NotSupported, serverName() +
                                                  " lists its namespaces nowhere this client looks "
                                                  "(CIM_Namespace in interop, root/interop or "
                                                  "root/PG_InterOp)."));
}

std::shared_ptr<const Instance> Session::invoke(
    const ObjectPath& path, std::string_view method,
    const std::vector<std::pair<std::string, std::string>>& in) {
    // Typed by the method's declaration where the server has one: its
    // arrays go as arrays, its out-parameters are read as declared.
    const MethodDef* declared = nullptr;
    auto cls = classDefIfAny(path.className);
    if (cls) declared = cls->findMethod(method);
    std::vector<Param> params;
    for (const remote::MethodArgument& a : remote::methodArguments(declared, in)) {
        std::string xml;
        for (const std::string& e : a.elements) xml += valueXml(e);
        params.push_back({a.name, a.array ? "<VALUE.ARRAY>" + xml + "</VALUE.ARRAY>" : xml});
    }
    const Request req = methodRequest(nextId(), method, nspace_, path, params);
    http::Reply reply;
    {
        std::lock_guard lock(mutex_);
        reply = client_.post(endpoint_.path, req.headers, req.body);
    }
    Response r = readResponse(reply, method, endpoint_.target.host);

    // Out-parameters the declaration does not name: by the PARAMTYPE the
    // reply gives, else as text.
    auto typeOf = [&](const xmlNode* n, const std::string& name, bool isReturn) {
        CimTypeDecl t{CimType::String, false, -1, {}};
        if (declared && isReturn) {
            t.type = declared->returnType;
            return t;
        }
        if (declared)
            for (const ParameterDef& p : declared->parameters)
                if (p.out && iequals(p.name, name)) return p.type;
        if (auto pt = xml::attribute(n, "PARAMTYPE"))
            if (auto parsed = parseCimType(*pt)) t.type = *parsed;
        // An embedded instance travels as escaped text, marked so.
        auto embedded = xml::attribute(n, "EmbeddedObject");
        if (!embedded) embedded = xml::attribute(n, "EMBEDDEDOBJECT");
        if (embedded && (iequals(*embedded, "instance") || iequals(*embedded, "object")))
            t.type = CimType::Object;
        if (xml::firstChild(n, "VALUE.ARRAY") || xml::firstChild(n, "VALUE.REFARRAY"))
            t.isArray = true;
        if (xml::firstChild(n, "VALUE.REFERENCE") || xml::firstChild(n, "VALUE.REFARRAY"))
            t.type = CimType::Reference;
        return t;
    };
    auto def = std::make_shared<ClassDef>();
    def->name = "__PARAMETERS";
    std::vector<const xmlNode*> values;
    if (r.returnValue) {
        PropertyDef ret;
        ret.name = "ReturnValue";
        ret.type = typeOf(r.returnValue, ret.name, true);
        def->properties.push_back(std::move(ret));
        values.push_back(r.returnValue);
    }
    for (const auto& [key, node] : r.params) {
        PropertyDef p;
        p.name = xml::attribute(node, "NAME").value_or(key);
        if (def->findProperty(p.name) >= 0) continue;
        p.type = typeOf(node, p.name, false);
        def->properties.push_back(std::move(p));
        values.push_back(node);
        def->finalize();
    }
    def->finalize();
    auto out = std::make_shared<Instance>(def);
    try {
        for (size_t i = 0; i < values.size(); ++i) {
            const xmlNode* v = xml::firstChild(values[i]);
            if (v) out->setSlot(int(i), readValue(v, def->properties[i].type));
        }
    } catch (const xml::XmlError& e) {
        unreadable(e);
    }
    return out;
}

}  // namespace wbem::cimxml
