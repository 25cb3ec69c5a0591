// Feeds arbitrary bytes to the WinRM back end's reply reading: the SOAP
// envelope and its faults, then every object of an Enumerate or Pull reply,
// typed by the XML alone and by a class the reply itself declares, and
// class definitions in DSP0201 form. Refusals are WbemError or XmlError;
// anything else is a bug.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "wbem/errors.h"
#include "wbem/remote/winrm/soap.h"
#include "wbem/remote/winrm/wsman_objects.h"
#include "wbem/remote/xml/cim_xml.h"

using namespace wbem;

namespace {

void readObjects(const xmlNode* response, const cimxml::ClassLookup& lookup) {
    winrm::ObjectReader reader(lookup, "FUZZ");
    const xmlNode* items = xml::firstChild(response, "Items");
    for (const xmlNode* item : xml::children(items)) {
        try {
            const winrm::ItemParts parts = winrm::itemParts(item);
            if (!parts.object) continue;
            auto o = reader.read(parts.object, parts.epr);
            (void)relPathOf(*o.instance);
            if (parts.epr) (void)reader.referencePath(parts.epr);
        } catch (const xml::XmlError&) {
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        winrm::Reply reply = winrm::readReply(bytes, {}, "fuzz");
        const xmlNode* payload = reply.payload();
        std::shared_ptr<const ClassDef> declared;
        for (const xmlNode* c : xml::children(reply.body, "CLASS")) {
            try {
                declared = cimxml::readClass(c);
            } catch (const xml::XmlError&) {
            }
        }
        readObjects(payload, {});
        if (declared)
            readObjects(payload, [&](std::string_view name) {
                return name == declared->name ? declared : nullptr;
            });
    } catch (const WbemError&) {
    } catch (const xml::XmlError&) {
    }
    return 0;
}
