#include "system_properties.h"

#include "../text.h"

namespace wbem {

const std::vector<std::string>& systemPropertyNames() {
    static const std::vector<std::string> names = {
        "__GENUS",          "__CLASS",      "__SUPERCLASS", "__DYNASTY",   "__RELPATH",
        "__PROPERTY_COUNT", "__DERIVATION", "__SERVER",     "__NAMESPACE", "__PATH"};
    return names;
}

bool isSystemPropertyName(std::string_view name) {
    for (const auto& n : systemPropertyNames())
        if (iequals(n, name)) return true;
    return false;
}

CimTypeDecl systemPropertyType(std::string_view name) {
    CimTypeDecl t;
    if (iequals(name, "__GENUS") || iequals(name, "__PROPERTY_COUNT")) {
        t.type = CimType::SInt32;
    } else if (iequals(name, "__DERIVATION")) {
        t.isArray = true;
    }
    return t;
}

std::optional<CimValue> systemProperty(std::string_view name, const ClassDef& cls,
                                       const Instance* inst, const ObjectContext& ctx,
                                       int propertyCount) {
    auto stringOrNull = [](const std::string& s) {
        return s.empty() ? CimValue() : CimValue::string(s);
    };
    auto relPath = [&]() { return inst ? relPathOf(*inst) : cls.name; };
    if (iequals(name, "__GENUS")) return CimValue::sint(inst ? 2 : 1);
    if (iequals(name, "__CLASS")) return CimValue::string(cls.name);
    if (iequals(name, "__SUPERCLASS")) return stringOrNull(cls.superclass);
    if (iequals(name, "__DYNASTY")) return CimValue::string(cls.dynasty());
    if (iequals(name, "__RELPATH")) return stringOrNull(relPath());
    if (iequals(name, "__PROPERTY_COUNT")) return CimValue::sint(propertyCount);
    if (iequals(name, "__DERIVATION")) {
        CimValue::Array a;
        for (const auto& d : cls.derivation) a.push_back(CimValue::string(d));
        return CimValue::array(std::move(a));
    }
    if (iequals(name, "__SERVER")) return stringOrNull(ctx.server);
    if (iequals(name, "__NAMESPACE")) return stringOrNull(ctx.nspace);
    if (iequals(name, "__PATH")) return stringOrNull(fullPath(ctx.server, ctx.nspace, relPath()));
    return std::nullopt;
}

}  // namespace wbem
