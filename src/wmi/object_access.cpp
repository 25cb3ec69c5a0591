#include "wmi/object_access.h"

#include <exception>
#include <stdexcept>

#include "wbem/text.h"
#include "wmi/bw_variant.h"

namespace wmi {

namespace {

using ObjectPtr = std::shared_ptr<wbem::ISWbemObject>;
using PropertyPtr = std::shared_ptr<wbem::ISWbemProperty>;

std::string errorText(const char* message) { return std::string("Error: ") + message; }

bool failed(TWMI& wmi, const std::exception& e) {
    wmi.LastError = errorText(e.what());
    return false;
}

// The objects of a query, walked to the end; a walk that breaks down throws.
template <class Visit>
void eachObject(wbem::ISWbemObjectSet& set, Visit visit) {
    auto objects = set.NewEnum();
    std::string walkError;
    ObjectPtr obj;
    while (NextObject(*objects, obj, walkError)) visit(*obj);
    ThrowIfBroken(walkError);
}

template <class Visit>
void eachProperty(wbem::ISWbemObject& obj, Visit visit) {
    auto props = obj.Properties_()->NewEnum();
    std::string walkError;
    PropertyPtr prop;
    while (NextObject(*props, prop, walkError)) visit(*prop);
    ThrowIfBroken(walkError);
}

std::string quotedPath(std::string_view path) { return "{" + std::string(path) + "}"; }

}  // namespace

const char* const NoPathText =
    "The instance has no object path, so it cannot be read again on its own.";

std::string NoPathError() { return errorText(NoPathText); }

bool QueryObjectPaths(TWMI& wmi, std::string_view query, const TextList& names,
                      std::vector<TextList>& rows, TextList& paths) {
    wmi.LastError.clear();
    rows.clear();
    paths.clear();
    try {
        auto set = wmi.OpenServices()->ExecQuery(query, "WQL", 0);
        eachObject(*set, [&](wbem::ISWbemObject& obj) {
            TextList cells(names.size());
            eachProperty(obj, [&](wbem::ISWbemProperty& prop) {
                const std::string name = prop.Name();
                for (size_t c = 0; c < names.size(); ++c)
                    if (wbem::iequals(names[c], name))
                        cells[c] = RenderValue(prop.Value(), wmi.CodePage);
            });
            rows.push_back(std::move(cells));
            paths.push_back(obj.Path_()->Path());
        });
        return true;
    } catch (const std::exception& e) {
        return failed(wmi, e);
    }
}

bool ReadObject(TWMI& wmi, std::string_view path, ObjectValues& out) {
    wmi.LastError.clear();
    out = ObjectValues{};
    try {
        auto obj = ObjectAt(*wmi.OpenServices(), path);
        auto objPath = obj->Path_();
        out.path = objPath->Path();
        out.className = objPath->Class();
        eachProperty(*obj, [&](wbem::ISWbemProperty& prop) {
            out.names.push_back(prop.Name());
            out.values.push_back(RenderValue(prop.Value(), wmi.CodePage));
        });
        return true;
    } catch (const std::exception& e) {
        return failed(wmi, e);
    }
}

std::shared_ptr<wbem::ISWbemObject> ObjectAt(wbem::ISWbemServices& services,
                                             std::string_view path) {
    if (Trimmed(path).empty()) throw std::runtime_error(NoPathText);
    return services.Get(path, 0);
}

bool InstanceValues(TWMI& wmi, std::string_view path, TextList* names, TextList* values) {
    wmi.LastError.clear();
    if (names) names->clear();
    if (values) values->clear();
    try {
        auto obj = ObjectAt(*wmi.OpenServices(), path);
        eachProperty(*obj, [&](wbem::ISWbemProperty& prop) {
            if (names) names->push_back(prop.Name());
            if (values) values->push_back(RenderValue(prop.Value(), LocalCodePage()));
        });
        return true;
    } catch (const std::exception& e) {
        return failed(wmi, e);
    }
}

bool ReferencesOf(TWMI& wmi, std::string_view path, std::vector<AssociationObject>& out) {
    wmi.LastError.clear();
    out.clear();
    try {
        auto set = wmi.OpenServices()->ExecQuery("REFERENCES OF " + quotedPath(path), "WQL", 0);
        eachObject(*set, [&](wbem::ISWbemObject& obj) {
            AssociationObject a;
            auto objPath = obj.Path_();
            a.className = objPath->Class();
            a.path = objPath->Path();
            eachProperty(obj, [&](wbem::ISWbemProperty& prop) {
                const wbem::Variant value = prop.Value();
                if (prop.CIMType() == wbem::CimType::Reference && !prop.IsArray() &&
                    value.type() == wbem::VarType::String && !value.isArray())
                    a.references.emplace_back(prop.Name(), value.asString());
            });
            out.push_back(std::move(a));
        });
        return true;
    } catch (const std::exception& e) {
        return failed(wmi, e);
    }
}

bool AssociatorsOf(TWMI& wmi, std::string_view path, TextList& paths) {
    wmi.LastError.clear();
    paths.clear();
    try {
        auto set = wmi.OpenServices()->ExecQuery("ASSOCIATORS OF " + quotedPath(path), "WQL", 0);
        eachObject(*set, [&](wbem::ISWbemObject& obj) { paths.push_back(obj.Path_()->Path()); });
        return true;
    } catch (const std::exception& e) {
        return failed(wmi, e);
    }
}

}  // namespace wmi
