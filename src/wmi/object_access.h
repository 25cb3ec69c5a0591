// Reading single objects and their associations by path, for the windows that
// open a query's row or an instance as an object. Every call connects anew,
// as TWMI does, and reports failure as false plus wmi.LastError ("Error: ...").
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "wmi/bw_wmi.h"

namespace wmi {

// The objects a query returns, each with its path and the values of the
// named properties rendered in wmi.CodePage as RunQuery renders them (an
// absent property gives ""). rows[i] has one cell per name.
bool QueryObjectPaths(TWMI& wmi, std::string_view query, const TextList& names,
                      std::vector<TextList>& rows, TextList& paths);

// One object: its full path, and its properties' names and values rendered
// in wmi.CodePage.
struct ObjectValues {
    std::string path;
    std::string className;
    TextList names;
    TextList values;
};
bool ReadObject(TWMI& wmi, std::string_view path, ObjectValues& out);

// The path of the instance at a position of the class's instance enumeration.
bool InstancePathAt(TWMI& wmi, std::string_view className, int32_t position, std::string& path);

// An association instance and its references (property name, path as given).
struct AssociationObject {
    std::string className;
    std::string path;
    std::vector<std::pair<std::string, std::string>> references;
};
// REFERENCES OF {path}.
bool ReferencesOf(TWMI& wmi, std::string_view path, std::vector<AssociationObject>& out);
// The paths of ASSOCIATORS OF {path}, in the order they come.
bool AssociatorsOf(TWMI& wmi, std::string_view path, TextList& paths);

}  // namespace wmi
