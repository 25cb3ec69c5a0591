#include "remote_services.h"

#include "wbem/repository/value_text.h"
#include "wbem/service/objects.h"
#include "wbem/text.h"

namespace wbem::remote {

std::vector<MethodArgument> methodArguments(
    const MethodDef* declared, const std::vector<std::pair<std::string, std::string>>& in) {
    const std::vector<ArgumentMatch> matches = matchArguments(declared, in);
    std::vector<MethodArgument> out;
    out.reserve(matches.size());
    for (size_t i = 0; i < matches.size(); ++i) {
        const std::string& text = in[i].second;
        MethodArgument& a = out.emplace_back();
        a.name = matches[i].name;
        a.array = matches[i].declared && matches[i].declared->type.isArray;
        if (!a.array)
            a.elements.push_back(text);
        else
            for (std::string_view e : arrayElementTexts(text)) a.elements.emplace_back(e);
    }
    return out;
}

std::shared_ptr<ISWbemObjectSet> RemoteServices::SubclassesOf(std::string_view superclass,
                                                              int32_t flags) {
    const std::string_view super = trimmed(superclass);
    const bool shallow = (flags & 1) != 0;
    std::vector<std::shared_ptr<ISWbemObject>> items;
    bool superFound = super.empty();
    for (auto& cls : allClasses()) {
        if (!super.empty()) {
            if (iequals(cls->name, super)) {
                superFound = true;
                continue;
            }
            const bool below = shallow ? iequals(cls->superclass, super) : cls->derivesFrom(super);
            if (!below) continue;
        } else if (shallow && !cls->superclass.empty()) {
            continue;
        }
        items.push_back(wrapClass(std::move(cls)));
    }
    if (!superFound && !classExists(super)) fail(hr::InvalidClass);
    return service::makeObjectSet(std::move(items));
}

std::shared_ptr<ISWbemObject> RemoteServices::Get(std::string_view path, int32_t) {
    if (trimmed(path).empty()) fail(hr::InvalidParameter);
    ObjectPath p = parseObjectPath(path);
    if (p.isClass()) return wrapClass(classDef(p.className));
    return getInstance(p);
}

std::shared_ptr<ISWbemObjectSet> RemoteServices::InstancesOf(std::string_view className,
                                                             int32_t flags) {
    const std::string name(trimmed(className));
    if (name.empty()) fail(hr::InvalidClass);
    return run("select * from " + name, flags);
}

std::shared_ptr<ISWbemObjectSet> RemoteServices::ExecQuery(std::string_view query,
                                                           std::string_view language,
                                                           int32_t flags) {
    if (!iequals(trimmed(language), "WQL")) fail(hr::InvalidQueryType);
    if (trimmed(query).empty()) fail(hr::InvalidParameter);
    return run(std::string(trimmed(query)), flags);
}

std::shared_ptr<ISWbemObject> RemoteServices::ExecMethod(
    std::string_view objectPath, std::string_view method,
    const std::vector<std::pair<std::string, std::string>>& inParameters) {
    if (trimmed(method).empty()) fail(hr::InvalidParameter);
    return invoke(parseObjectPath(objectPath), trimmed(method), inParameters);
}

}  // namespace wbem::remote
