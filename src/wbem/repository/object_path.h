// WMI object paths: [\\server\namespace:]Class[.Key=value[,Key=value]] | Class=@
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wbem {

struct PathKey {
    std::string name;   // empty for the unnamed form Class="value"
    std::string value;  // text without quotes, escapes resolved
    bool quoted = false;
};

struct ObjectPath {
    std::string server;
    std::string nspace;
    std::string className;
    std::vector<PathKey> keys;
    bool singleton = false;

    bool isClass() const { return keys.empty() && !singleton; }
};

// Throws WbemError(InvalidParameter) for a malformed path.
ObjectPath parseObjectPath(std::string_view text);

// Value as it appears in a path: numbers bare, strings in double quotes with
// backslash and double quote escaped.
std::string pathValue(std::string_view text, bool quoted);
// The same, appended to out.
void appendPathValue(std::string& out, std::string_view text, bool quoted);

// Two paths name the same object: same class and keys (names and string
// values ignore case, as WMI compares them); server and namespace are compared
// only when both paths carry them.
bool samePath(const ObjectPath& a, const ObjectPath& b);

}  // namespace wbem
