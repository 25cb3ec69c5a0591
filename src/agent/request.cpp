#include "request.h"

#include <cctype>

#include "wbem/text.h"

namespace agent {

namespace xml = wbem::xml;

namespace {

[[noreturn]] void notValid(const std::string& why) {
    throw RequestError(400, "request-not-valid", why);
}

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = char(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// "2.0", "2.1"... : the major number must be 2 (1 for the protocol).
bool majorIs(std::string_view version, char major) {
    return version.size() >= 1 && version[0] == major && (version.size() == 1 || version[1] == '.');
}

std::string namespaceOf(const xmlNode* localNamespacePath) {
    std::string out;
    for (const xmlNode* n : xml::children(localNamespacePath, "NAMESPACE")) {
        const auto name = xml::attribute(n, "NAME");
        if (!name || name->empty()) notValid("A NAMESPACE element has no NAME.");
        out += (out.empty() ? "" : "/") + *name;
    }
    if (out.empty()) notValid("The LOCALNAMESPACEPATH names no namespace.");
    return out;
}

// CIM names: a letter or underscore, then letters, digits and underscores.
bool isCimName(std::string_view name) {
    if (name.empty() || name.size() > 256) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        const bool ok = std::isalpha(c) || c == '_' || c >= 0x80 || (i > 0 && std::isdigit(c));
        if (!ok) return false;
    }
    return true;
}

// Class names anywhere in a parameter must be names, or nothing can be looked up.
void checkClassNames(const xmlNode* element) {
    for (const xmlNode* c : xml::children(element)) {
        if (xml::localName(c) == "CLASSNAME" || xml::localName(c) == "INSTANCENAME") {
            const auto name =
                xml::attribute(c, xml::localName(c) == "CLASSNAME" ? "NAME" : "CLASSNAME");
            if (!name || !isCimName(*name))
                notValid("Illegal class name \"" + name.value_or("") + "\".");
        }
        checkClassNames(c);
    }
}

}  // namespace

const xmlNode* Call::param(std::string_view name) const {
    auto it = params.find(upper(name));
    return it == params.end() ? nullptr : it->second;
}

Call readCall(std::string_view body, std::string_view cimMethod) {
    Call call;
    try {
        call.doc = xml::Document::parse(body, {body.size(), kMaxRequestDepth});
    } catch (const xml::XmlError& e) {
        throw RequestError(400, "request-not-well-formed", e.what());
    }
    const xmlNode* cim = call.doc.root();
    if (xml::localName(cim) != "CIM") notValid("The request is no <CIM> document.");
    const auto cimVersion = xml::attribute(cim, "CIMVERSION");
    const auto dtdVersion = xml::attribute(cim, "DTDVERSION");
    if (!cimVersion || !dtdVersion) notValid("<CIM> lacks CIMVERSION or DTDVERSION.");
    if (!majorIs(*cimVersion, '2'))
        throw RequestError(501, "unsupported-cim-version", "CIM version " + *cimVersion);
    if (!majorIs(*dtdVersion, '2'))
        throw RequestError(501, "unsupported-dtd-version", "DTD version " + *dtdVersion);
    const xmlNode* message = xml::firstChild(cim, "MESSAGE");
    if (!message) notValid("The request holds no MESSAGE.");
    const auto id = xml::attribute(message, "ID");
    const auto protocol = xml::attribute(message, "PROTOCOLVERSION");
    if (!id || !protocol) notValid("MESSAGE lacks ID or PROTOCOLVERSION.");
    if (!majorIs(*protocol, '1'))
        throw RequestError(501, "unsupported-protocol-version", "protocol version " + *protocol);
    call.messageId = *id;
    if (xml::firstChild(message, "MULTIREQ"))
        throw RequestError(501, "multiple-requests-unsupported", "MULTIREQ is not served.");
    const xmlNode* simple = xml::firstChild(message, "SIMPLEREQ");
    if (!simple) notValid("The MESSAGE holds no SIMPLEREQ.");
    const xmlNode* methodCall = xml::firstChild(simple, "IMETHODCALL");
    if (!methodCall) {
        methodCall = xml::firstChild(simple, "METHODCALL");
        call.intrinsic = false;
    }
    if (!methodCall) notValid("The SIMPLEREQ holds no IMETHODCALL or METHODCALL.");
    const auto name = xml::attribute(methodCall, "NAME");
    if (!name || name->empty()) notValid("The method call has no NAME.");
    call.method = *name;
    if (!wbem::iequals(wbem::trimmed(cimMethod), call.method))
        throw RequestError(400, "header-mismatch",
                           "The CIMMethod header does not name the method of the body.");
    if (call.intrinsic) {
        const xmlNode* ns = xml::firstChild(methodCall, "LOCALNAMESPACEPATH");
        if (!ns) notValid("The IMETHODCALL has no LOCALNAMESPACEPATH.");
        call.nspace = namespaceOf(ns);
    } else {
        call.target = xml::firstChild(methodCall, "LOCALINSTANCEPATH");
        if (!call.target) call.target = xml::firstChild(methodCall, "LOCALCLASSPATH");
        if (!call.target) notValid("The METHODCALL has no LOCALCLASSPATH or LOCALINSTANCEPATH.");
        const xmlNode* ns = xml::firstChild(call.target, "LOCALNAMESPACEPATH");
        if (!ns) notValid("The method's target has no LOCALNAMESPACEPATH.");
        call.nspace = namespaceOf(ns);
    }
    const std::string_view paramElement = call.intrinsic ? "IPARAMVALUE" : "PARAMVALUE";
    for (const xmlNode* p : xml::children(methodCall, paramElement)) {
        const auto paramName = xml::attribute(p, "NAME");
        if (!paramName || paramName->empty()) notValid("A parameter has no NAME.");
        checkClassNames(p);
        if (!call.params.emplace(upper(*paramName), p).second && call.repeatedParam.empty())
            call.repeatedParam = *paramName;
    }
    return call;
}

}  // namespace agent
