// CIM-XML operation requests (DSP0200) and the reading of their replies:
// the HTTP status and CIMError header, the <ERROR> of a method response,
// the return value and output parameters. The objects inside are read by
// remote/xml/cim_xml.h.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "wbem/errors.h"
#include "wbem/remote/http/http_client.h"
#include "wbem/remote/xml/xml_doc.h"
#include "wbem/repository/object_path.h"

namespace wbem::cimxml {

// A failure the server reported: a CIM status in <ERROR>, or an HTTP error
// with its CIMError header. `status` is the CIM status (0 for HTTP errors).
class CimError : public WbemError {
  public:
    CimError(HResult code, const std::string& text, unsigned status, std::string cimError = {})
        : WbemError(code, text), status_(status), cimError_(std::move(cimError)) {}
    unsigned status() const { return status_; }
    const std::string& cimErrorHeader() const { return cimError_; }

  private:
    unsigned status_;
    std::string cimError_;
};

// A named parameter of a request: its name and its XML content.
struct Param {
    std::string name;
    std::string xml;
};

std::string valueXml(std::string_view text);
std::string boolXml(bool value);
std::string classNameXml(std::string_view className);
// The INSTANCENAME of a WMI path: quoted keys as strings, true/false as
// booleans, other bare keys as numbers.
std::string instanceNameXml(const ObjectPath& path);

// "root\cimv2" or "root/cimv2" → "root/cimv2".
std::string slashNamespace(std::string_view nspace);

struct Request {
    http::Headers headers;
    std::string body;
};

// An intrinsic operation (GetClass, EnumerateInstances, ...) on a namespace.
Request intrinsicRequest(unsigned id, std::string_view method, std::string_view nspace,
                         const std::vector<Param>& params);
// A method of a class (static, no keys in `target`) or of an instance.
Request methodRequest(unsigned id, std::string_view method, std::string_view nspace,
                      const ObjectPath& target, const std::vector<Param>& params);

// A reply read: the document and where its parts are.
struct Response {
    xml::Document doc;
    const xmlNode* returnValue = nullptr;  // IRETURNVALUE or RETURNVALUE, or null
    std::map<std::string, const xmlNode*, std::less<>> params;  // PARAMVALUE by upper-cased name

    const xmlNode* param(std::string_view upperName) const;
};

// Reads the reply to `method`. Throws CimError for an error the server
// reported (HTTP or CIM), WbemError Failed for a reply that is no CIM-XML
// response to that method; `where` names the server in those texts.
Response readResponse(const http::Reply& reply, std::string_view method, std::string_view where);
// The same over the bytes of a body alone (status 200, no headers).
Response readResponseBody(std::string_view body, std::string_view method, std::string_view where);

}  // namespace wbem::cimxml
