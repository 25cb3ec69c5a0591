#include "wmi/method_call.h"

#include "wbem/repository/object_path.h"
#include "wbem/repository/value_text.h"
#include "wbem/text.h"
#include "wmi/bw_variant.h"
#include "wmi/property_details.h"

namespace wmi {

namespace {

using wbem::hr::InvalidMethod;

[[noreturn]] void refuse(wbem::HResult code, const std::string& reason) {
    wbem::fail(code, wbem::describeWithReason(code, reason));
}

std::optional<wbem::Variant> qualifierValue(wbem::ISWbemQualifierSet& set, std::string_view name) {
    try {
        return set.Item(name)->Value();
    } catch (const wbem::WbemError&) {
        return std::nullopt;
    }
}

std::vector<std::string> stringsOf(const wbem::Variant& v) {
    std::vector<std::string> out;
    if (!v.isArray()) return out;
    for (const auto& e : v.asArray().elements)
        out.push_back(e.type() == wbem::VarType::String ? e.asString() : std::string());
    return out;
}

std::vector<MethodParameter> parametersOf(const std::shared_ptr<wbem::ISWbemObject>& params,
                                          bool skipReturnValue) {
    std::vector<MethodParameter> out;
    if (!params) return out;
    auto e = params->Properties_()->NewEnum();
    std::shared_ptr<wbem::ISWbemProperty> p;
    std::string broken;
    while (NextObject(*e, p, broken)) {
        if (skipReturnValue && wbem::iequals(p->Name(), "ReturnValue")) continue;
        const PropertyDetails d = DescribeProperty(*p);
        MethodParameter m;
        m.name = p->Name();
        m.type.type = p->CIMType();
        m.type.isArray = p->IsArray();
        m.typeText = d.type;
        m.description = d.description;
        out.push_back(std::move(m));
    }
    ThrowIfBroken(broken);
    return out;
}

}  // namespace

const MethodParameter* MethodSignature::findIn(std::string_view name) const {
    for (const auto& p : in)
        if (wbem::iequals(p.name, name)) return &p;
    return nullptr;
}

MethodSignature DescribeMethod(wbem::ISWbemServices& services, std::string_view className,
                               std::string_view method) {
    auto cls = services.Get(className);
    std::shared_ptr<wbem::ISWbemMethod> m;
    try {
        m = cls->Methods_()->Item(wbem::trimmed(method));
    } catch (const wbem::WbemError& e) {
        if (e.code() != wbem::hr::NotFound) throw;
        refuse(InvalidMethod, cls->Path_()->Class() + " has no method " +
                                  std::string(wbem::trimmed(method)) + ".");
    }
    MethodSignature s;
    s.className = cls->Path_()->Class();
    s.name = m->Name();
    auto qualifiers = m->Qualifiers_();
    if (auto v = qualifierValue(*qualifiers, "Static"))
        s.isStatic = !v->isArray() && v->type() == wbem::VarType::Bool && v->asBool();
    auto map = qualifierValue(*qualifiers, "ValueMap");
    auto values = qualifierValue(*qualifiers, "Values");
    if (map && values) {
        const auto keys = stringsOf(*map), texts = stringsOf(*values);
        for (size_t i = 0; i < keys.size() && i < texts.size(); ++i)
            s.returnMeanings.emplace_back(keys[i], texts[i]);
    }
    s.in = parametersOf(m->InParameters(), false);
    s.out = parametersOf(m->OutParameters(), true);
    return s;
}

MethodArguments CheckArguments(const MethodSignature& signature, const MethodArguments& given) {
    wbem::MethodDef declared;
    declared.name = signature.name;
    declared.parameters.reserve(signature.in.size());
    for (const MethodParameter& p : signature.in) {
        wbem::ParameterDef& d = declared.parameters.emplace_back();
        d.name = p.name;
        d.type = p.type;
        d.in = true;
    }
    const wbem::TypedArguments typed = wbem::readArguments(declared, given);
    // The texts go to the service as typed, under their declared names.
    MethodArguments out;
    out.reserve(typed.size());
    for (size_t i = 0; i < typed.size(); ++i) out.emplace_back(typed[i].first, given[i].second);
    return out;
}

std::string ClassOfPath(std::string_view path) { return wbem::parseObjectPath(path).className; }

std::string ReturnMeaning(const MethodSignature& signature, std::string_view returnValue) {
    for (const auto& [key, text] : signature.returnMeanings)
        if (key == returnValue) return text;
    // ".." stands for every value the map leaves out.
    for (const auto& [key, text] : signature.returnMeanings)
        if (key == "..") return text;
    return {};
}

MethodOutcome RunMethod(wbem::ISWbemServices& services, std::string_view path,
                        const MethodSignature& signature, const MethodArguments& arguments,
                        int32_t codePage) {
    const MethodArguments checked = CheckArguments(signature, arguments);
    if (!signature.isStatic && wbem::parseObjectPath(path).isClass())
        refuse(InvalidMethod, signature.name + " runs on an instance of " + signature.className +
                                  ": give an instance's path, not the class.");
    auto result = services.ExecMethod(path, signature.name, checked);
    MethodOutcome outcome;
    if (!result) return outcome;
    auto e = result->Properties_()->NewEnum();
    std::shared_ptr<wbem::ISWbemProperty> p;
    std::string broken;
    while (NextObject(*e, p, broken)) {
        std::string text = RenderValue(p->Value(), codePage);
        if (wbem::iequals(p->Name(), "ReturnValue"))
            outcome.returnValue = std::move(text);
        else
            outcome.out.emplace_back(p->Name(), std::move(text));
    }
    ThrowIfBroken(broken);
    if (outcome.returnValue) outcome.returnMeaning = ReturnMeaning(signature, *outcome.returnValue);
    return outcome;
}

std::string OutcomeText(const MethodOutcome& outcome) {
    std::string text;
    for (const auto& [name, value] : outcome.out) text += name + " = " + value + "\n";
    if (outcome.returnValue) {
        text += "ReturnValue = " + *outcome.returnValue;
        if (!outcome.returnMeaning.empty()) text += " (" + outcome.returnMeaning + ")";
        text += "\n";
    }
    return text;
}

}  // namespace wmi
