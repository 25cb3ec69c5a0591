// Objects as MOF text, the form GetObjectText_ returns.
#include <algorithm>

#include "objects.h"
#include "wbem/text.h"

namespace wbem::service {

namespace {

std::string valueText(const CimValue& v, const CimTypeDecl& type, int depth);

std::string scalarText(const CimValue& v, CimType type, int depth) {
    if (v.kind() == CimValue::Kind::Object) {
        if (!v.asObject()) return "NULL";
        std::string out = "\n";
        std::string pad(size_t(depth), '\t');
        out += pad + "instance of " + v.asObject()->cls().name + "\n" + pad + "{\n";
        const ClassDef& cls = v.asObject()->cls();
        for (int slot : cls.alphabetical) {
            const CimValue& pv = v.asObject()->value(slot);
            if (pv.isNull()) continue;
            const auto& def = cls.properties[size_t(slot)];
            out += pad + "\t" + def.name + " = " + valueText(pv, def.type, depth + 1) + ";\n";
        }
        out += pad + "}";
        return out;
    }
    // 64-bit integers travel as strings, and WMI writes them quoted.
    if (type == CimType::SInt64 || type == CimType::UInt64)
        return "\"" + mofLiteral(v, type) + "\"";
    return mofLiteral(v, type);
}

std::string valueText(const CimValue& v, const CimTypeDecl& type, int depth) {
    if (v.kind() != CimValue::Kind::Array) return scalarText(v, type.type, depth);
    std::string out = "{";
    bool first = true;
    for (const auto& e : v.asArray()) {
        if (!first) out += ", ";
        first = false;
        out += scalarText(e, type.type, depth);
    }
    return out + "}";
}

std::string qualifierText(const std::vector<Qualifier>& list) {
    std::string out;
    for (const auto& q : list) {
        if (q.propagated) continue;
        out += out.empty() ? "[" : ", ";
        out += q.name;
        bool plainTrue = q.value.kind() == CimValue::Kind::Bool && q.value.asBool();
        if (!q.value.isNull() && !plainTrue) {
            CimTypeDecl t;
            t.type = q.type;
            t.isArray = q.isArray;
            std::string value = valueText(q.value, t, 0);
            out += q.value.kind() == CimValue::Kind::Array ? value : "(" + value + ")";
        }
    }
    return out.empty() ? out : out + "] ";
}

std::string typeText(const CimTypeDecl& t) {
    if (t.type == CimType::Reference) return (t.refClass.empty() ? "object" : t.refClass) + " ref";
    if (t.type == CimType::Object && !t.refClass.empty()) return "object:" + t.refClass;
    return std::string(cimTypeName(t.type));
}

std::string classText(const ClassDef& cls) {
    std::string out = "\n" + qualifierText(cls.qualifiers);
    if (!out.empty() && out.back() == ' ') out.back() = '\n';
    out += "class " + cls.name;
    if (!cls.superclass.empty()) out += " : " + cls.superclass;
    out += "\n{\n";
    for (const auto& p : cls.properties) {
        if (!iequals(p.classOrigin, cls.name)) continue;
        out += "\t" + qualifierText(p.qualifiers) + typeText(p.type) + " " + p.name;
        if (p.type.isArray) out += "[]";
        if (!p.defaultValue.isNull()) out += " = " + valueText(p.defaultValue, p.type, 1);
        out += ";\n";
    }
    for (const auto& m : cls.methods) {
        if (!iequals(m.classOrigin, cls.name)) continue;
        out += "\t" + qualifierText(m.qualifiers) + std::string(cimTypeName(m.returnType)) + " " +
               m.name + "(";
        bool first = true;
        for (const auto& p : m.parameters) {
            if (!first) out += ", ";
            first = false;
            std::string dir = p.in && p.out ? "[in, out] " : p.out ? "[out] " : "[in] ";
            out += dir + typeText(p.type) + " " + p.name + (p.type.isArray ? "[]" : "");
        }
        out += ");\n";
    }
    return out + "};\n";
}

}  // namespace

std::string objectText(const ObjectView& view) {
    if (!view.inst) return classText(*view.cls);
    std::string out = "\ninstance of " + view.cls->name + "\n{\n";
    for (int slot : view.cls->alphabetical) {
        if (view.partial && std::find(view.projection.begin(), view.projection.end(), slot) ==
                                view.projection.end())
            continue;
        const CimValue& v = view.inst->value(slot);
        if (v.isNull()) continue;
        const auto& def = view.cls->properties[size_t(slot)];
        out += "\t" + def.name + " = " + valueText(v, def.type, 1) + ";\n";
    }
    return out + "};\n";
}

}  // namespace wbem::service
