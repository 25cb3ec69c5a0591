#include "wmi/property_details.h"

#include <cstdio>
#include <ctime>
#include <exception>
#include <memory>
#include <unordered_map>

#include "wbem/providers/cim_datetime.h"
#include "wbem/repository/datetime_text.h"
#include "wbem/text.h"
#include "wmi/bw_variant.h"
#include "wmi/object_access.h"

namespace wmi {

namespace {

using wbem::CimType;
using wbem::Variant;
using wbem::VarType;

// Texts of the details are UTF-8 whatever the connection's code page.
constexpr int32_t kUtf8 = 65001;

std::string twoDigits(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

std::string scalarText(const Variant& value, CimType type) {
    if (value.isNull() || value.isEmpty()) return "NULL";
    if (value.type() == VarType::Object) {
        if (!value.asObject()) return "NULL";
        std::string text = value.asObject()->GetObjectText_(0);
        while (!text.empty() && (text.front() == '\n' || text.front() == '\r')) text.erase(0, 1);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        return text;
    }
    if (value.type() == VarType::String) {
        const std::string& s = value.asString();
        if (type != CimType::DateTime) return s;
        if (auto seconds = DateTimeSeconds(s))
            return s + " (" + LocalDateTimeText(*seconds) + " local time)";
        if (auto interval = IntervalText(s)) return s + " (" + *interval + ")";
        return s;
    }
    return RenderValue(value, kUtf8);
}

std::string qualifierText(wbem::ISWbemQualifierSet& set, std::string_view name) {
    try {
        return QualifierValueText(set.Item(name)->Value());
    } catch (const wbem::WbemError&) {
        return {};
    }
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && wbem::iequals(text.substr(0, prefix.size()), prefix);
}

bool isTrue(const Variant& v) { return !v.isArray() && v.type() == VarType::Bool && v.asBool(); }

}  // namespace

const PropertyDetails* ObjectDetails::find(std::string_view name) const {
    for (const auto& p : properties)
        if (wbem::iequals(p.name, name)) return &p;
    return nullptr;
}

std::string PropertyTypeText(CimType type, bool isArray, std::string_view cimtype) {
    std::string out;
    const bool named = (type == CimType::Reference && startsWithIgnoringCase(cimtype, "ref")) ||
                       (type == CimType::Object && startsWithIgnoringCase(cimtype, "object"));
    out = named ? std::string(cimtype) : std::string(wbem::cimTypeName(type));
    if (isArray) out += "[]";
    return out;
}

std::string FlavorText(const wbem::ISWbemQualifier& q) {
    std::string out;
    auto add = [&out](const char* word) {
        if (!out.empty()) out += ", ";
        out += word;
    };
    add(q.PropagatesToSubclass() ? "ToSubclass" : "Restricted");
    if (q.PropagatesToInstance()) add("ToInstance");
    if (!q.IsOverridable()) add("DisableOverride");
    if (q.IsAmended()) add("Amended");
    if (!q.IsLocal()) add("propagated");
    return out;
}

std::string QualifierValueText(const Variant& value) {
    if (!value.isArray()) {
        if (value.isNull() || value.isEmpty()) return {};
        return RenderValue(value, kUtf8);
    }
    std::string out = "{";
    for (const Variant& e : value.asArray().elements) {
        if (out.size() > 1) out += ", ";
        out += RenderValue(e, kUtf8);
    }
    return out + "}";
}

std::optional<int64_t> DateTimeSeconds(std::string_view cim) {
    const auto d = wbem::readCimDateTime(cim);
    if (!d || d->interval || !d->complete()) return std::nullopt;
    const auto midnight = wbem::civilToEpoch(*d->year, *d->month, *d->day);
    if (!midnight) return std::nullopt;
    return *midnight + *d->hour * 3600 + *d->minute * 60 + *d->second - *d->offsetMinutes * 60;
}

std::optional<std::string> IntervalText(std::string_view cim) {
    const auto d = wbem::readCimDateTime(cim);
    if (!d || !d->interval || !d->complete()) return std::nullopt;
    return std::to_string(*d->days) + (*d->days == 1 ? " day " : " days ") + twoDigits(*d->hour) +
           ":" + twoDigits(*d->minute) + ":" + twoDigits(*d->second) + "." +
           std::string(cim.substr(15, 6));
}

std::string LocalDateTimeText(int64_t epochSeconds) {
    const std::time_t t = static_cast<std::time_t>(epochSeconds);
    std::tm local{};
    if (!localtime_r(&t, &local)) return {};
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
    return buf;
}

std::string DetailValueText(const Variant& value, CimType type) {
    if (!value.isArray()) return scalarText(value, type);
    const auto& elements = value.asArray().elements;
    if (elements.empty()) return "no elements";
    const int32_t lower = value.asArray().bounds.empty() ? 0 : value.asArray().bounds[0].lower;
    std::string out;
    for (size_t i = 0; i < elements.size(); ++i) {
        if (i) out += '\n';
        out += "[" + std::to_string(lower + int64_t(i)) + "] " + scalarText(elements[i], type);
    }
    return out;
}

PropertyDetails DescribeProperty(wbem::ISWbemProperty& property, wbem::ISWbemProperty* declared) {
    PropertyDetails out;
    out.name = property.Name();
    auto qualifiers = (declared ? *declared : property).Qualifiers_();
    std::string walkError;
    auto walk = qualifiers->NewEnum();
    std::shared_ptr<wbem::ISWbemQualifier> q;
    while (NextObject(*walk, q, walkError)) {
        const Variant v = q->Value();
        if (wbem::iequals(q->Name(), "key")) out.isKey = isTrue(v);
        if (wbem::iequals(q->Name(), "Description")) out.description = QualifierValueText(v);
        out.qualifiers.push_back({q->Name(), QualifierValueText(v), FlavorText(*q)});
    }
    ThrowIfBroken(walkError);
    out.type = PropertyTypeText(property.CIMType(), property.IsArray(),
                                qualifierText(*qualifiers, "CIMTYPE"));
    out.value = DetailValueText(property.Value(), property.CIMType());
    return out;
}

std::string DetailsPaneText(const PropertyDetails& d) {
    std::string out = d.name + "\nType: " + d.type + "\nKey: " + (d.isKey ? "yes" : "no") + "\n";
    if (!d.description.empty()) out += "\nDescription:\n" + d.description + "\n";
    if (!d.qualifiers.empty()) {
        out += "\nQualifiers:\n";
        for (const auto& q : d.qualifiers) {
            out += "  " + q.name;
            // The description is shown whole above.
            if (!q.value.empty() && !wbem::iequals(q.name, "Description")) out += " = " + q.value;
            out += "  (" + q.flavors + ")\n";
        }
    }
    return out + "\nValue:\n" + d.value;
}

ObjectDetails DescribeObject(wbem::ISWbemObject& object, wbem::ISWbemObject* cls) {
    ObjectDetails out;
    out.mofText = object.GetObjectText_(0);
    // The class's declarations by name, read once: an instance's properties
    // take their qualifiers from there, and one not declared keeps its own.
    std::unordered_map<std::string, std::shared_ptr<wbem::ISWbemProperty>> declared;
    std::string walkError;
    std::shared_ptr<wbem::ISWbemProperty> prop;
    if (cls) {
        auto decls = cls->Properties_()->NewEnum();
        while (NextObject(*decls, prop, walkError))
            declared.emplace(wbem::lowered(prop->Name()), prop);
        ThrowIfBroken(walkError);
    }
    auto props = object.Properties_()->NewEnum();
    while (NextObject(*props, prop, walkError)) {
        const auto found = declared.find(wbem::lowered(prop->Name()));
        out.properties.push_back(
            DescribeProperty(*prop, found == declared.end() ? nullptr : found->second.get()));
    }
    ThrowIfBroken(walkError);
    return out;
}

bool ClassDetails(TWMI& wmi, std::string_view className, TextList& names, ObjectDetails& details) {
    wmi.LastError.clear();
    names.clear();
    details = {};
    try {
        auto cls = wmi.OpenServices()->Get(className, 0);
        details = DescribeObject(*cls, nullptr);
        for (const auto& p : details.properties) names.push_back(p.name);
        return true;
    } catch (const std::exception& e) {
        names.clear();
        details = {};
        wmi.LastError = e.what();
        return false;
    }
}

bool InstanceDetails(TWMI& wmi, std::string_view path, ObjectDetails& details) {
    wmi.LastError.clear();
    details = {};
    try {
        auto services = wmi.OpenServices();
        auto obj = ObjectAt(*services, path);
        auto cls = services->Get(obj->Path_()->Class(), 0);
        details = DescribeObject(*obj, cls.get());
        return true;
    } catch (const std::exception& e) {
        details = {};
        wmi.LastError = e.what();
        return false;
    }
}

bool ObjectMofText(TWMI& wmi, std::string_view path, std::string& text) {
    wmi.LastError.clear();
    text.clear();
    try {
        text = ObjectAt(*wmi.OpenServices(), path)->GetObjectText_(0);
        return true;
    } catch (const std::exception& e) {
        wmi.LastError = e.what();
        return false;
    }
}

}  // namespace wmi
