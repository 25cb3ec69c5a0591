// Percent-encoding (RFC 3986) of header values: CIM-XML's CIMMethod and
// CIMObject headers, and OpenPegasus's PGErrorDetail.
#pragma once

#include <string>
#include <string_view>

namespace wbem::remote {

// Every byte but letters, digits and - _ . ~ as %XX.
std::string percentEncode(std::string_view text);
// %XX sequences decoded; anything else, a lone or broken % included, kept.
std::string percentDecode(std::string_view text);

}  // namespace wbem::remote
