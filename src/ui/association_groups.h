// How the associations window groups an object's associations: by the
// association's class and the role (the reference property) in which it names
// the object. Needs no window.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "wmi/object_access.h"

namespace ui {

struct AssociationGroup {
    std::string assocClass;  // empty for objects no reference accounts for
    std::string role;
    // (the entry's role, its path): for associated objects the reference
    // property that names the object at the other end, for references the
    // association's own path with an empty role.
    std::vector<std::pair<std::string, std::string>> entries;
};

// Whether two object paths name the same object (WMI's rules: class, key
// names and string values without regard to case; server and namespace only
// when both carry them). Malformed paths name nothing.
bool samePathText(std::string_view a, std::string_view b);

// The path without its server and namespace: Class.Key="v" of
// \\HOST\root\cimv2:Class.Key="v".
std::string relativePath(std::string_view path);

// The associated objects (ASSOCIATORS OF) grouped by the references
// (REFERENCES OF) that lead to them, groups in the order of their first
// association; an object twice in one group is listed once. Associated objects
// no reference leads to come last, in a group without class and role.
std::vector<AssociationGroup> groupAssociators(std::string_view source,
                                               const std::vector<wmi::AssociationObject>& refs,
                                               const std::vector<std::string>& associators);

// The associations (REFERENCES OF) grouped by class and role.
std::vector<AssociationGroup> groupReferences(std::string_view source,
                                              const std::vector<wmi::AssociationObject>& refs);

}  // namespace ui
