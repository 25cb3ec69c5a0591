#include "ui/association_groups.h"

#include <optional>

#include "wbem/errors.h"
#include "wbem/repository/object_path.h"
#include "wbem/text.h"

namespace ui {

namespace {

std::optional<wbem::ObjectPath> parsed(std::string_view text) {
    try {
        return wbem::parseObjectPath(text);
    } catch (const wbem::WbemError&) {
        return std::nullopt;
    }
}

// The references of `a` that name the source: the roles it plays there.
std::vector<size_t> rolesOf(const wbem::ObjectPath& source, const wmi::AssociationObject& a) {
    std::vector<size_t> roles;
    for (size_t i = 0; i < a.references.size(); ++i) {
        const auto p = parsed(a.references[i].second);
        if (p && wbem::samePath(*p, source)) roles.push_back(i);
    }
    return roles;
}

AssociationGroup& groupFor(std::vector<AssociationGroup>& groups, const std::string& assocClass,
                           const std::string& role) {
    for (auto& g : groups)
        if (wbem::iequals(g.assocClass, assocClass) && wbem::iequals(g.role, role)) return g;
    groups.push_back(AssociationGroup{assocClass, role, {}});
    return groups.back();
}

// Paths in one answer of the service name one object in one spelling.
void addOnce(AssociationGroup& group, const std::string& role, const std::string& path) {
    for (const auto& e : group.entries)
        if (wbem::iequals(e.first, role) && e.second == path) return;
    group.entries.emplace_back(role, path);
}

}  // namespace

bool samePathText(std::string_view a, std::string_view b) {
    const auto pa = parsed(a);
    const auto pb = parsed(b);
    return pa && pb && wbem::samePath(*pa, *pb);
}

std::string relativePath(std::string_view path) {
    // The namespace ends at the first colon before any quoted key value.
    const size_t colon = path.substr(0, path.find('"')).find(':');
    return std::string(colon == std::string_view::npos ? path : path.substr(colon + 1));
}

std::vector<AssociationGroup> groupAssociators(std::string_view source,
                                               const std::vector<wmi::AssociationObject>& refs,
                                               const std::vector<std::string>& associators) {
    std::vector<AssociationGroup> groups;
    std::vector<bool> placed(associators.size(), false);
    std::vector<std::optional<wbem::ObjectPath>> ends;
    ends.reserve(associators.size());
    for (const auto& path : associators) ends.push_back(parsed(path));
    if (const auto src = parsed(source)) {
        for (const auto& a : refs) {
            for (size_t role : rolesOf(*src, a)) {
                for (size_t i = 0; i < a.references.size(); ++i) {
                    if (i == role) continue;
                    const auto end = parsed(a.references[i].second);
                    if (!end) continue;
                    // Only what the service answers as associated: a dangling
                    // reference leads nowhere.
                    for (size_t k = 0; k < associators.size(); ++k) {
                        if (!ends[k] || !wbem::samePath(*ends[k], *end)) continue;
                        placed[k] = true;
                        addOnce(groupFor(groups, a.className, a.references[role].first),
                                a.references[i].first, associators[k]);
                    }
                }
            }
        }
    }
    for (size_t k = 0; k < associators.size(); ++k)
        if (!placed[k]) addOnce(groupFor(groups, {}, {}), {}, associators[k]);
    return groups;
}

std::vector<AssociationGroup> groupReferences(std::string_view source,
                                              const std::vector<wmi::AssociationObject>& refs) {
    std::vector<AssociationGroup> groups;
    const auto src = parsed(source);
    for (const auto& a : refs) {
        const std::vector<size_t> roles = src ? rolesOf(*src, a) : std::vector<size_t>{};
        if (roles.empty()) {
            addOnce(groupFor(groups, a.className, {}), {}, a.path);
            continue;
        }
        for (size_t role : roles)
            addOnce(groupFor(groups, a.className, a.references[role].first), {}, a.path);
    }
    return groups;
}

}  // namespace ui
