// Feeds arbitrary bytes to the CIM-XML back end's reply reading: the HTTP
// head (status, CIMError) when the input starts with one, the CIM message
// and its ERROR, then every object of the return value and the output
// parameters, typed by the XML alone and by a class the reply itself
// declares. Refusals are WbemError or XmlError; anything else is a bug.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "wbem/errors.h"
#include "wbem/remote/cimxml/messages.h"
#include "wbem/remote/cimxml/objects.h"
#include "wbem/remote/xml/cim_xml.h"
#include "wbem/text.h"

using namespace wbem;

namespace {

// "HTTP/1.1 400 ...\nName: value\n\nbody" as a reply; else all body, status 200.
http::Reply replyOf(std::string_view bytes) {
    http::Reply r;
    r.status = 200;
    if (bytes.substr(0, 5) != "HTTP/") {
        r.body = std::string(bytes);
        return r;
    }
    size_t end = bytes.find("\n\n");
    std::string_view head = bytes.substr(0, end);
    if (end != std::string_view::npos) r.body = std::string(bytes.substr(end + 2));
    const size_t space = head.find(' ');
    r.status = space == std::string_view::npos
                   ? 0
                   : std::atol(std::string(head.substr(space + 1, 3)).c_str());
    for (size_t pos = head.find('\n'); pos != std::string_view::npos;) {
        const size_t next = head.find('\n', pos + 1);
        std::string_view line =
            head.substr(pos + 1, next == std::string_view::npos ? next : next - pos - 1);
        if (const size_t colon = line.find(':'); colon != std::string_view::npos)
            r.headers.emplace_back(std::string(trimmed(line.substr(0, colon))),
                                   std::string(trimmed(line.substr(colon + 1))));
        pos = next;
    }
    return r;
}

// The method the reply says it answers, so that the name check passes.
std::string methodOf(std::string_view body) {
    const std::string_view marker = "RESPONSE NAME=\"";
    const size_t at = body.find(marker);
    if (at == std::string_view::npos) return "GetClass";
    const size_t start = at + marker.size();
    return std::string(body.substr(start, body.find('"', start) - start));
}

void readItems(const xmlNode* parent, const cimxml::ClassLookup& lookup) {
    for (const xmlNode* item : xml::children(parent)) {
        try {
            const std::string_view name = xml::localName(item);
            if (auto inst = cimxml::readObject(item, lookup))
                (void)relPathOf(*inst);
            else if (name == "CLASS")
                (void)cimxml::readClass(item);
            else if (name == "CLASSNAME" || name == "INSTANCENAME" || name == "INSTANCEPATH" ||
                     name == "VALUE.REFERENCE")
                (void)cimxml::readReference(item);
            else if (name.substr(0, 5) == "VALUE")
                (void)cimxml::readValue(item,
                                        CimTypeDecl{CimType::String, name != "VALUE", -1, {}});
        } catch (const xml::XmlError&) {
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        const http::Reply reply = replyOf(bytes);
        cimxml::Response r = cimxml::readResponse(reply, methodOf(reply.body), "fuzz");
        std::shared_ptr<const ClassDef> declared;
        if (r.returnValue)
            for (const xmlNode* c : xml::children(r.returnValue, "CLASS")) {
                try {
                    declared = cimxml::readClass(c);
                } catch (const xml::XmlError&) {
                }
            }
        readItems(r.returnValue, {});
        if (declared)
            readItems(r.returnValue, [&](std::string_view name) {
                return iequals(name, declared->name) ? declared : nullptr;
            });
        for (const auto& [name, param] : r.params) readItems(param, {});
    } catch (const WbemError&) {
    } catch (const xml::XmlError&) {
    }
    return 0;
}
