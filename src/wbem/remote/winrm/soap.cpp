#include "soap.h"

#include <cstdio>
#include <random>

#include "faults.h"
#include "wbem/errors.h"
#include "wbem/text.h"

namespace wbem::winrm {

namespace {

std::string newMessageId() {
    thread_local std::mt19937_64 rng{std::random_device{}()};
    const uint64_t a = rng(), b = rng();
    char buf[48];
    std::snprintf(buf, sizeof buf, "uuid:%08X-%04X-4%03X-%04X-%012llX", unsigned(a >> 32),
                  unsigned((a >> 16) & 0xFFFF), unsigned(a & 0xFFF),
                  unsigned(0x8000 | ((b >> 48) & 0x3FFF)),
                  static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFull));
    return buf;
}

[[noreturn]] void notWsman(std::string_view host, const std::string& why) {
    fail(hr::Failed, describeWithReason(
                         hr::Failed, std::string(host) + " gave no WS-Management reply: " + why));
}

}  // namespace

std::string buildRequest(const RequestHeader& h, std::string_view bodyXml, std::string& messageId) {
    messageId = newMessageId();
    std::string s;
    s.reserve(1500 + bodyXml.size());
    s += "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\""
         " xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\""
         " xmlns:n=\"http://schemas.xmlsoap.org/ws/2004/09/enumeration\""
         " xmlns:w=\"http://schemas.dmtf.org/wbem/wsman/1/wsman.xsd\""
         " xmlns:p=\"http://schemas.microsoft.com/wbem/wsman/1/wsman.xsd\">"
         "<s:Header>";
    s += "<a:To>" + xml::escape(h.to) + "</a:To>";
    if (!h.resourceUri.empty())
        s += "<w:ResourceURI s:mustUnderstand=\"true\">" + xml::escape(h.resourceUri) +
             "</w:ResourceURI>";
    s += "<a:ReplyTo><a:Address s:mustUnderstand=\"true\">"
         "http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous</a:Address></a:ReplyTo>";
    s += "<a:Action s:mustUnderstand=\"true\">" + xml::escape(h.action) + "</a:Action>";
    s += "<w:MaxEnvelopeSize s:mustUnderstand=\"true\">" + std::to_string(h.maxEnvelopeSize) +
         "</w:MaxEnvelopeSize>";
    s += "<a:MessageID>" + messageId + "</a:MessageID>";
    s += "<w:Locale xml:lang=\"en-US\" s:mustUnderstand=\"false\"/>"
         "<p:DataLocale xml:lang=\"en-US\" s:mustUnderstand=\"false\"/>";
    s += "<w:OperationTimeout>PT" + std::to_string(h.operationTimeoutSeconds) +
         ".000S</w:OperationTimeout>";
    if (!h.selectors.empty()) {
        s += "<w:SelectorSet>";
        for (const auto& sel : h.selectors)
            s += "<w:Selector Name=\"" + xml::escape(sel.name) + "\">" + xml::escape(sel.value) +
                 "</w:Selector>";
        s += "</w:SelectorSet>";
    }
    if (!h.booleanOptions.empty()) {
        s += "<w:OptionSet xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">";
        for (const auto& [name, value] : h.booleanOptions)
            s += "<w:Option Name=\"" + xml::escape(name) + "\" Type=\"xs:boolean\">" +
                 (value ? "true" : "false") + "</w:Option>";
        s += "</w:OptionSet>";
    }
    s += "</s:Header><s:Body>";
    s += bodyXml;
    s += "</s:Body></s:Envelope>";
    return s;
}

std::string buildIdentify() {
    return "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\""
           " xmlns:wsmid=\"http://schemas.dmtf.org/wbem/wsman/identity/1/wsmanidentity.xsd\">"
           "<s:Header/><s:Body><wsmid:Identify/></s:Body></s:Envelope>";
}

std::string enumerateBody(std::string_view wqlFilter, int maxElements,
                          bool withEndpointReferences) {
    std::string s = "<n:Enumerate><w:OptimizeEnumeration/><w:MaxElements>" +
                    std::to_string(maxElements) + "</w:MaxElements>";
    if (withEndpointReferences) s += "<w:EnumerationMode>EnumerateObjectAndEPR</w:EnumerationMode>";
    if (!wqlFilter.empty())
        s += "<w:Filter Dialect=\"" + std::string(resource::wqlDialect) + "\">" +
             xml::escape(wqlFilter) + "</w:Filter>";
    s += "</n:Enumerate>";
    return s;
}

std::string pullBody(std::string_view context, int maxElements) {
    return "<n:Pull><n:EnumerationContext>" + xml::escape(context) +
           "</n:EnumerationContext><n:MaxElements>" + std::to_string(maxElements) +
           "</n:MaxElements></n:Pull>";
}

std::string releaseBody(std::string_view context) {
    return "<n:Release><n:EnumerationContext>" + xml::escape(context) +
           "</n:EnumerationContext></n:Release>";
}

std::string invokeBody(std::string_view method, std::string_view resourceUri,
                       const std::vector<std::pair<std::string, std::string>>& parameters) {
    std::string element = "p:" + std::string(method) + "_INPUT";
    std::string s = "<" + element + " xmlns:p=\"" + xml::escape(resourceUri) + "\">";
    for (const auto& [name, value] : parameters)
        s += "<p:" + name + ">" + xml::escape(value) + "</p:" + name + ">";
    s += "</" + element + ">";
    return s;
}

const xmlNode* Reply::payload() const {
    const xmlNode* p = xml::firstChild(body);
    if (!p) fail(hr::Failed, describeWithReason(hr::Failed, "The reply has an empty body."));
    return p;
}

Reply readReply(std::string_view bytes, std::string_view expectedMessageId, std::string_view host) {
    Reply r;
    try {
        xml::ParseLimits limits;
        limits.maxBytes = size_t(32) << 20;
        limits.maxDepth = 128;
        r.doc = xml::Document::parse(bytes, limits);
    } catch (const xml::XmlError& e) {
        notWsman(host, e.what());
    }
    const xmlNode* root = r.doc.root();
    if (!root || xml::localName(root) != "Envelope" || xml::namespaceUri(root) != ns::soap)
        notWsman(host, "the reply is not a SOAP 1.2 envelope.");
    r.header = xml::firstChild(root, "Header");
    r.body = xml::firstChild(root, "Body");
    if (!r.body || xml::namespaceUri(r.body) != ns::soap)
        notWsman(host, "the reply has no SOAP body.");
    if (r.header) {
        if (auto* a = xml::firstChild(r.header, "Action")) r.action = xml::text(a);
        if (auto* rel = xml::firstChild(r.header, "RelatesTo"))
            r.relatesTo = std::string(trimmed(xml::text(rel)));
    }
    const xmlNode* first = xml::firstChild(r.body);
    if (first && xml::localName(first) == "Fault" && xml::namespaceUri(first) == ns::soap)
        throwFault(readFault(first));
    if (!expectedMessageId.empty() && !r.relatesTo.empty() &&
        !iequals(r.relatesTo, expectedMessageId))
        notWsman(host, "the reply answers another request (" + r.relatesTo + ").");
    return r;
}

}  // namespace wbem::winrm
