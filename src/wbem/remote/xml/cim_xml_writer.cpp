#include "cim_xml_writer.h"

#include <cmath>
#include <cstdio>

#include "wbem/errors.h"
#include "wbem/text.h"
#include "xml_doc.h"

namespace wbem::cimxml {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

std::string typeName(CimType t) { return std::string(cimTypeName(t)); }

void open(std::string& out, std::string_view element) {
    out += '<';
    out += element;
}

void attr(std::string& out, std::string_view name, std::string_view value) {
    out += ' ';
    out += name;
    out += "=\"";
    out += xmlText(value);
    out += '"';
}

void qualifierFlavors(std::string& out, uint8_t flavors) {
    if (flavors & flavor::DisableOverride) attr(out, "OVERRIDABLE", "false");
    if (flavors & flavor::Restricted) attr(out, "TOSUBCLASS", "false");
    if (flavors & flavor::ToInstance) attr(out, "TOINSTANCE", "true");
    if (flavors & flavor::Translatable) attr(out, "TRANSLATABLE", "true");
}

void writeQualifiers(std::string& out, const std::vector<Qualifier>& list,
                     const WriteOptions& options) {
    if (!options.qualifiers) return;
    for (const Qualifier& q : list) {
        if (options.localOnly && q.propagated) continue;
        open(out, "QUALIFIER");
        attr(out, "NAME", q.name);
        attr(out, "TYPE", typeName(q.type));
        if (q.propagated && options.propagated) attr(out, "PROPAGATED", "true");
        qualifierFlavors(out, q.flavors);
        out += '>';
        writeValue(out, q.value, CimTypeDecl{q.type, q.isArray, -1, {}});
        out += "</QUALIFIER>";
    }
}

bool isEmbedded(const PropertyDef& p) { return p.type.type == CimType::Object; }

// One PROPERTY, PROPERTY.ARRAY or PROPERTY.REFERENCE with `value`.
void writeProperty(std::string& out, const ClassDef& cls, const PropertyDef& p,
                   const CimValue& value, const WriteOptions& options) {
    const bool reference = p.type.type == CimType::Reference;
    const bool array = p.type.isArray;
    const char* element = reference ? (array ? "PROPERTY.ARRAY" : "PROPERTY.REFERENCE")
                          : array   ? "PROPERTY.ARRAY"
                                    : "PROPERTY";
    open(out, element);
    attr(out, "NAME", p.name);
    if (reference && !array) {
        if (!p.type.refClass.empty()) attr(out, "REFERENCECLASS", p.type.refClass);
    } else {
        attr(out, "TYPE", isEmbedded(p) ? "string" : typeName(p.type.type));
        if (isEmbedded(p)) attr(out, "EmbeddedObject", "instance");
        if (array && p.type.arraySize >= 0)
            attr(out, "ARRAYSIZE", std::to_string(p.type.arraySize));
    }
    if (options.classOrigin && !p.classOrigin.empty()) attr(out, "CLASSORIGIN", p.classOrigin);
    if (options.propagated && !p.classOrigin.empty() && !iequals(p.classOrigin, cls.name))
        attr(out, "PROPAGATED", "true");
    out += '>';
    writeQualifiers(out, p.qualifiers, options);
    writeValue(out, value, p.type);
    out += "</";
    out += element;
    out += '>';
}

void writeKeyValue(std::string& out, const CimValue& v, const CimTypeDecl& type) {
    if (type.type == CimType::Reference && !type.isArray && v.kind() == CimValue::Kind::String) {
        writeReference(out, v.asString());
        return;
    }
    const char* valueType = isIntegerType(type.type) || isRealType(type.type) ? "numeric"
                            : type.type == CimType::Boolean                   ? "boolean"
                                                                              : "string";
    open(out, "KEYVALUE");
    attr(out, "VALUETYPE", valueType);
    out += '>';
    out += xmlText(scalarText(v, type.type));
    out += "</KEYVALUE>";
}

}  // namespace

bool WriteOptions::wants(std::string_view property) const {
    if (!hasPropertyList) return true;
    for (const auto& name : propertyList)
        if (iequals(name, property)) return true;
    return false;
}

std::string xmlText(std::string_view text) {
    std::string clean = isValidUtf8(text) ? std::string(text) : sanitizeUtf8(text);
    for (size_t i = 0; i < clean.size(); ++i) {
        const auto u = static_cast<unsigned char>(clean[i]);
        if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0x7F)
            clean.replace(i, 1, kReplacement), i += kReplacement.size() - 1;
    }
    // Line breaks and tabs as references too, so attribute values keep them.
    std::string out;
    for (char c : xml::escape(clean)) {
        if (c == '\n')
            out += "&#10;";
        else if (c == '\t')
            out += "&#9;";
        else
            out += c;
    }
    return out;
}

std::string scalarText(const CimValue& value, CimType type) {
    switch (value.kind()) {
        case CimValue::Kind::Null:
        case CimValue::Kind::Array:
        case CimValue::Kind::Object:
            return {};
        case CimValue::Kind::Bool:
            return value.asBool() ? "TRUE" : "FALSE";
        case CimValue::Kind::SInt:
            return std::to_string(value.asSInt());
        case CimValue::Kind::UInt:
            if (type == CimType::Char16) {
                std::string out;
                const uint64_t cp = value.asUInt();
                if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
                    out = kReplacement;
                else
                    appendUtf8(out, uint32_t(cp));
                return out;
            }
            return std::to_string(value.asUInt());
        case CimValue::Kind::Real: {
            const double d = value.asReal();
            if (std::isnan(d)) return "NaN";
            if (std::isinf(d)) return d < 0 ? "-INF" : "INF";
            char buf[40];
            std::snprintf(buf, sizeof buf, type == CimType::Real32 ? "%.9g" : "%.17g", d);
            return buf;
        }
        case CimValue::Kind::String:
            return value.asString();
    }
    return {};
}

void writeValue(std::string& out, const CimValue& value, const CimTypeDecl& type) {
    if (value.isNull()) return;
    if (value.kind() == CimValue::Kind::Array) {
        const bool refs = type.type == CimType::Reference;
        out += refs ? "<VALUE.REFARRAY>" : "<VALUE.ARRAY>";
        CimTypeDecl element = type;
        element.isArray = false;
        for (const CimValue& v : value.asArray()) {
            if (v.isNull())
                out += "<VALUE.NULL></VALUE.NULL>";
            else
                writeValue(out, v, element);
        }
        out += refs ? "</VALUE.REFARRAY>" : "</VALUE.ARRAY>";
        return;
    }
    if (type.type == CimType::Reference && value.kind() == CimValue::Kind::String) {
        writeReference(out, value.asString());
        return;
    }
    out += "<VALUE>";
    if (value.kind() == CimValue::Kind::Object) {
        if (value.asObject()) {
            std::string inner;
            writeInstance(inner, *value.asObject(), WriteOptions{});
            out += xmlText(inner);
        }
    } else {
        out += xmlText(scalarText(value, type.type));
    }
    out += "</VALUE>";
}

void writeLocalNamespacePath(std::string& out, std::string_view nspace) {
    out += "<LOCALNAMESPACEPATH>";
    size_t start = 0;
    while (start <= nspace.size()) {
        size_t end = nspace.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = nspace.size();
        if (end > start) {
            open(out, "NAMESPACE");
            attr(out, "NAME", nspace.substr(start, end - start));
            out += "></NAMESPACE>";
        }
        start = end + 1;
    }
    out += "</LOCALNAMESPACEPATH>";
}

void writeInstanceName(std::string& out, const Instance& inst) {
    const ClassDef& cls = inst.cls();
    open(out, "INSTANCENAME");
    attr(out, "CLASSNAME", cls.name);
    out += '>';
    for (int slot : cls.keys) {
        const PropertyDef& p = cls.properties[size_t(slot)];
        const CimValue& v = inst.value(slot);
        if (v.isNull()) continue;
        open(out, "KEYBINDING");
        attr(out, "NAME", p.name);
        out += '>';
        writeKeyValue(out, v, p.type);
        out += "</KEYBINDING>";
    }
    out += "</INSTANCENAME>";
}

void writeInstanceName(std::string& out, const ObjectPath& path) {
    open(out, "INSTANCENAME");
    attr(out, "CLASSNAME", path.className);
    out += '>';
    for (const PathKey& k : path.keys) {
        const bool boolean = !k.quoted && (iequals(k.value, "true") || iequals(k.value, "false"));
        std::string keyValue = "<KEYVALUE VALUETYPE=\"";
        keyValue += k.quoted ? "string" : boolean ? "boolean" : "numeric";
        keyValue += "\">" + xmlText(k.value) + "</KEYVALUE>";
        if (k.name.empty()) {
            out += keyValue;
            continue;
        }
        open(out, "KEYBINDING");
        attr(out, "NAME", k.name);
        out += '>' + keyValue + "</KEYBINDING>";
    }
    out += "</INSTANCENAME>";
}

void writeInstancePath(std::string& out, std::string_view host, std::string_view nspace,
                       const Instance& inst) {
    out += "<INSTANCEPATH><NAMESPACEPATH><HOST>" + xmlText(host) + "</HOST>";
    writeLocalNamespacePath(out, nspace);
    out += "</NAMESPACEPATH>";
    writeInstanceName(out, inst);
    out += "</INSTANCEPATH>";
}

void writeClassPath(std::string& out, std::string_view host, std::string_view nspace,
                    std::string_view className) {
    out += "<CLASSPATH><NAMESPACEPATH><HOST>" + xmlText(host) + "</HOST>";
    writeLocalNamespacePath(out, nspace);
    out +=
        "</NAMESPACEPATH><CLASSNAME NAME=\"" + xmlText(className) + "\"></CLASSNAME></CLASSPATH>";
}

void writeReference(std::string& out, std::string_view pathText) {
    ObjectPath path;
    try {
        path = parseObjectPath(pathText);
    } catch (const WbemError&) {
        // Not a path we can take apart: hand it on as the bare class name.
        path.className = std::string(pathText);
    }
    out += "<VALUE.REFERENCE>";
    const bool isClass = path.isClass();
    if (!path.server.empty() && !path.nspace.empty()) {
        out += isClass ? "<CLASSPATH>" : "<INSTANCEPATH>";
        out += "<NAMESPACEPATH><HOST>" + xmlText(path.server) + "</HOST>";
        writeLocalNamespacePath(out, path.nspace);
        out += "</NAMESPACEPATH>";
    } else if (!path.nspace.empty()) {
        out += isClass ? "<LOCALCLASSPATH>" : "<LOCALINSTANCEPATH>";
        writeLocalNamespacePath(out, path.nspace);
    }
    if (isClass)
        out += "<CLASSNAME NAME=\"" + xmlText(path.className) + "\"></CLASSNAME>";
    else
        writeInstanceName(out, path);
    if (!path.server.empty() && !path.nspace.empty())
        out += isClass ? "</CLASSPATH>" : "</INSTANCEPATH>";
    else if (!path.nspace.empty())
        out += isClass ? "</LOCALCLASSPATH>" : "</LOCALINSTANCEPATH>";
    out += "</VALUE.REFERENCE>";
}

void writeClass(std::string& out, const ClassDef& cls, const WriteOptions& options) {
    open(out, "CLASS");
    attr(out, "NAME", cls.name);
    if (!cls.superclass.empty()) attr(out, "SUPERCLASS", cls.superclass);
    // No DERIVATION attribute: older clients refuse a CLASS that has one.
    out += '>';
    writeQualifiers(out, cls.qualifiers, options);
    for (const PropertyDef& p : cls.properties) {
        const bool local = p.classOrigin.empty() || iequals(p.classOrigin, cls.name);
        if (options.localOnly && !local) continue;
        if (!options.wants(p.name)) continue;
        writeProperty(out, cls, p, p.defaultValue, options);
    }
    for (const MethodDef& m : cls.methods) {
        const bool local = m.classOrigin.empty() || iequals(m.classOrigin, cls.name);
        if (options.localOnly && !local) continue;
        open(out, "METHOD");
        attr(out, "NAME", m.name);
        attr(out, "TYPE", typeName(m.returnType));
        if (options.classOrigin && !m.classOrigin.empty()) attr(out, "CLASSORIGIN", m.classOrigin);
        if (options.propagated && !local) attr(out, "PROPAGATED", "true");
        out += '>';
        writeQualifiers(out, m.qualifiers, options);
        for (const ParameterDef& param : m.parameters) {
            const bool reference = param.type.type == CimType::Reference;
            const char* element =
                reference ? (param.type.isArray ? "PARAMETER.REFARRAY" : "PARAMETER.REFERENCE")
                : param.type.isArray ? "PARAMETER.ARRAY"
                                     : "PARAMETER";
            open(out, element);
            attr(out, "NAME", param.name);
            if (reference) {
                if (!param.type.refClass.empty()) attr(out, "REFERENCECLASS", param.type.refClass);
            } else {
                attr(out, "TYPE",
                     param.type.type == CimType::Object ? "string" : typeName(param.type.type));
            }
            if (param.type.isArray && param.type.arraySize >= 0)
                attr(out, "ARRAYSIZE", std::to_string(param.type.arraySize));
            out += '>';
            writeQualifiers(out, param.qualifiers, options);
            out += "</";
            out += element;
            out += '>';
        }
        out += "</METHOD>";
    }
    out += "</CLASS>";
}

void writeInstance(std::string& out, const Instance& inst, const WriteOptions& options,
                   const std::vector<int>* projection) {
    const ClassDef& cls = inst.cls();
    open(out, "INSTANCE");
    attr(out, "CLASSNAME", cls.name);
    out += '>';
    WriteOptions propertyOptions = options;
    propertyOptions.propagated = false;  // instances do not say where a property came from
    if (options.qualifiers) {
        // Instances carry only the class qualifiers meant for them.
        for (const Qualifier& q : cls.qualifiers)
            if (q.flavors & flavor::ToInstance) writeQualifiers(out, {q}, propertyOptions);
    }
    propertyOptions.qualifiers = false;
    auto writeSlot = [&](int slot) {
        const PropertyDef& p = cls.properties[size_t(slot)];
        if (!options.wants(p.name)) return;
        if (options.localOnly && !p.classOrigin.empty() && !iequals(p.classOrigin, cls.name))
            return;
        writeProperty(out, cls, p, inst.value(slot), propertyOptions);
    };
    if (projection) {
        for (int slot : *projection) writeSlot(slot);
    } else {
        for (size_t slot = 0; slot < cls.properties.size(); ++slot) writeSlot(int(slot));
    }
    out += "</INSTANCE>";
}

void writeQualifierDeclaration(std::string& out, const QualifierDecl& decl) {
    open(out, "QUALIFIER.DECLARATION");
    attr(out, "NAME", decl.name);
    attr(out, "TYPE", typeName(decl.type.type));
    if (decl.type.isArray) attr(out, "ISARRAY", "true");
    if (decl.type.isArray && decl.type.arraySize >= 0)
        attr(out, "ARRAYSIZE", std::to_string(decl.type.arraySize));
    qualifierFlavors(out, decl.flavors);
    out += "><SCOPE";
    static const std::pair<uint32_t, const char*> scopes[] = {
        {scope::Class, "CLASS"},          {scope::Association, "ASSOCIATION"},
        {scope::Reference, "REFERENCE"},  {scope::Property, "PROPERTY"},
        {scope::Method, "METHOD"},        {scope::Parameter, "PARAMETER"},
        {scope::Indication, "INDICATION"}};
    for (const auto& [bit, name] : scopes)
        if (decl.scopes & bit) attr(out, name, "true");
    out += "></SCOPE>";
    writeValue(out, decl.defaultValue, decl.type);
    out += "</QUALIFIER.DECLARATION>";
}

}  // namespace wbem::cimxml
