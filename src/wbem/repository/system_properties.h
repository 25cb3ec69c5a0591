// The system properties every WMI object carries (__CLASS, __PATH, ...).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "class_def.h"
#include "instance.h"

namespace wbem {

struct ObjectContext {
    std::string server;  // host name as WMI reports it (upper case)
    std::string nspace;  // "root\cimv2"
};

// The names, in WMI's order: __GENUS, __CLASS, __SUPERCLASS, __DYNASTY,
// __RELPATH, __PROPERTY_COUNT, __DERIVATION, __SERVER, __NAMESPACE, __PATH.
const std::vector<std::string>& systemPropertyNames();
bool isSystemPropertyName(std::string_view name);
// CIM type of a system property (string, sint32 for __GENUS and
// __PROPERTY_COUNT, string array for __DERIVATION).
CimTypeDecl systemPropertyType(std::string_view name);

// The value for a class object (inst null) or an instance; nullopt when
// `name` is not a system property. `propertyCount` is the number of the
// object's ordinary properties (a partial object has fewer than its class).
std::optional<CimValue> systemProperty(std::string_view name, const ClassDef& cls,
                                       const Instance* inst, const ObjectContext& ctx,
                                       int propertyCount);

}  // namespace wbem
