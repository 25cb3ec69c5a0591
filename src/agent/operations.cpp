#include "operations.h"

#include <algorithm>

#include "cim_status_error.h"
#include "wbem/remote/cim_status.h"
#include "wbem/remote/xml/cim_xml.h"
#include "wbem/repository/instance_source.h"
#include "wbem/repository/object_path.h"
#include "wbem/text.h"
#include "wbem/wql/wql.h"

namespace agent {

namespace xml = wbem::xml;
namespace cx = wbem::cimxml;
using wbem::ClassDef;
using wbem::iequals;
using wbem::Instance;

void Deadline::check() const {
    if (std::chrono::steady_clock::now() > at_)
        throw CimStatusError(cimStatus::Failed,
                             "The request ran past its time limit; ask for less, or use the "
                             "Open/Pull operations.");
}

namespace {

[[noreturn]] void invalidParameter(const std::string& why) {
    throw CimStatusError(cimStatus::InvalidParameter, why);
}

// --- Parameters -------------------------------------------------------------

std::string valueText(const xmlNode* param) {
    const xmlNode* value = xml::firstChild(param, "VALUE");
    return value ? std::string(wbem::trimmed(xml::text(value))) : std::string();
}

bool boolParam(const Call& call, std::string_view name, bool fallback) {
    const xmlNode* p = call.param(name);
    if (!p || !xml::firstChild(p, "VALUE")) return fallback;
    const std::string text = valueText(p);
    if (iequals(text, "true")) return true;
    if (iequals(text, "false")) return false;
    invalidParameter(std::string(name) + " must be TRUE or FALSE.");
}

std::string stringParam(const Call& call, std::string_view name) {
    const xmlNode* p = call.param(name);
    return p ? valueText(p) : std::string();
}

std::optional<uint32_t> uintParam(const Call& call, std::string_view name) {
    const xmlNode* p = call.param(name);
    if (!p) return std::nullopt;
    const std::string text = valueText(p);
    if (text.empty()) return std::nullopt;
    if (text.size() > 10 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        invalidParameter(std::string(name) + " must be an unsigned number.");
    const unsigned long long v = std::stoull(text);
    if (v > 0xFFFFFFFFull) invalidParameter(std::string(name) + " is too large.");
    return uint32_t(v);
}

std::string classNameParam(const Call& call, std::string_view name, bool required) {
    const xmlNode* p = call.param(name);
    const xmlNode* cn = p ? xml::firstChild(p, "CLASSNAME") : nullptr;
    if (!cn) {
        if (required) invalidParameter("The parameter " + std::string(name) + " is missing.");
        return {};
    }
    const auto n = xml::attribute(cn, "NAME");
    if (!n || n->empty()) invalidParameter("A CLASSNAME has no NAME.");
    return *n;
}

// An INSTANCENAME (or a CLASSNAME when allowed) as a parsed path.
wbem::ObjectPath pathParam(const Call& call, std::string_view name, bool classAllowed) {
    const xmlNode* p = call.param(name);
    if (!p) invalidParameter("The parameter " + std::string(name) + " is missing.");
    const xmlNode* element = xml::firstChild(p, "INSTANCENAME");
    if (!element && classAllowed) element = xml::firstChild(p, "CLASSNAME");
    if (!element) invalidParameter(std::string(name) + " names no instance.");
    try {
        return wbem::parseObjectPath(cx::readReference(element));
    } catch (const xml::XmlError& e) {
        invalidParameter(e.what());
    } catch (const wbem::WbemError& e) {
        invalidParameter(e.what());
    }
}

cx::WriteOptions writeOptions(const Call& call, bool localOnlyDefault, bool qualifiersDefault) {
    cx::WriteOptions o;
    o.localOnly = boolParam(call, "LocalOnly", localOnlyDefault);
    o.qualifiers = boolParam(call, "IncludeQualifiers", qualifiersDefault);
    o.classOrigin = boolParam(call, "IncludeClassOrigin", false);
    if (const xmlNode* p = call.param("PropertyList")) {
        if (const xmlNode* array = xml::firstChild(p, "VALUE.ARRAY")) {
            o.hasPropertyList = true;
            for (const xmlNode* v : xml::children(array, "VALUE"))
                o.propertyList.emplace_back(wbem::trimmed(xml::text(v)));
        }
    }
    return o;
}

// --- Sources of enumerated objects ---------------------------------------

class CursorSource : public ObjectSource {
  public:
    explicit CursorSource(std::unique_ptr<wbem::InstanceCursor> cursor)
        : cursor_(std::move(cursor)) {}
    bool next(EnumeratedObject& out) override {
        try {
            out.inst = cursor_->next();
        } catch (const wbem::WbemError& e) {
            throw CimStatusError(wbem::remote::cimStatusForCode(e.code()), e.what());
        }
        out.projection.clear();
        out.partial = false;
        return out.inst != nullptr;
    }

  private:
    std::unique_ptr<wbem::InstanceCursor> cursor_;
};

class ListSource : public ObjectSource {
  public:
    explicit ListSource(std::vector<wbem::wql::ResultObject> items) : items_(std::move(items)) {}
    bool next(EnumeratedObject& out) override {
        while (pos_ < items_.size()) {
            auto& item = items_[pos_++];
            if (!item.instance) continue;  // class results have no place in an instance pull
            out.inst = std::move(item.instance);
            out.projection = std::move(item.projection);
            out.partial = item.partial;
            return true;
        }
        return false;
    }

  private:
    std::vector<wbem::wql::ResultObject> items_;
    size_t pos_ = 0;
};

}  // namespace

// --- The operations --------------------------------------------------------

struct Operations::Impl {
    Operations& self;
    const Call& call;
    const std::string& user;
    const Deadline& deadline;
    std::shared_ptr<const wbem::RepositoryState> snap;
    const wbem::NamespaceState* ns = nullptr;
    wbem::ObjectContext ctx;
    Reply reply;

    Impl(Operations& s, const Call& c, const std::string& u, const Deadline& d)
        : self(s), call(c), user(u), deadline(d), snap(s.repo_->snapshot()) {
        ns = snap->find(call.nspace);
        if (!ns)
            throw CimStatusError(cimStatus::InvalidNamespace,
                                 "No namespace " + call.nspace + " here.");
        ctx.server = s.server_;
        ctx.nspace = ns->path;
    }

    std::string& out() { return reply.returnValue; }

    void checkSize() {
        if (out().size() > self.limits_.maxReplyBytes)
            throw CimStatusError(cimStatus::ServerLimitsExceeded,
                                 "The answer is too large; use the Open/Pull operations.");
    }

    std::shared_ptr<const ClassDef> classOrThrow(const std::string& name, unsigned status) {
        auto cls = ns->findClass(name);
        if (!cls) throw CimStatusError(status, "No class " + name + " in " + call.nspace + ".");
        return cls;
    }

    std::vector<wbem::wql::ResultObject> query(const std::string& text) {
        try {
            return wbem::wql::executeQuery(snap, ctx.nspace, ctx, text);
        } catch (const wbem::WbemError& e) {
            const unsigned status = wbem::remote::cimStatusForCode(e.code());
            throw CimStatusError(status, e.what());
        }
    }

    // --- classes

    std::vector<std::shared_ptr<const ClassDef>> classesUnder(const std::string& name, bool deep) {
        std::vector<std::shared_ptr<const ClassDef>> out;
        if (name.empty()) {
            for (const auto& cls : ns->classes)
                if (deep || cls->superclass.empty()) out.push_back(cls);
            return out;
        }
        auto family = ns->familyOf(name);
        if (family.empty())
            throw CimStatusError(cimStatus::InvalidClass, "No class " + name + " here.");
        for (size_t i = 1; i < family.size(); ++i)
            if (deep || iequals(family[i]->superclass, family[0]->name)) out.push_back(family[i]);
        return out;
    }

    void enumerateClassNames() {
        for (const auto& cls : classesUnder(classNameParam(call, "ClassName", false),
                                            boolParam(call, "DeepInheritance", false)))
            out() += "<CLASSNAME NAME=\"" + cx::xmlText(cls->name) + "\"></CLASSNAME>";
    }

    void enumerateClasses() {
        const auto options = writeOptions(call, true, true);
        for (const auto& cls : classesUnder(classNameParam(call, "ClassName", false),
                                            boolParam(call, "DeepInheritance", false))) {
            deadline.check();
            cx::writeClass(out(), *cls, options);
        }
    }

    void getClass() {
        auto cls = classOrThrow(classNameParam(call, "ClassName", true), cimStatus::NotFound);
        cx::writeClass(out(), *cls, writeOptions(call, true, true));
    }

    // --- instances

    void writeObject(PullForm form, const EnumeratedObject& o, const cx::WriteOptions& options) {
        const std::vector<int>* projection = o.partial ? &o.projection : nullptr;
        switch (form) {
            case PullForm::InstancesWithPath:
                out() += "<VALUE.INSTANCEWITHPATH>";
                cx::writeInstancePath(out(), ctx.server, call.nspace, *o.inst);
                cx::writeInstance(out(), *o.inst, options, projection);
                out() += "</VALUE.INSTANCEWITHPATH>";
                break;
            case PullForm::InstancePaths:
                cx::writeInstancePath(out(), ctx.server, call.nspace, *o.inst);
                break;
            case PullForm::Instances:
                cx::writeInstance(out(), *o.inst, options, projection);
                break;
        }
    }

    std::unique_ptr<ObjectSource> instancesOf(const std::string& className) {
        classOrThrow(className, cimStatus::InvalidClass);
        try {
            return std::make_unique<CursorSource>(wbem::openInstances(snap, *ns, className));
        } catch (const wbem::WbemError& e) {
            throw CimStatusError(wbem::remote::cimStatusForCode(e.code()), e.what());
        }
    }

    // Without DeepInheritance, subclass instances show only the properties
    // of the class asked for.
    cx::WriteOptions instanceOptions(const std::string& className) {
        auto options = writeOptions(call, false, false);
        options.localOnly = false;  // deprecated for instances; servers ignore it
        if (!boolParam(call, "DeepInheritance", true) && !options.hasPropertyList) {
            auto cls = ns->findClass(className);
            options.hasPropertyList = true;
            for (const auto& p : cls->properties) options.propertyList.push_back(p.name);
        }
        return options;
    }

    void enumerateInstances(bool namesOnly) {
        const std::string className = classNameParam(call, "ClassName", true);
        auto source = instancesOf(className);
        const auto options = namesOnly ? cx::WriteOptions{} : instanceOptions(className);
        EnumeratedObject o;
        while (source->next(o)) {
            deadline.check();
            if (namesOnly) {
                cx::writeInstanceName(out(), *o.inst);
            } else {
                out() += "<VALUE.NAMEDINSTANCE>";
                cx::writeInstanceName(out(), *o.inst);
                cx::writeInstance(out(), *o.inst, options);
                out() += "</VALUE.NAMEDINSTANCE>";
            }
            checkSize();
        }
    }

    std::shared_ptr<const Instance> instanceOrThrow(const wbem::ObjectPath& path) {
        classOrThrow(path.className, cimStatus::InvalidClass);
        std::shared_ptr<const Instance> inst;
        try {
            inst = wbem::findInstance(snap, *ns, path);
        } catch (const wbem::WbemError& e) {
            throw CimStatusError(wbem::remote::cimStatusForCode(e.code()), e.what());
        }
        if (!inst) throw CimStatusError(cimStatus::NotFound, "No such instance here.");
        return inst;
    }

    void getInstance() {
        auto inst = instanceOrThrow(pathParam(call, "InstanceName", false));
        auto options = writeOptions(call, false, false);
        options.localOnly = false;
        cx::writeInstance(out(), *inst, options);
    }

    void getProperty() {
        auto inst = instanceOrThrow(pathParam(call, "InstanceName", false));
        const std::string name = stringParam(call, "PropertyName");
        const int slot = inst->cls().findProperty(name);
        if (slot < 0) throw CimStatusError(cimStatus::NoSuchProperty, "No property " + name + ".");
        cx::writeValue(out(), inst->value(slot), inst->cls().properties[size_t(slot)].type);
    }

    // --- queries and associations

    void execQuery() {
        const std::string language = stringParam(call, "QueryLanguage");
        if (!iequals(language, "WQL"))
            throw CimStatusError(cimStatus::QueryLanguageNotSupported,
                                 "Only WQL queries are served, not " + language + ".");
        auto options = cx::WriteOptions{};
        options.qualifiers = false;
        for (const auto& row : query(stringParam(call, "Query"))) {
            deadline.check();
            out() += "<VALUE.OBJECTWITHPATH>";
            if (row.instance) {
                cx::writeInstancePath(out(), ctx.server, call.nspace, *row.instance);
                cx::writeInstance(out(), *row.instance, options,
                                  row.partial ? &row.projection : nullptr);
            } else {
                cx::writeClassPath(out(), ctx.server, call.nspace, row.cls->name);
                cx::writeClass(out(), *row.cls, options);
            }
            out() += "</VALUE.OBJECTWITHPATH>";
            checkSize();
        }
    }

    // ASSOCIATORS OF / REFERENCES OF with the call's filters.
    std::string assocQuery(bool references, wbem::ObjectPath& path) {
        path = pathParam(call, "ObjectName", true);
        std::string text = std::string(references ? "REFERENCES" : "ASSOCIATORS") + " OF {";
        text += path.className;
        for (size_t i = 0; i < path.keys.size(); ++i) {
            const auto& k = path.keys[i];
            text += (i ? "," : ".") + (k.name.empty() ? "" : k.name + "=") +
                    wbem::pathValue(k.value, k.quoted);
        }
        text += "}";
        std::string where;
        auto addClass = [&](std::string_view param, std::string_view keyword) {
            const std::string v = classNameParam(call, param, false);
            if (v.empty()) return;
            if (v.find_first_of(" \t{}=") != std::string::npos)
                invalidParameter(std::string(param) + " is no class name.");
            where += " " + std::string(keyword) + " = " + v;
        };
        auto addRole = [&](std::string_view param, std::string_view keyword) {
            const std::string v = stringParam(call, param);
            if (v.empty()) return;
            if (v.find_first_of(" \t{}=") != std::string::npos)
                invalidParameter(std::string(param) + " is no property name.");
            where += " " + std::string(keyword) + " = " + v;
        };
        if (references) {
            addClass("ResultClass", "ResultClass");
            addRole("Role", "Role");
        } else {
            addClass("AssocClass", "AssocClass");
            addClass("ResultClass", "ResultClass");
            addRole("Role", "Role");
            addRole("ResultRole", "ResultRole");
        }
        if (path.isClass()) where += " SchemaOnly";
        return where.empty() ? text : text + " WHERE" + where;
    }

    void associators(bool references, bool namesOnly) {
        wbem::ObjectPath path;
        const std::string text = assocQuery(references, path);
        auto options = writeOptions(call, false, false);
        options.localOnly = false;
        for (const auto& row : query(text)) {
            deadline.check();
            if (namesOnly)
                out() += "<OBJECTPATH>";
            else
                out() += "<VALUE.OBJECTWITHPATH>";
            if (row.instance)
                cx::writeInstancePath(out(), ctx.server, call.nspace, *row.instance);
            else
                cx::writeClassPath(out(), ctx.server, call.nspace, row.cls->name);
            if (namesOnly) {
                out() += "</OBJECTPATH>";
                continue;
            }
            if (row.instance)
                cx::writeInstance(out(), *row.instance, options);
            else
                cx::writeClass(out(), *row.cls, options);
            out() += "</VALUE.OBJECTWITHPATH>";
            checkSize();
        }
    }

    void enumerateQualifiers() {
        for (const auto& [name, decl] : ns->qualifierDecls)
            cx::writeQualifierDeclaration(out(), decl);
    }

    void getQualifier() {
        const std::string name = stringParam(call, "QualifierName");
        auto it = ns->qualifierDecls.find(name);
        if (it == ns->qualifierDecls.end())
            throw CimStatusError(cimStatus::NotFound, "No qualifier " + name + " declared.");
        cx::writeQualifierDeclaration(out(), it->second);
    }

    // --- Open/Pull

    uint32_t maxObjectCount(bool required) {
        const auto count = uintParam(call, "MaxObjectCount");
        if (!count && required) invalidParameter("MaxObjectCount is missing.");
        return std::min(count.value_or(0), self.limits_.maxPullCount);
    }

    // Writes up to `count` objects of the context; ends and forgets it at the
    // end of its objects.
    void pull(std::unique_ptr<EnumerationContext> context, std::string name, uint32_t count) {
        EnumeratedObject o;
        bool end = false;
        try {
            for (uint32_t i = 0; i < count; ++i) {
                deadline.check();
                if (!context->next(o)) {
                    end = true;
                    break;
                }
                writeObject(context->form, o, context->options);
                checkSize();
            }
            // A source can end exactly at the count: look ahead once so the
            // client is told now, not after another round trip.
            if (!end && count > 0) {
                EnumeratedObject ahead;
                if (context->next(ahead))
                    context->ahead = std::move(ahead);
                else
                    end = true;
            }
        } catch (...) {
            if (!name.empty()) self.contexts_.putBack(name, nullptr);
            throw;
        }
        if (end) {
            if (!name.empty()) self.contexts_.putBack(name, nullptr);
            name.clear();
        } else if (name.empty()) {
            name = self.contexts_.add(std::move(context));
        } else {
            self.contexts_.putBack(name, std::move(context));
        }
        reply.outParams.emplace_back("EndOfSequence",
                                     end ? "<VALUE>TRUE</VALUE>" : "<VALUE>FALSE</VALUE>");
        reply.outParams.emplace_back("EnumerationContext",
                                     "<VALUE>" + cx::xmlText(name) + "</VALUE>");
    }

    // `filtered`: the filter parameters are the query itself.
    std::unique_ptr<EnumerationContext> newContext(std::unique_ptr<ObjectSource> source,
                                                   PullForm form, cx::WriteOptions options,
                                                   bool filtered = false) {
        if (!filtered && (!stringParam(call, "FilterQueryLanguage").empty() ||
                          !stringParam(call, "FilterQuery").empty()))
            throw CimStatusError(cimStatus::FilteredEnumerationNotSupported,
                                 "Filtered enumerations are not served; use ExecQuery.");
        if (boolParam(call, "ContinueOnError", false))
            throw CimStatusError(cimStatus::ContinuationOnErrorNotSupported,
                                 "ContinueOnError is not served.");
        auto context = std::make_unique<EnumerationContext>();
        context->source = std::move(source);
        context->form = form;
        context->nspace = call.nspace;
        context->user = user;
        context->options = std::move(options);
        const auto timeout = uintParam(call, "OperationTimeout");
        context->timeout =
            timeout ? std::chrono::seconds(*timeout) : self.limits_.defaultContextTimeout;
        if (timeout && (*timeout == 0 || context->timeout > self.limits_.maxContextTimeout))
            throw CimStatusError(cimStatus::InvalidOperationTimeout,
                                 "OperationTimeout must be 1 to " +
                                     std::to_string(self.limits_.maxContextTimeout.count()) +
                                     " seconds.");
        return context;
    }

    void openEnumerateInstances(bool paths) {
        const std::string className = classNameParam(call, "ClassName", true);
        auto source = instancesOf(className);
        auto options = paths ? cx::WriteOptions{} : instanceOptions(className);
        options.qualifiers = false;
        auto context = newContext(std::move(source),
                                  paths ? PullForm::InstancePaths : PullForm::InstancesWithPath,
                                  std::move(options));
        pull(std::move(context), {}, maxObjectCount(false));
    }

    void openQueryInstances() {
        const std::string language = stringParam(call, "FilterQueryLanguage");
        if (!iequals(language, "WQL"))
            throw CimStatusError(cimStatus::QueryLanguageNotSupported,
                                 "Only WQL queries are served, not " + language + ".");
        auto rows = query(stringParam(call, "FilterQuery"));
        if (boolParam(call, "ReturnQueryResultClass", false))
            throw CimStatusError(cimStatus::NotSupported, "Query result classes are not served.");
        cx::WriteOptions options;
        options.qualifiers = false;
        auto context = newContext(std::make_unique<ListSource>(std::move(rows)),
                                  PullForm::Instances, std::move(options), true);
        pull(std::move(context), {}, maxObjectCount(false));
    }

    void openAssociators(bool references, bool paths) {
        wbem::ObjectPath path;
        const std::string text = assocQuery(references, path);
        if (path.isClass()) invalidParameter("The Open operations take an instance path.");
        auto options = writeOptions(call, false, false);
        options.localOnly = false;
        options.qualifiers = false;
        auto context = newContext(std::make_unique<ListSource>(query(text)),
                                  paths ? PullForm::InstancePaths : PullForm::InstancesWithPath,
                                  std::move(options));
        pull(std::move(context), {}, maxObjectCount(false));
    }

    void pullObjects(PullForm form) {
        const std::string name = stringParam(call, "EnumerationContext");
        const uint32_t count = maxObjectCount(true);
        auto context = self.contexts_.take(name, user, call.nspace);
        if (context->form != form) {
            self.contexts_.putBack(name, std::move(context));
            invalidParameter("That enumeration is pulled with another operation.");
        }
        pull(std::move(context), name, count);
    }

    void closeEnumeration() {
        const std::string name = stringParam(call, "EnumerationContext");
        self.contexts_.take(name, user, call.nspace);
        self.contexts_.putBack(name, nullptr);
        reply.hasReturnValue = false;
    }

    // --- methods

    void invokeMethod() {
        const xmlNode* instanceName = xml::firstChild(call.target, "INSTANCENAME");
        const xmlNode* className = xml::firstChild(call.target, "CLASSNAME");
        const std::string name = instanceName
                                     ? xml::attribute(instanceName, "CLASSNAME").value_or("")
                                 : className ? xml::attribute(className, "NAME").value_or("")
                                             : std::string();
        auto cls = classOrThrow(name, cimStatus::InvalidClass);
        const wbem::MethodDef* method = cls->findMethod(call.method);
        if (!method)
            throw CimStatusError(cimStatus::MethodNotFound,
                                 "The class " + cls->name + " has no method " + call.method + ".");
        // Methods that change this machine are not served to other machines.
        auto provider = ns->methodProviderFor(*cls, method->name);
        if (!provider || !provider->readsOnly(method->name))
            throw CimStatusError(cimStatus::MethodNotAvailable,
                                 "The method " + cls->name + "." + method->name +
                                     " is not available to remote callers of this machine.");
        std::shared_ptr<const Instance> target;
        if (instanceName) {
            try {
                target = instanceOrThrow(wbem::parseObjectPath(cx::readReference(instanceName)));
            } catch (const xml::XmlError& e) {
                invalidParameter(e.what());
            }
        }
        std::vector<std::pair<std::string, wbem::CimValue>> in;
        for (const auto& param : call.params) {
            const std::string& upperName = param.first;
            const xmlNode* element = param.second;
            const auto declared = std::find_if(
                method->parameters.begin(), method->parameters.end(),
                [&](const wbem::ParameterDef& p) { return p.in && iequals(p.name, upperName); });
            if (declared == method->parameters.end())
                invalidParameter(method->name + " takes no in-parameter " + upperName + ".");
            const xmlNode* value = xml::firstChild(element);
            try {
                in.emplace_back(declared->name,
                                value ? cx::readValue(value, declared->type) : wbem::CimValue());
            } catch (const xml::XmlError& e) {
                invalidParameter(e.what());
            }
        }
        wbem::MethodResult result;
        try {
            result = provider->invoke(target.get(), method->name, in);
        } catch (const wbem::WbemError& e) {
            throw CimStatusError(wbem::remote::cimStatusForCode(e.code()), e.what());
        }
        cx::writeValue(out(), result.returnValue, {method->returnType, false, -1, {}});
        for (const auto& [paramName, value] : result.out) {
            wbem::CimTypeDecl type;
            for (const auto& p : method->parameters)
                if (iequals(p.name, paramName)) type = p.type;
            std::string xmlValue;
            cx::writeValue(xmlValue, value, type);
            reply.outParams.emplace_back(paramName, std::move(xmlValue));
        }
    }

    void run() {
        if (!call.repeatedParam.empty())
            invalidParameter("The parameter " + call.repeatedParam + " is given twice.");
        if (!call.intrinsic) return invokeMethod();
        const std::string& m = call.method;
        struct Entry {
            std::string_view name;
            void (*run)(Impl&);
        };
        static const Entry table[] = {
            {"EnumerateClassNames", [](Impl& i) { i.enumerateClassNames(); }},
            {"EnumerateClasses", [](Impl& i) { i.enumerateClasses(); }},
            {"GetClass", [](Impl& i) { i.getClass(); }},
            {"EnumerateInstanceNames", [](Impl& i) { i.enumerateInstances(true); }},
            {"EnumerateInstances", [](Impl& i) { i.enumerateInstances(false); }},
            {"GetInstance", [](Impl& i) { i.getInstance(); }},
            {"GetProperty", [](Impl& i) { i.getProperty(); }},
            {"ExecQuery", [](Impl& i) { i.execQuery(); }},
            {"Associators", [](Impl& i) { i.associators(false, false); }},
            {"AssociatorNames", [](Impl& i) { i.associators(false, true); }},
            {"References", [](Impl& i) { i.associators(true, false); }},
            {"ReferenceNames", [](Impl& i) { i.associators(true, true); }},
            {"EnumerateQualifiers", [](Impl& i) { i.enumerateQualifiers(); }},
            {"GetQualifier", [](Impl& i) { i.getQualifier(); }},
            {"OpenEnumerateInstances", [](Impl& i) { i.openEnumerateInstances(false); }},
            {"OpenEnumerateInstancePaths", [](Impl& i) { i.openEnumerateInstances(true); }},
            {"OpenQueryInstances", [](Impl& i) { i.openQueryInstances(); }},
            {"OpenAssociatorInstances", [](Impl& i) { i.openAssociators(false, false); }},
            {"OpenAssociatorInstancePaths", [](Impl& i) { i.openAssociators(false, true); }},
            {"OpenReferenceInstances", [](Impl& i) { i.openAssociators(true, false); }},
            {"OpenReferenceInstancePaths", [](Impl& i) { i.openAssociators(true, true); }},
            {"PullInstancesWithPath", [](Impl& i) { i.pullObjects(PullForm::InstancesWithPath); }},
            {"PullInstancePaths", [](Impl& i) { i.pullObjects(PullForm::InstancePaths); }},
            {"PullInstances", [](Impl& i) { i.pullObjects(PullForm::Instances); }},
            {"CloseEnumeration", [](Impl& i) { i.closeEnumeration(); }},
        };
        for (const auto& e : table)
            if (iequals(e.name, m)) return e.run(*this);
        throw CimStatusError(
            cimStatus::NotSupported,
            "The operation " + m + " is not served by this agent (it only reads).");
    }
};

Operations::Operations(std::shared_ptr<wbem::Repository> repo, std::string serverName,
                       EnumerationContexts& contexts, OperationLimits limits)
    : repo_(std::move(repo)),
      server_(std::move(serverName)),
      contexts_(contexts),
      limits_(limits) {}

Reply Operations::call(const Call& call, const std::string& user, const Deadline& deadline) {
    Impl impl(*this, call, user, deadline);
    impl.run();
    return std::move(impl.reply);
}

namespace {

std::string envelope(const Call& call, const std::string& response) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<CIM CIMVERSION=\"2.0\" "
           "DTDVERSION=\"2.0\"><MESSAGE ID=\"" +
           cx::xmlText(call.messageId) + "\" PROTOCOLVERSION=\"1.0\"><SIMPLERSP>" + response +
           "</SIMPLERSP></MESSAGE></CIM>\n";
}

std::string responseElement(const Call& call) {
    return call.intrinsic ? "IMETHODRESPONSE" : "METHODRESPONSE";
}

}  // namespace

std::string responseXml(const Call& call, const Reply& reply) {
    const std::string element = responseElement(call);
    std::string body = "<" + element + " NAME=\"" + cx::xmlText(call.method) + "\">";
    if (reply.hasReturnValue) {
        const char* rv = call.intrinsic ? "IRETURNVALUE" : "RETURNVALUE";
        body += std::string("<") + rv + ">" + reply.returnValue + "</" + rv + ">";
    }
    for (const auto& [name, value] : reply.outParams)
        body += "<PARAMVALUE NAME=\"" + cx::xmlText(name) + "\">" + value + "</PARAMVALUE>";
    return envelope(call, body + "</" + element + ">");
}

std::string errorXml(const Call& call, unsigned status, const std::string& description) {
    const std::string element = responseElement(call);
    return envelope(call, "<" + element + " NAME=\"" + cx::xmlText(call.method) +
                              "\"><ERROR CODE=\"" + std::to_string(status) + "\" DESCRIPTION=\"" +
                              cx::xmlText(description) + "\"></ERROR></" + element + ">");
}

}  // namespace agent
