#include "faults.h"

#include <cstdlib>
#include <optional>
#include <string_view>

#include "wbem/text.h"

namespace wbem::winrm {

namespace {

constexpr size_t maxReason = 2000;
constexpr int maxDepth = 24;

bool isWmiCode(uint64_t v) { return v >= 0x80041000u && v <= 0x8004FFFFu; }

std::optional<uint64_t> number(std::string_view text) {
    text = trimmed(text);
    if (text.empty() || text.size() > 20) return std::nullopt;
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    std::string s(text);
    char* end = nullptr;
    const unsigned long long v = std::strtoull(s.c_str(), &end, base);
    if (!end || *end || s[0] == '-') return std::nullopt;
    return v;
}

// Whitespace runs folded to one blank, trimmed, bounded.
std::string tidy(std::string_view text) {
    std::string out;
    bool blank = false;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            blank = !out.empty();
            continue;
        }
        if (blank) out += ' ';
        blank = false;
        out += c;
        if (out.size() >= maxReason) break;
    }
    return out;
}

// Text of the element's own text children, not of its child elements.
std::string ownText(const xmlNode* n) {
    std::string s;
    for (const xmlNode* c = n->children; c; c = c->next)
        if ((c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) && c->content)
            s += reinterpret_cast<const char*>(c->content);
    return tidy(s);
}

struct Found {
    std::optional<uint64_t> errorCode, cimStatus, extendedStatus;
    std::optional<uint64_t> wsmanCode;  // innermost WSManFault's
    std::string wsmanMessage;           // innermost non-empty
    std::string wmiMessage;
};

void walk(const xmlNode* n, Found& f, int depth) {
    if (depth > maxDepth) return;
    for (const xmlNode* c : xml::children(n)) {
        const std::string_view name = xml::localName(c);
        if (name == "WSManFault") {
            if (auto code = xml::attribute(c, "Code"))
                if (auto v = number(*code)) f.wsmanCode = v;
            if (const xmlNode* m = xml::firstChild(c, "Message")) {
                std::string text = ownText(m);
                if (!text.empty()) f.wsmanMessage = text;
            }
        } else if (name == "error_Code") {
            f.errorCode = number(xml::text(c));
        } else if (name == "CIMStatusCode") {
            f.cimStatus = number(xml::text(c));
        } else if (name == "StatusCode") {
            if (auto v = number(xml::text(c))) f.extendedStatus = v;
        } else if (name == "Message" && xml::localName(n) == "MSFT_WmiError") {
            f.wmiMessage = tidy(xml::text(c));
        }
        walk(c, f, depth + 1);
    }
}

HResult codeForSubcode(std::string_view subcode) {
    struct Entry {
        std::string_view subcode;
        HResult code;
    };
    static constexpr Entry table[] = {
        {"AccessDenied", hr::AccessDeniedSystem},
        {"CannotProcessFilter", hr::InvalidQuery},
        {"FilterDialectRequestedUnavailable", hr::InvalidQueryType},
        {"InvalidSelectors", hr::NotFound},
        {"DestinationUnreachable", hr::NotFound},
        {"ActionNotSupported", hr::NotSupported},
        {"InvalidParameter", hr::InvalidParameter},
    };
    for (const auto& e : table)
        if (e.subcode == subcode) return e.code;
    return hr::Failed;
}

}  // namespace

FaultInfo readFault(const xmlNode* fault) {
    FaultInfo info;
    if (const xmlNode* code = xml::firstChild(fault, "Code"))
        if (const xmlNode* sub = xml::firstChild(code, "Subcode"))
            if (const xmlNode* value = xml::firstChild(sub, "Value")) {
                std::string text(trimmed(xml::text(value)));
                const size_t colon = text.find(':');
                info.subcode = colon == std::string::npos ? text : text.substr(colon + 1);
            }
    std::string soapReason;
    if (const xmlNode* reason = xml::firstChild(fault, "Reason"))
        if (const xmlNode* t = xml::firstChild(reason, "Text")) soapReason = tidy(xml::text(t));

    Found f;
    if (const xmlNode* detail = xml::firstChild(fault, "Detail")) walk(detail, f, 0);

    info.fromDetail = true;
    if (f.errorCode && isWmiCode(*f.errorCode))
        info.code = HResult(*f.errorCode);
    else if (f.wsmanCode && isWmiCode(*f.wsmanCode))
        info.code = HResult(*f.wsmanCode);
    else if (f.extendedStatus && isWmiCode(*f.extendedStatus))
        info.code = HResult(*f.extendedStatus);
    else if (HResult c = f.cimStatus ? codeForCimStatus(unsigned(*f.cimStatus)) : 0; c != 0)
        info.code = c;
    else
        info.code = codeForSubcode(info.subcode), info.fromDetail = false;

    info.reason = !f.wsmanMessage.empty() ? f.wsmanMessage
                  : !f.wmiMessage.empty() ? f.wmiMessage
                                          : soapReason;
    return info;
}

FaultError::FaultError(FaultInfo info)
    : WbemError(info.code, describeWithReason(info.code, info.reason)), info_(std::move(info)) {}

void throwFault(const FaultInfo& fault) { throw FaultError(fault); }

}  // namespace wbem::winrm
