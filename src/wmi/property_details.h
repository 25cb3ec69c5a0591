// What the details pane of the properties grid shows of one property: its
// type, key marker, qualifiers and full value, as texts (UTF-8), read through
// the object model so that every back end gives the same.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wbem/api.h"
#include "wmi/bw_wmi.h"

namespace wmi {

struct QualifierText {
    std::string name;
    std::string value;    // "" for a qualifier without one
    std::string flavors;  // "ToSubclass, ToInstance, DisableOverride, Amended, propagated"
};

struct PropertyDetails {
    std::string name;
    std::string type;  // "uint32", "string[]", "datetime", "ref:Win32_ComputerSystem"
    bool isKey = false;
    std::string description;  // the Description qualifier's text, "" without one
    std::vector<QualifierText> qualifiers;
    std::string value;  // whole, one line per array element
};

// An object's properties in the order the grid lists them, and its MOF text.
struct ObjectDetails {
    std::string mofText;
    std::vector<PropertyDetails> properties;
    const PropertyDetails* find(std::string_view name) const;  // ignores case; null when absent
};

// The type as an administrator reads it: the MOF type name, the CIMTYPE
// qualifier's "ref:Class" or "object:Class" for references and embedded
// objects, "[]" after an array's.
std::string PropertyTypeText(wbem::CimType type, bool isArray, std::string_view cimtypeQualifier);

// "ToSubclass, DisableOverride, propagated": the flavors in MOF's words, and
// "propagated" for a qualifier that reached the element from elsewhere.
std::string FlavorText(const wbem::ISWbemQualifier& qualifier);

// A qualifier's value: strings as they are, arrays as {a, b}, booleans True/False.
std::string QualifierValueText(const wbem::Variant& value);

// A CIM datetime ("20240131123456.000000+060") as seconds since the epoch;
// nullopt for an interval, a value with wildcards or a malformed one.
std::optional<int64_t> DateTimeSeconds(std::string_view cim);
// A CIM interval ("00000001132312.000000:000") as "1 day 13:23:12.000000";
// nullopt for anything else.
std::optional<std::string> IntervalText(std::string_view cim);
// Seconds since the epoch as local date and time, "2024-01-31 12:34:56".
std::string LocalDateTimeText(int64_t epochSeconds);

// The full value: NULL, a scalar whole, an array element by element as
// "[i] value" lines ("no elements" when empty), datetimes followed by their
// local date and time or interval in parentheses, embedded objects as MOF.
std::string DetailValueText(const wbem::Variant& value, wbem::CimType type);

// Details of one property. Its qualifiers and key marker come from
// `declared` (the class's property of the same name, for an instance) when
// given, else from the property itself.
PropertyDetails DescribeProperty(wbem::ISWbemProperty& property,
                                 wbem::ISWbemProperty* declared = nullptr);

// The details pane's text: type, key, description, qualifiers, value.
std::string DetailsPaneText(const PropertyDetails& details);

// Details of every property of an object, in its order, with its MOF text;
// `cls` is the instance's class (null for a class object). Throws as the
// object model does.
ObjectDetails DescribeObject(wbem::ISWbemObject& object, wbem::ISWbemObject* cls);

// The class's property names (as TWMI::ClassPropertyNames gives them) and
// details, read with one lookup. False with LastError on failure.
bool ClassDetails(TWMI& wmi, std::string_view className, TextList& names, ObjectDetails& details);

// Details of the instance a path names (read as ObjectAt reads it), its
// qualifiers from its own class. False with LastError on failure, also when
// there is no such instance or the path is empty.
bool InstanceDetails(TWMI& wmi, std::string_view path, ObjectDetails& details);

// The MOF text of a class, or of the object a path names, without describing
// its properties. False with LastError on failure.
bool ObjectMofText(TWMI& wmi, std::string_view path, std::string& text);

}  // namespace wmi
