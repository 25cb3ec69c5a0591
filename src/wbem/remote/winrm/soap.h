// WS-Management SOAP messages: the requests a session sends (Identify,
// Enumerate with a WQL filter, Pull, Release, Get, Invoke) and the reading of
// replies into their parts. Faults in a reply are thrown as WbemError (see
// faults.h).
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "wbem/remote/xml/xml_doc.h"

namespace wbem::winrm {

namespace ns {
inline constexpr std::string_view soap = "http://www.w3.org/2003/05/soap-envelope";
inline constexpr std::string_view addressing = "http://schemas.xmlsoap.org/ws/2004/08/addressing";
inline constexpr std::string_view enumeration = "http://schemas.xmlsoap.org/ws/2004/09/enumeration";
inline constexpr std::string_view transfer = "http://schemas.xmlsoap.org/ws/2004/09/transfer";
inline constexpr std::string_view wsman = "http://schemas.dmtf.org/wbem/wsman/1/wsman.xsd";
inline constexpr std::string_view identity =
    "http://schemas.dmtf.org/wbem/wsman/identity/1/wsmanidentity.xsd";
inline constexpr std::string_view xsi = "http://www.w3.org/2001/XMLSchema-instance";
inline constexpr std::string_view cimCommon = "http://schemas.dmtf.org/wbem/wscim/1/common";
}  // namespace ns

namespace action {
inline constexpr std::string_view enumerate =
    "http://schemas.xmlsoap.org/ws/2004/09/enumeration/Enumerate";
inline constexpr std::string_view pull = "http://schemas.xmlsoap.org/ws/2004/09/enumeration/Pull";
inline constexpr std::string_view release =
    "http://schemas.xmlsoap.org/ws/2004/09/enumeration/Release";
inline constexpr std::string_view get = "http://schemas.xmlsoap.org/ws/2004/09/transfer/Get";
}  // namespace action

namespace resource {
// WMI's classes and queries: <wmiBase><namespace with '/'>/<class or *>.
inline constexpr std::string_view wmiBase = "http://schemas.microsoft.com/wbem/wsman/1/wmi/";
// Class definitions in DSP0201 form.
inline constexpr std::string_view cimXmlSchema =
    "http://schemas.dmtf.org/wbem/cim-xml/2/cim-schema/2/*";
inline constexpr std::string_view wqlDialect = "http://schemas.microsoft.com/wbem/wsman/1/WQL";
}  // namespace resource

struct Selector {
    std::string name;
    std::string value;
};

struct RequestHeader {
    std::string to;           // the endpoint's URL
    std::string resourceUri;  // empty for Identify-like messages
    std::string_view action;
    std::vector<Selector> selectors;
    std::vector<std::pair<std::string, bool>> booleanOptions;
    int operationTimeoutSeconds = 60;
    int maxEnvelopeSize = 512000;
};

// A request with a fresh MessageID, which `messageId` receives.
std::string buildRequest(const RequestHeader& header, std::string_view bodyXml,
                         std::string& messageId);
std::string buildIdentify();

// Bodies. Text is escaped here.
std::string enumerateBody(std::string_view wqlFilter, int maxElements, bool withEndpointReferences);
std::string pullBody(std::string_view context, int maxElements);
std::string releaseBody(std::string_view context);
std::string invokeBody(std::string_view method, std::string_view resourceUri,
                       const std::vector<std::pair<std::string, std::string>>& parameters);

// A reply read as a SOAP 1.2 envelope. Throws WbemError: for a SOAP fault the
// code the fault maps to with its reason; for anything that is not a SOAP
// envelope (not XML, DTDs, other root, no body, over the size cap) a failure
// that says the host gave no WS-Management reply.
struct Reply {
    xml::Document doc;
    const xmlNode* header = nullptr;
    const xmlNode* body = nullptr;  // the s:Body element
    std::string action;
    std::string relatesTo;

    // The first element child of the body; throws when there is none.
    const xmlNode* payload() const;
};
Reply readReply(std::string_view bytes, std::string_view expectedMessageId, std::string_view host);

}  // namespace wbem::winrm
