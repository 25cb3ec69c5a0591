// Reading a CIM-XML operation request (an HTTP POST with the CIM headers and
// a <CIM><MESSAGE><SIMPLEREQ> body) into the call it asks for. Bodies come
// from other machines: the XML is read without DTDs or entities, with a
// depth limit, and every shape we cannot take is a RequestError that says
// how HTTP should refuse it.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "wbem/remote/xml/xml_doc.h"

namespace agent {

// A request refused at the HTTP level: status (400, 501, ...) and the value
// of the CIMError header.
class RequestError : public std::runtime_error {
  public:
    RequestError(int httpStatus, std::string cimError, const std::string& why)
        : std::runtime_error(why), httpStatus_(httpStatus), cimError_(std::move(cimError)) {}
    int httpStatus() const { return httpStatus_; }
    const std::string& cimError() const { return cimError_; }

  private:
    int httpStatus_;
    std::string cimError_;
};

struct Call {
    wbem::xml::Document doc;
    std::string messageId;
    bool intrinsic = true;  // IMETHODCALL; else METHODCALL (a class's or instance's method)
    std::string method;
    std::string nspace;  // "root/cimv2"
    // An extrinsic call's target: the LOCALCLASSPATH or LOCALINSTANCEPATH element.
    const xmlNode* target = nullptr;
    // IPARAMVALUE / PARAMVALUE elements by name (ignoring case).
    std::map<std::string, const xmlNode*, std::less<>> params;
    // A parameter given more than once: well formed, but an invalid
    // parameter for the operation to report.
    std::string repeatedParam;

    const xmlNode* param(std::string_view name) const;
};

// How deep a request may nest; real requests need about a dozen levels.
inline constexpr int kMaxRequestDepth = 64;

// Reads the body; `cimMethod` is the CIMMethod header (percent-decoded),
// which must name the body's method.
Call readCall(std::string_view body, std::string_view cimMethod);

}  // namespace agent
