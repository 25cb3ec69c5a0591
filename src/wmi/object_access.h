// Reading single objects and their associations by path, for the windows that
// open a query's row or an instance as an object: never by a position in an
// enumeration, which the objects may have left since. Every call connects anew,
// as TWMI does, and reports failure as false plus wmi.LastError ("Error: ...").
#pragma once

#include <memory>
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

// The object a path names, read with one GetObject: the one way the windows
// read an instance or class again. An empty path names no object (an instance
// listed without one); it throws with NoPathText rather than being handed on.
// Throws as the object model does.
std::shared_ptr<wbem::ISWbemObject> ObjectAt(wbem::ISWbemServices& services, std::string_view path);
extern const char* const NoPathText;
// The reads' error for such a path, for a command that refuses it before reading.
std::string NoPathError();

// Names and values (rendered in LocalCodePage) of the object a path names, as
// the properties grid shows an instance; either list may be null. False with
// LastError "Error: ..." on failure.
bool InstanceValues(TWMI& wmi, std::string_view path, TextList* names, TextList* values);

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
