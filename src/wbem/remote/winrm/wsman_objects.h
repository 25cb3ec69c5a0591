// WMI objects as WinRM writes them (one element per object, one child per
// property value, repeated for arrays, xsi:nil for null, cim:Datetime for
// dates, endpoint references for references and object paths) mapped to
// repository instances, typed by the class definition when the server has
// one and by the XML alone when not.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "wbem/remote/xml/cim_xml.h"
#include "wbem/repository/instance.h"

namespace wbem::winrm {

// ISO 8601 date and time (cim:Datetime) as a 25-character CIM datetime:
// "2013-04-29T11:43:11.203125-07:00" → "20130429114311.203125-420".
std::optional<std::string> cimDatetimeFromIso(std::string_view iso);
// ISO 8601 duration (cim:Interval) as a CIM interval:
// "P1DT2H3M4.5S" → "00000001020304.500000:000". Years and months have no
// CIM form: nullopt.
std::optional<std::string> cimIntervalFromIso(std::string_view iso);

// A child of an Enumerate or Pull reply's Items: the object itself, or a
// w:Item holding the object and its endpoint reference. `object` is null for
// an item that holds no object.
struct ItemParts {
    const xmlNode* object = nullptr;
    const xmlNode* epr = nullptr;
};
ItemParts itemParts(const xmlNode* item);

struct WsmanObject {
    std::shared_ptr<const Instance> instance;
    std::vector<int> projection;  // slots the reply held
    bool partial = false;         // fewer properties than the class has
};

class ObjectReader {
  public:
    // `server` and the namespace name references; `lookup` finds the class
    // definitions (null when unknown or when the server publishes none).
    ObjectReader(cimxml::ClassLookup lookup, std::string server);

    // `object` is the element named after the class; `epr` its endpoint
    // reference, or null. Throws xml::XmlError for an element it cannot read.
    WsmanObject read(const xmlNode* object, const xmlNode* epr);

    // The path text an endpoint reference names:
    // \\SERVER\root\cimv2:Class.Key="value",... (keys in name order).
    std::string referencePath(const xmlNode* epr) const;

  private:
    std::shared_ptr<const Instance> readInstance(const xmlNode* object, const xmlNode* epr,
                                                 std::vector<int>* projection, bool* partial,
                                                 int depth);
    std::shared_ptr<const ClassDef> synthesize(
        const std::string& className,
        const std::vector<std::pair<std::string_view, std::vector<const xmlNode*>>>& props,
        const std::vector<std::string>& keys);
    CimValue scalar(const xmlNode* element, CimType type, int depth);

    cimxml::ClassLookup lookup_;
    std::string server_;
    // Classes made from the XML alone, by class name; replaced when an
    // object does not fit the one made before.
    std::unordered_map<std::string, std::shared_ptr<const ClassDef>> synthesized_;
};

}  // namespace wbem::winrm
