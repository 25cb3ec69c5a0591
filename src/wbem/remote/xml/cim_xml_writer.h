// Writer of CIM objects in DSP0201 (CIM-XML) form: the counterpart of
// cim_xml.h, used by the agent to answer requests. Every element is written
// with an explicit end tag (some clients refuse <PROPERTY .../>), and text is
// made valid XML 1.0 first: invalid UTF-8 and control characters other than
// TAB, LF and CR become U+FFFD.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "wbem/repository/class_def.h"
#include "wbem/repository/instance.h"
#include "wbem/repository/object_path.h"

namespace wbem::cimxml {

// What of a class or instance to write, as the operations' flags ask.
struct WriteOptions {
    bool localOnly = false;                 // only members the class itself declares
    bool qualifiers = true;                 // QUALIFIER elements
    bool classOrigin = false;               // CLASSORIGIN attributes
    bool propagated = true;                 // PROPAGATED attributes
    bool hasPropertyList = false;           // when set, only the properties named in
    std::vector<std::string> propertyList;  // propertyList (ignoring case)
    bool wants(std::string_view property) const;
};

// Text as XML content or attribute value.
std::string xmlText(std::string_view text);

void writeClass(std::string& out, const ClassDef& cls, const WriteOptions& options);
// An INSTANCE; `projection` (slots) limits the properties when not null.
void writeInstance(std::string& out, const Instance& inst, const WriteOptions& options,
                   const std::vector<int>* projection = nullptr);
// INSTANCENAME of an instance (its keys), or of a parsed path.
void writeInstanceName(std::string& out, const Instance& inst);
void writeInstanceName(std::string& out, const ObjectPath& path);
void writeLocalNamespacePath(std::string& out, std::string_view nspace);
// INSTANCEPATH (host and namespace) of an instance.
void writeInstancePath(std::string& out, std::string_view host, std::string_view nspace,
                       const Instance& inst);
// CLASSPATH (host and namespace) of a class.
void writeClassPath(std::string& out, std::string_view host, std::string_view nspace,
                    std::string_view className);
// A path given as WMI text (\\host\ns:Class.Key="v", ns:Class, Class=@...) as
// VALUE.REFERENCE; `host` and `nspace` fill what the text leaves out when the
// text names a namespace or host.
void writeReference(std::string& out, std::string_view pathText);
// VALUE, VALUE.ARRAY, VALUE.REFERENCE or VALUE.REFARRAY; nothing for null.
void writeValue(std::string& out, const CimValue& value, const CimTypeDecl& type);
void writeQualifierDeclaration(std::string& out, const QualifierDecl& decl);
// One scalar in its XML text form (the inverse of parseScalar).
std::string scalarText(const CimValue& value, CimType type);

}  // namespace wbem::cimxml
