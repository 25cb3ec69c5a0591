#include "backend_choice.h"

#include "wbem/text.h"

namespace wbem::remote {

namespace {

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && iequals(s.substr(0, prefix.size()), prefix);
}

// The port written in the authority of a URL (after the scheme), or "".
std::string_view portOf(std::string_view rest) {
    std::string_view authority = rest.substr(0, rest.find('/'));
    if (!authority.empty() && authority.front() == '[') {
        const size_t close = authority.find(']');
        if (close == std::string_view::npos) return {};
        authority.remove_prefix(close + 1);
        return authority.size() > 1 && authority.front() == ':' ? authority.substr(1)
                                                                : std::string_view{};
    }
    const size_t colon = authority.find(':');
    return colon == std::string_view::npos ? std::string_view{} : authority.substr(colon + 1);
}

}  // namespace

Backend backendFor(std::string_view text) {
    text = trimmed(text);
    if (startsWithNoCase(text, "cimxml://") || startsWithNoCase(text, "cimxmls://"))
        return Backend::CimXml;
    std::string_view rest;
    if (startsWithNoCase(text, "https://"))
        rest = text.substr(8);
    else if (startsWithNoCase(text, "http://"))
        rest = text.substr(7);
    else
        return Backend::WinRm;
    // 5988 and 5989 are the registered CIM-XML ports; WinRM never listens there.
    const std::string_view port = portOf(rest);
    return port == "5988" || port == "5989" ? Backend::CimXml : Backend::WinRm;
}

}  // namespace wbem::remote
