// Reader of CIM objects in DSP0201 (CIM-XML) form: classes with qualifiers,
// properties, methods and parameters; instances; values and references.
// Used for WinRM's class metadata and by the CIM-XML back end.
//
// Every function throws xml::XmlError for an element it cannot read.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "wbem/repository/class_def.h"
#include "wbem/repository/instance.h"
#include "xml_doc.h"

namespace wbem::cimxml {

// Finds a class by name, or returns null when it is not known.
using ClassLookup = std::function<std::shared_ptr<const ClassDef>(std::string_view name)>;

// A CLASS element as a finalized ClassDef: properties in the element's order
// (CLASSORIGIN kept, PROPAGATED qualifiers marked), qualifier flavors,
// methods with their parameters (In/Out as the qualifiers say, In when
// neither is given), keys from the Key qualifier, superclass and DERIVATION.
std::shared_ptr<const ClassDef> readClass(const xmlNode* classElement);

// An INSTANCE element. Typed by the class that lookup finds (values coerced
// to the declared types, properties the class lacks ignored); when lookup
// finds none, by a class made from the PROPERTY elements' TYPE attributes.
// Embedded objects (EmbeddedObject="object"/"instance" or the EmbeddedObject
// qualifier) are read as instances.
std::shared_ptr<const Instance> readInstance(const xmlNode* instanceElement,
                                             const ClassLookup& lookup = {});

// VALUE, VALUE.ARRAY, VALUE.REFERENCE, VALUE.REFARRAY or VALUE.NULL, as `type`.
CimValue readValue(const xmlNode* valueElement, const CimTypeDecl& type);

// VALUE.REFERENCE (or an INSTANCEPATH, LOCALINSTANCEPATH, INSTANCENAME,
// CLASSPATH, LOCALCLASSPATH or CLASSNAME inside one) as WMI path text:
// \\host\root\cimv2:Class.Key="v", or Class.Key="v" without host and namespace.
std::string readReference(const xmlNode* element);

// One scalar in its XML text form as `type`: integers in decimal (and
// 0x hex for CIM-XML), booleans true/false in any letter case, reals with
// INF/-INF/NaN, char16 as one character, strings and datetimes as written.
// Throws xml::XmlError when the text does not fit the type.
CimValue parseScalar(std::string_view text, CimType type);

}  // namespace wbem::cimxml
