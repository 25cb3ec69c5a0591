#include "cim_xml.h"

#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <unordered_set>

#include "wbem/errors.h"
#include "wbem/repository/object_path.h"
#include "wbem/repository/value_text.h"
#include "wbem/text.h"

namespace wbem::cimxml {

using xml::XmlError;

namespace {

// An embedded object is a document inside a string; each level is parsed
// again, so the levels are bounded to keep a hostile value from recursing.
constexpr int kMaxEmbedding = 8;
// References can name instances whose keys are references themselves.
constexpr int kMaxReferenceNesting = 16;

using NameSet = std::unordered_set<std::string, IHash, IEqual>;

// What every reading function needs besides the element: how to find
// classes for embedded instances, and how deep in embedded documents it is.
struct Reader {
    const ClassLookup* lookup = nullptr;
    int nesting = 0;
};

std::string clipped(std::string_view s) {
    constexpr size_t kMax = 60;
    if (s.size() <= kMax) return std::string(s);
    return std::string(s.substr(0, kMax)) + "...";
}

[[noreturn]] void fail(const xmlNode* n, const std::string& why) {
    std::string where = "CIM-XML error at line " +
                        std::to_string(xmlGetLineNo(const_cast<xmlNode*>(n))) + " in <" +
                        std::string(xml::localName(n));
    if (auto name = xml::attribute(n, "NAME")) {
        where += " NAME=\"" + clipped(*name) + "\"";
    } else if (auto cls = xml::attribute(n, "CLASSNAME")) {
        where += " CLASSNAME=\"" + clipped(*cls) + "\"";
    }
    throw XmlError(where + ">: " + why);
}

std::string required(const xmlNode* n, std::string_view attr) {
    auto v = xml::attribute(n, attr);
    if (!v || v->empty()) fail(n, "the attribute " + std::string(attr) + " is missing");
    return *v;
}

bool flag(const xmlNode* n, std::string_view attr, bool absent) {
    auto v = xml::attribute(n, attr);
    if (!v) return absent;
    std::string_view t = trimmed(*v);
    if (iequals(t, "true")) return true;
    if (iequals(t, "false")) return false;
    fail(n, "the attribute " + std::string(attr) + " is '" + clipped(*v) + "', not true or false");
}

bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// Class and key names go into path text unquoted, so they must be names.
std::string requiredName(const xmlNode* n, std::string_view attr) {
    std::string v = required(n, attr);
    for (char c : v)
        if (!isNameChar(c)) fail(n, "'" + clipped(v) + "' is not a valid name");
    return v;
}

CimType typeAttr(const xmlNode* n) {
    std::string t = required(n, "TYPE");
    // References have elements of their own; "object" is what WMI writes for
    // embedded objects.
    auto type = parseCimType(t);
    if (!type || *type == CimType::Reference) fail(n, "unknown TYPE '" + clipped(t) + "'");
    return *type;
}

int32_t arraySize(const xmlNode* n) {
    auto v = xml::attribute(n, "ARRAYSIZE");
    if (!v) return -1;
    std::string_view t = trimmed(*v);
    int32_t size = -1;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), size);
    if (ec != std::errc() || end != t.data() + t.size() || size < 0 || t.empty())
        fail(n, "ARRAYSIZE '" + clipped(*v) + "' is not a size");
    return size;
}

bool isValueElement(std::string_view name) {
    return name == "VALUE" || name == "VALUE.ARRAY" || name == "VALUE.REFERENCE" ||
           name == "VALUE.REFARRAY" || name == "VALUE.NULL";
}

const xmlNode* valueChild(const xmlNode* n) {
    for (const xmlNode* c : xml::children(n))
        if (isValueElement(xml::localName(c))) return c;
    return nullptr;
}

// "PROPERTY.ARRAY" -> ".ARRAY"; "" for the plain element.
std::string_view suffixOf(std::string_view elementName) {
    size_t dot = elementName.find('.');
    return dot == std::string_view::npos ? std::string_view() : elementName.substr(dot);
}

bool isPropertyElement(std::string_view name) {
    return name == "PROPERTY" || name == "PROPERTY.ARRAY" || name == "PROPERTY.REFERENCE";
}

bool isParameterElement(std::string_view name) {
    return name == "PARAMETER" || name == "PARAMETER.ARRAY" || name == "PARAMETER.REFERENCE" ||
           name == "PARAMETER.REFARRAY";
}

// The declared type of a PROPERTY* or PARAMETER* element.
CimTypeDecl declOf(const xmlNode* n) {
    std::string_view suffix = suffixOf(xml::localName(n));
    CimTypeDecl t;
    if (suffix == ".REFERENCE" || suffix == ".REFARRAY") {
        t.type = CimType::Reference;
        t.refClass = xml::attribute(n, "REFERENCECLASS").value_or("");
        t.isArray = suffix == ".REFARRAY";
    } else {
        t.type = typeAttr(n);
        t.isArray = suffix == ".ARRAY";
    }
    if (t.isArray) t.arraySize = arraySize(n);
    return t;
}

// A string property that carries an object (EmbeddedObject attribute or
// qualifier, EmbeddedInstance, WMI's CIMTYPE "object:Class") is an object
// property, as WMI reports it.
void applyEmbedding(const xmlNode* n, CimTypeDecl& t, const std::vector<Qualifier>& quals) {
    if (t.type != CimType::String && t.type != CimType::Object) return;
    bool embedded = t.type == CimType::Object;
    auto attr = xml::attribute(n, "EmbeddedObject");
    if (!attr) attr = xml::attribute(n, "EMBEDDEDOBJECT");
    if (attr) {
        if (!iequals(*attr, "object") && !iequals(*attr, "instance"))
            fail(n, "EmbeddedObject is '" + clipped(*attr) + "', not object or instance");
        embedded = true;
    }
    if (hasTrueQualifier(quals, "EmbeddedObject")) embedded = true;
    const Qualifier* inst = findQualifier(quals, "EmbeddedInstance");
    if (inst && inst->value.kind() == CimValue::Kind::String) {
        embedded = true;
        t.refClass = inst->value.asString();
    }
    const Qualifier* cimtype = findQualifier(quals, "CIMTYPE");
    if (cimtype && cimtype->value.kind() == CimValue::Kind::String) {
        const std::string& s = cimtype->value.asString();
        if (s.size() >= 6 && iequals(std::string_view(s).substr(0, 6), "object")) {
            embedded = true;
            if (s.size() > 7 && s[6] == ':' && t.refClass.empty()) t.refClass = s.substr(7);
        }
    }
    if (embedded) t.type = CimType::Object;
}

std::shared_ptr<const ClassDef> classAt(const xmlNode* n, const Reader& r);
std::shared_ptr<const Instance> instanceAt(const xmlNode* n, const Reader& r);
std::string referenceText(const xmlNode* n, int depth);

CimValue embeddedObject(std::string_view text, const Reader& r) {
    if (trimmed(text).empty()) return {};
    if (r.nesting >= kMaxEmbedding) {
        throw XmlError("embedded objects are nested deeper than " + std::to_string(kMaxEmbedding) +
                       " levels");
    }
    xml::Document doc = xml::Document::parse(text);
    const xmlNode* root = doc.root();
    Reader inner{r.lookup, r.nesting + 1};
    std::string_view name = xml::localName(root);
    if (name == "INSTANCE") return CimValue::object(instanceAt(root, inner));
    // A class travels as an instance of it holding the class defaults.
    if (name == "CLASS") return CimValue::object(std::make_shared<Instance>(classAt(root, inner)));
    throw XmlError("an embedded object is a <" + clipped(name) + ">, not an INSTANCE or a CLASS");
}

CimValue scalarAt(const xmlNode* v, CimType type, const Reader& r) {
    std::string text = xml::text(v);
    try {
        if (type == CimType::Object) return embeddedObject(text, r);
        return parseScalar(text, type);
    } catch (const XmlError& e) {
        fail(v, e.what());
    }
}

CimValue referenceAt(const xmlNode* v, const CimTypeDecl& type) {
    if (type.type != CimType::Reference && type.type != CimType::String)
        fail(v, "a reference where the type is " + std::string(cimTypeName(type.type)));
    return CimValue::string(referenceText(v, 0));
}

CimValue valueOf(const xmlNode* v, const CimTypeDecl& type, const Reader& r) {
    std::string_view name = xml::localName(v);
    if (name == "VALUE.NULL") return {};
    if (name == "VALUE" || name == "VALUE.REFERENCE") {
        CimValue one = name == "VALUE" ? scalarAt(v, type.type, r) : referenceAt(v, type);
        // One value where an array is declared is an array of one.
        if (type.isArray && !one.isNull()) return CimValue::array({std::move(one)});
        return one;
    }
    if (name == "VALUE.ARRAY" || name == "VALUE.REFARRAY") {
        if (!type.isArray) fail(v, "an array value for a " + std::string(cimTypeName(type.type)));
        const std::string_view element = name == "VALUE.ARRAY" ? "VALUE" : "VALUE.REFERENCE";
        CimValue::Array items;
        for (const xmlNode* c : xml::children(v)) {
            std::string_view cn = xml::localName(c);
            if (cn == "VALUE.NULL") {
                items.emplace_back();
            } else if (cn == element) {
                items.push_back(cn == "VALUE" ? scalarAt(c, type.type, r) : referenceAt(c, type));
            } else {
                fail(c, "not an element of a <" + std::string(name) + ">");
            }
        }
        return CimValue::array(std::move(items));
    }
    fail(v, "not a value element");
}

Qualifier qualifierAt(const xmlNode* q, const Reader& r) {
    Qualifier out;
    out.name = required(q, "NAME");
    out.type = typeAttr(q);
    out.propagated = flag(q, "PROPAGATED", false);
    if (!flag(q, "OVERRIDABLE", true)) out.flavors |= flavor::DisableOverride;
    if (!flag(q, "TOSUBCLASS", true)) out.flavors |= flavor::Restricted;
    if (flag(q, "TOINSTANCE", false)) out.flavors |= flavor::ToInstance;
    if (flag(q, "TRANSLATABLE", false)) out.flavors |= flavor::Translatable;
    if (const xmlNode* v = valueChild(q)) {
        out.isArray = xml::localName(v) == "VALUE.ARRAY";
        out.value = valueOf(v, CimTypeDecl{out.type, out.isArray, -1, {}}, r);
    }
    return out;
}

std::vector<Qualifier> qualifiersOf(const xmlNode* n, const Reader& r) {
    std::vector<Qualifier> out;
    NameSet names;
    for (const xmlNode* q : xml::children(n, "QUALIFIER")) {
        out.push_back(qualifierAt(q, r));
        if (!names.insert(out.back().name).second) fail(q, "the qualifier is given twice");
    }
    return out;
}

ParameterDef parameterAt(const xmlNode* p, const Reader& r) {
    ParameterDef out;
    out.name = required(p, "NAME");
    out.qualifiers = qualifiersOf(p, r);
    out.type = declOf(p);
    applyEmbedding(p, out.type, out.qualifiers);
    // A parameter with neither In nor Out is an input.
    out.out = hasTrueQualifier(out.qualifiers, "Out");
    const Qualifier* in = findQualifier(out.qualifiers, "In");
    out.in = in ? hasTrueQualifier(out.qualifiers, "In") : !out.out;
    return out;
}

MethodDef methodAt(const xmlNode* m, const std::string& className, const Reader& r) {
    MethodDef out;
    out.name = required(m, "NAME");
    out.qualifiers = qualifiersOf(m, r);
    if (xml::attribute(m, "TYPE")) {
        CimTypeDecl ret{typeAttr(m), false, -1, {}};
        applyEmbedding(m, ret, out.qualifiers);
        out.returnType = ret.type;
    }
    out.classOrigin = xml::attribute(m, "CLASSORIGIN").value_or(className);
    NameSet names;
    for (const xmlNode* p : xml::children(m)) {
        if (!isParameterElement(xml::localName(p))) continue;
        out.parameters.push_back(parameterAt(p, r));
        if (!names.insert(out.parameters.back().name).second)
            fail(p, "the parameter is given twice");
    }
    return out;
}

PropertyDef propertyAt(const xmlNode* p, const std::string& className, const Reader& r) {
    PropertyDef out;
    out.name = required(p, "NAME");
    out.qualifiers = qualifiersOf(p, r);
    out.type = declOf(p);
    applyEmbedding(p, out.type, out.qualifiers);
    out.classOrigin = xml::attribute(p, "CLASSORIGIN").value_or(className);
    out.isKey = hasTrueQualifier(out.qualifiers, "Key");
    return out;
}

std::shared_ptr<const ClassDef> classAt(const xmlNode* n, const Reader& r) {
    if (xml::localName(n) != "CLASS") fail(n, "expected a CLASS element");
    auto cls = std::make_shared<ClassDef>();
    cls->name = required(n, "NAME");
    cls->superclass = xml::attribute(n, "SUPERCLASS").value_or("");
    cls->qualifiers = qualifiersOf(n, r);
    NameSet properties, methods;
    for (const xmlNode* c : xml::children(n)) {
        std::string_view name = xml::localName(c);
        if (isPropertyElement(name)) {
            PropertyDef p = propertyAt(c, cls->name, r);
            if (!properties.insert(p.name).second) fail(c, "the property is given twice");
            if (const xmlNode* v = valueChild(c)) p.defaultValue = valueOf(v, p.type, r);
            cls->properties.push_back(std::move(p));
        } else if (name == "METHOD") {
            cls->methods.push_back(methodAt(c, cls->name, r));
            if (!methods.insert(cls->methods.back().name).second)
                fail(c, "the method is given twice");
        }
    }
    if (auto derivation = xml::attribute(n, "DERIVATION")) {
        std::string_view rest = *derivation;
        while (!rest.empty()) {
            size_t comma = rest.find(',');
            std::string_view part = trimmed(rest.substr(0, comma));
            if (!part.empty()) cls->derivation.emplace_back(part);
            rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        }
    } else if (!cls->superclass.empty()) {
        cls->derivation.push_back(cls->superclass);
    }
    cls->finalize();
    return cls;
}

// The class an instance shows when no class is known: its PROPERTY
// elements, typed as they say.
std::shared_ptr<const ClassDef> synthesize(const xmlNode* n, const std::string& className,
                                           const Reader& r) {
    auto cls = std::make_shared<ClassDef>();
    cls->name = className;
    cls->qualifiers = qualifiersOf(n, r);
    NameSet names;
    for (const xmlNode* c : xml::children(n)) {
        if (!isPropertyElement(xml::localName(c))) continue;
        cls->properties.push_back(propertyAt(c, className, r));
        if (!names.insert(cls->properties.back().name).second)
            fail(c, "the property is given twice");
    }
    cls->finalize();
    return cls;
}

std::shared_ptr<const Instance> instanceAt(const xmlNode* n, const Reader& r) {
    if (xml::localName(n) != "INSTANCE") fail(n, "expected an INSTANCE element");
    const std::string className = required(n, "CLASSNAME");
    std::shared_ptr<const ClassDef> cls;
    if (r.lookup && *r.lookup) cls = (*r.lookup)(className);
    if (!cls) cls = synthesize(n, className, r);
    auto inst = std::make_shared<Instance>(cls);
    std::vector<bool> seen(cls->properties.size());
    for (const xmlNode* c : xml::children(n)) {
        std::string_view element = xml::localName(c);
        if (!isPropertyElement(element)) continue;
        int slot = cls->findProperty(required(c, "NAME"));
        if (slot < 0) continue;  // the class as known here lacks it
        // A bad TYPE is an error even where the class gives the type.
        if (element != "PROPERTY.REFERENCE" && xml::attribute(c, "TYPE")) typeAttr(c);
        if (seen[size_t(slot)]) fail(c, "the property is given twice");
        seen[size_t(slot)] = true;
        const xmlNode* v = valueChild(c);
        inst->setSlot(slot, v ? valueOf(v, cls->properties[size_t(slot)].type, r) : CimValue());
    }
    return inst;
}

// ---- references

bool isNumberText(std::string_view t) {
    if (t.empty()) return false;
    size_t i = (t[0] == '+' || t[0] == '-') ? 1 : 0;
    std::string_view body = t.substr(i);
    if (body.size() > 2 && body[0] == '0' && (body[1] == 'x' || body[1] == 'X')) {
        for (char c : body.substr(2))
            if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        return true;
    }
    if (body.empty() || !(std::isdigit(static_cast<unsigned char>(body[0])) || body[0] == '.'))
        return false;
    double d = 0;
    auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), d);
    return ec == std::errc() && end == body.data() + body.size();
}

std::string keyValueText(const xmlNode* v, int depth) {
    std::string_view element = xml::localName(v);
    if (element == "VALUE.REFERENCE") return pathValue(referenceText(v, depth + 1), true);
    if (element != "KEYVALUE") fail(v, "not a key value");
    std::string type = xml::attribute(v, "VALUETYPE").value_or("string");
    std::string text = xml::text(v);
    if (iequals(type, "string")) return pathValue(text, true);
    std::string_view t = trimmed(text);
    // Bare values are checked, so that one cannot carry path syntax.
    if (iequals(type, "numeric")) {
        if (!isNumberText(t)) fail(v, "'" + clipped(text) + "' is not a number");
        return std::string(t);
    }
    if (iequals(type, "boolean")) {
        if (iequals(t, "true")) return "TRUE";
        if (iequals(t, "false")) return "FALSE";
        fail(v, "'" + clipped(text) + "' is not a boolean");
    }
    fail(v, "unknown VALUETYPE '" + clipped(type) + "'");
}

std::string instanceNameText(const xmlNode* n, int depth) {
    if (xml::localName(n) != "INSTANCENAME") fail(n, "expected an INSTANCENAME element");
    std::string out = requiredName(n, "CLASSNAME");
    bool named = false, unnamed = false;
    for (const xmlNode* c : xml::children(n)) {
        std::string_view element = xml::localName(c);
        if (element == "KEYBINDING") {
            if (unnamed) fail(c, "a named key after an unnamed one");
            out += named ? ',' : '.';
            named = true;
            out += requiredName(c, "NAME");
            out += '=';
            const xmlNode* v = xml::firstChild(c);
            if (!v) fail(c, "a key without a value");
            out += keyValueText(v, depth);
        } else if (element == "KEYVALUE" || element == "VALUE.REFERENCE") {
            if (named || unnamed) fail(c, "an unnamed key beside other keys");
            unnamed = true;
            out += '=';
            out += keyValueText(c, depth);
        }
    }
    if (!named && !unnamed) out += "=@";
    return out;
}

std::string localNamespaceText(const xmlNode* n) {
    std::string out;
    for (const xmlNode* c : xml::children(n, "NAMESPACE")) {
        std::string part = required(c, "NAME");
        for (char& ch : part) {
            if (ch == '/') ch = '\\';
            if (ch == ':' || ch == '"') fail(c, "'" + clipped(part) + "' is not a namespace name");
        }
        if (!out.empty()) out += '\\';
        out += part;
    }
    return out;
}

struct NamespacePath {
    std::string host, nspace;
};

const xmlNode* needChild(const xmlNode* n, std::string_view name) {
    const xmlNode* c = xml::firstChild(n, name);
    if (!c) fail(n, "the element " + std::string(name) + " is missing");
    return c;
}

NamespacePath namespacePathOf(const xmlNode* n) {
    NamespacePath out;
    const xmlNode* host = xml::firstChild(n, "HOST");
    if (host) {
        std::string h(trimmed(xml::text(host)));
        // A WMI path has no place for a port, and a ':' would end the namespace.
        size_t colon = h.rfind(':');
        if (colon != std::string::npos && h.find(':') == colon && colon + 1 < h.size() &&
            h.find_first_not_of("0123456789", colon + 1) == std::string::npos)
            h.erase(colon);
        if (h.find_first_of("\\/\": \t\r\n") != std::string::npos)
            fail(host, "'" + clipped(h) + "' is not a host name");
        out.host = std::move(h);
    }
    out.nspace = localNamespaceText(needChild(n, "LOCALNAMESPACEPATH"));
    return out;
}

std::string joined(const std::string& host, const std::string& nspace, const std::string& rel) {
    if (nspace.empty()) return rel;
    if (host.empty()) return nspace + ":" + rel;
    return fullPath(host, nspace, rel);
}

std::string referenceText(const xmlNode* n, int depth) {
    if (depth > kMaxReferenceNesting) fail(n, "references are nested too deeply");
    std::string_view element = xml::localName(n);
    if (element == "VALUE.REFERENCE") {
        const xmlNode* inner = xml::firstChild(n);
        if (!inner) fail(n, "an empty reference");
        return referenceText(inner, depth);
    }
    if (element == "INSTANCEPATH") {
        NamespacePath ns = namespacePathOf(needChild(n, "NAMESPACEPATH"));
        return joined(ns.host, ns.nspace, instanceNameText(needChild(n, "INSTANCENAME"), depth));
    }
    if (element == "LOCALINSTANCEPATH") {
        return joined({}, localNamespaceText(needChild(n, "LOCALNAMESPACEPATH")),
                      instanceNameText(needChild(n, "INSTANCENAME"), depth));
    }
    if (element == "INSTANCENAME") return instanceNameText(n, depth);
    if (element == "CLASSPATH") {
        NamespacePath ns = namespacePathOf(needChild(n, "NAMESPACEPATH"));
        return joined(ns.host, ns.nspace, requiredName(needChild(n, "CLASSNAME"), "NAME"));
    }
    if (element == "LOCALCLASSPATH") {
        return joined({}, localNamespaceText(needChild(n, "LOCALNAMESPACEPATH")),
                      requiredName(needChild(n, "CLASSNAME"), "NAME"));
    }
    if (element == "CLASSNAME") return requiredName(n, "NAME");
    fail(n, "not a reference");
}

// ---- scalars

[[noreturn]] void notA(std::string_view text, CimType type) {
    throw XmlError("'" + clipped(text) + "' is not a valid " + std::string(cimTypeName(type)) +
                   " value");
}

[[noreturn]] void outOfRange(std::string_view text, CimType type) {
    throw XmlError("'" + clipped(text) + "' is out of range for " + std::string(cimTypeName(type)));
}

// The shared readers' faults in this reader's words.
CimValue scalarOrFail(ScalarRead r, std::string_view text, CimType type) {
    if (r.fault == TextFault::NotA) notA(text, type);
    if (r.fault == TextFault::OutOfRange) outOfRange(text, type);
    return std::move(r.value);
}

CimValue integerOf(std::string_view text, CimType type) {
    return scalarOrFail(readInteger(text, type), text, type);
}

CimValue realOf(std::string_view text, CimType type) {
    return scalarOrFail(readReal(text, type), text, type);
}

CimValue char16Of(std::string_view text) {
    auto cp = singleCodePoint(text);
    if (!cp) cp = singleCodePoint(trimmed(text));  // a blank is a character too
    if (!cp) notA(text, CimType::Char16);
    if (*cp > 0xFFFF) outOfRange(text, CimType::Char16);
    return CimValue::uint(*cp);
}

}  // namespace

std::shared_ptr<const ClassDef> readClass(const xmlNode* classElement) {
    return classAt(classElement, Reader{});
}

std::shared_ptr<const Instance> readInstance(const xmlNode* instanceElement,
                                             const ClassLookup& lookup) {
    return instanceAt(instanceElement, Reader{&lookup, 0});
}

CimValue readValue(const xmlNode* valueElement, const CimTypeDecl& type) {
    return valueOf(valueElement, type, Reader{});
}

std::string readReference(const xmlNode* element) { return referenceText(element, 0); }

CimValue parseScalar(std::string_view text, CimType type) {
    switch (type) {
        case CimType::String:
            return CimValue::string(std::string(text));
        case CimType::DateTime:
        case CimType::Reference:
            return CimValue::string(std::string(trimmed(text)));
        case CimType::Boolean: {
            std::string_view t = trimmed(text);
            if (iequals(t, "true")) return CimValue::boolean(true);
            if (iequals(t, "false")) return CimValue::boolean(false);
            notA(text, type);
        }
        case CimType::Char16:
            return char16Of(text);
        case CimType::Real32:
        case CimType::Real64:
            return realOf(text, type);
        case CimType::Object:
            return embeddedObject(text, Reader{});
        default:
            return integerOf(text, type);
    }
}

}  // namespace wbem::cimxml
