#include "messages.h"

#include <algorithm>
#include <cctype>

#include "wbem/remote/cim_status.h"
#include "wbem/remote/percent_encoding.h"
#include "wbem/text.h"

namespace wbem::cimxml {

using remote::percentDecode;
using remote::percentEncode;

namespace {

constexpr size_t kMaxReason = 2000;

// Whitespace runs folded to one blank, control characters dropped, bounded.
std::string tidy(std::string_view text) {
    std::string out;
    bool blank = false;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            blank = !out.empty();
            continue;
        }
        if (u < 0x20 || u == 0x7F) continue;
        if (blank) out += ' ';
        blank = false;
        out += c;
        if (out.size() >= kMaxReason) break;
    }
    return out;
}

std::string localNamespaceXml(std::string_view nspace) {
    std::string out = "<LOCALNAMESPACEPATH>";
    const std::string ns = slashNamespace(nspace);
    size_t start = 0;
    while (start <= ns.size()) {
        const size_t slash = std::min(ns.find('/', start), ns.size());
        if (slash > start)
            out += "<NAMESPACE NAME=\"" + xml::escape(ns.substr(start, slash - start)) + "\"/>";
        start = slash + 1;
    }
    return out + "</LOCALNAMESPACEPATH>";
}

std::string keyValueXml(const PathKey& k) {
    if (k.quoted) return "<KEYVALUE VALUETYPE=\"string\">" + xml::escape(k.value) + "</KEYVALUE>";
    if (iequals(k.value, "true") || iequals(k.value, "false"))
        return "<KEYVALUE VALUETYPE=\"boolean\">" + xml::escape(k.value) + "</KEYVALUE>";
    return "<KEYVALUE VALUETYPE=\"numeric\">" + xml::escape(k.value) + "</KEYVALUE>";
}

std::string envelope(unsigned id, const std::string& call) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n"
           "<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\"><MESSAGE ID=\"" +
           std::to_string(id) + "\" PROTOCOLVERSION=\"1.0\"><SIMPLEREQ>" + call +
           "</SIMPLEREQ></MESSAGE></CIM>";
}

http::Headers headersFor(std::string_view method, const std::string& object) {
    return {{"Content-Type", "application/xml; charset=\"utf-8\""},
            {"CIMOperation", "MethodCall"},
            {"CIMMethod", percentEncode(method)},
            {"CIMObject", percentEncode(object)}};
}

// The code for an HTTP-level refusal, by its CIMError header.
HResult codeForCimErrorHeader(std::string_view header) {
    if (header == "request-not-valid" || header == "request-not-well-formed" ||
        header == "request-not-loosely-valid" || header == "header-mismatch")
        return hr::InvalidParameter;
    if (header.substr(0, 12) == "unsupported-" || header == "multiple-requests-unsupported")
        return hr::NotSupported;
    return hr::Failed;
}

[[noreturn]] void notCimXml(std::string_view where, const std::string& why) {
    fail(hr::Failed,
         describeWithReason(hr::Failed,
                            std::string(where) + " did not answer as a CIM-XML server: " + why));
}

}  // namespace

std::string valueXml(std::string_view text) { return "<VALUE>" + xml::escape(text) + "</VALUE>"; }
std::string boolXml(bool value) { return valueXml(value ? "TRUE" : "FALSE"); }
std::string classNameXml(std::string_view className) {
    return "<CLASSNAME NAME=\"" + xml::escape(className) + "\"/>";
}

std::string instanceNameXml(const ObjectPath& path) {
    std::string out = "<INSTANCENAME CLASSNAME=\"" + xml::escape(path.className) + "\">";
    for (const PathKey& k : path.keys) {
        if (k.name.empty()) {
            out += keyValueXml(k);  // Class="value": the one key, unnamed
            continue;
        }
        out +=
            "<KEYBINDING NAME=\"" + xml::escape(k.name) + "\">" + keyValueXml(k) + "</KEYBINDING>";
    }
    return out + "</INSTANCENAME>";
}

std::string slashNamespace(std::string_view nspace) {
    std::string ns(trimmed(nspace));
    std::replace(ns.begin(), ns.end(), '\\', '/');
    while (!ns.empty() && ns.front() == '/') ns.erase(0, 1);
    while (!ns.empty() && ns.back() == '/') ns.pop_back();
    return ns;
}

Request intrinsicRequest(unsigned id, std::string_view method, std::string_view nspace,
                         const std::vector<Param>& params) {
    std::string call =
        "<IMETHODCALL NAME=\"" + xml::escape(method) + "\">" + localNamespaceXml(nspace);
    for (const Param& p : params)
        call += "<IPARAMVALUE NAME=\"" + xml::escape(p.name) + "\">" + p.xml + "</IPARAMVALUE>";
    call += "</IMETHODCALL>";
    return {headersFor(method, slashNamespace(nspace)), envelope(id, call)};
}

Request methodRequest(unsigned id, std::string_view method, std::string_view nspace,
                      const ObjectPath& target, const std::vector<Param>& params) {
    std::string call = "<METHODCALL NAME=\"" + xml::escape(method) + "\">";
    std::string object = slashNamespace(nspace) + ":" + target.className;
    if (target.isClass()) {
        call += "<LOCALCLASSPATH>" + localNamespaceXml(nspace) + classNameXml(target.className) +
                "</LOCALCLASSPATH>";
    } else {
        call += "<LOCALINSTANCEPATH>" + localNamespaceXml(nspace) + instanceNameXml(target) +
                "</LOCALINSTANCEPATH>";
        for (size_t i = 0; i < target.keys.size(); ++i) {
            const PathKey& k = target.keys[i];
            object += (i ? "," : ".") + (k.name.empty() ? "" : k.name + "=") +
                      pathValue(k.value, k.quoted);
        }
    }
    for (const Param& p : params)
        call += "<PARAMVALUE NAME=\"" + xml::escape(p.name) + "\">" + p.xml + "</PARAMVALUE>";
    call += "</METHODCALL>";
    return {headersFor(method, object), envelope(id, call)};
}

const xmlNode* Response::param(std::string_view upperName) const {
    auto it = params.find(upperName);
    return it == params.end() ? nullptr : it->second;
}

Response readResponse(const http::Reply& reply, std::string_view method, std::string_view where) {
    const auto cimError = reply.header("CIMError");
    if (reply.status != 200 || cimError) {
        std::string header = cimError ? std::string(trimmed(*cimError)) : std::string();
        std::string reason = std::string(where) + " answered HTTP " + std::to_string(reply.status) +
                             (header.empty() ? "" : " (" + tidy(header) + ")");
        if (auto detail = reply.header("PGErrorDetail"))
            reason += ": " + tidy(percentDecode(*detail));
        else if (reply.status != 200 && !header.empty() && !reply.body.empty() &&
                 reply.body.size() < 4096 && reply.body.find('<') == std::string::npos)
            reason += ": " + tidy(reply.body);
        const HResult code =
            header.empty() ? (reply.status == 403 ? hr::AccessDeniedSystem : hr::RpcUnavailable)
                           : codeForCimErrorHeader(header);
        if (header.empty() && reply.status != 403)
            reason += ": no CIM-XML server there.";
        else
            reason += reason.back() == '.' ? "" : ".";
        throw CimError(code, describeWithReason(code, reason), 0, header);
    }
    return readResponseBody(reply.body, method, where);
}

Response readResponseBody(std::string_view body, std::string_view method, std::string_view where) {
    Response r{[&] {
                   try {
                       return xml::Document::parse(body);
                   } catch (const xml::XmlError& e) {
                       notCimXml(where, e.what());
                   }
               }(),
               nullptr,
               {}};
    const xmlNode* cim = r.doc.root();
    if (xml::localName(cim) != "CIM") notCimXml(where, "the reply is no <CIM> document.");
    const xmlNode* message = xml::firstChild(cim, "MESSAGE");
    const xmlNode* simple = message ? xml::firstChild(message, "SIMPLERSP") : nullptr;
    const xmlNode* response = nullptr;
    if (simple) {
        response = xml::firstChild(simple, "IMETHODRESPONSE");
        if (!response) response = xml::firstChild(simple, "METHODRESPONSE");
    }
    if (!response) notCimXml(where, "the reply holds no method response.");
    const auto name = xml::attribute(response, "NAME");
    if (!name || !iequals(*name, method))
        notCimXml(where, "the reply answers " + tidy(name.value_or("?")) + ", not " +
                             std::string(method) + ".");
    if (const xmlNode* error = xml::firstChild(response, "ERROR")) {
        const std::string codeText(trimmed(xml::attribute(error, "CODE").value_or("")));
        unsigned status = 0;
        bool numeric = !codeText.empty() && codeText.size() < 6;
        for (char c : codeText) numeric = numeric && std::isdigit(static_cast<unsigned char>(c));
        if (numeric) status = unsigned(std::stoul(codeText));
        HResult code = numeric ? remote::codeForCimStatus(status) : 0;
        if (!code) code = hr::Failed;
        std::string reason = tidy(xml::attribute(error, "DESCRIPTION").value_or(""));
        if (reason.empty()) {
            const std::string_view statusName = remote::cimStatusName(status);
            reason = std::string(where) + " reported CIM status " + tidy(codeText) +
                     (statusName.empty() ? "" : " (" + std::string(statusName) + ")") + ".";
        }
        throw CimError(code, describeWithReason(code, reason), status);
    }
    r.returnValue = xml::firstChild(response, "IRETURNVALUE");
    if (!r.returnValue) r.returnValue = xml::firstChild(response, "RETURNVALUE");
    for (const xmlNode* p : xml::children(response)) {
        const std::string_view element = xml::localName(p);
        if (element != "PARAMVALUE" && element != "IPARAMVALUE") continue;
        std::string key = xml::attribute(p, "NAME").value_or("");
        std::transform(key.begin(), key.end(), key.begin(),
                       [](unsigned char c) { return char(std::toupper(c)); });
        r.params.emplace(std::move(key), p);
    }
    return r;
}

}  // namespace wbem::cimxml
