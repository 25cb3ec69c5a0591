#include "object_path.h"

#include <algorithm>

#include "../errors.h"
#include "../text.h"

namespace wbem {

namespace {

[[noreturn]] void badPath() { fail(hr::InvalidParameter); }

bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

bool isQuote(char c) { return c == '"' || c == '\''; }

// Reads a value quoted with " or ' starting at s[i]; leaves i after the
// closing quote.
std::string readQuoted(std::string_view s, size_t& i) {
    std::string out;
    const char quote = s[i++];
    while (i < s.size()) {
        char c = s[i++];
        if (c == quote) return out;
        if (c == '\\') {
            if (i >= s.size()) badPath();
            out += s[i++];
        } else {
            out += c;
        }
    }
    badPath();
}

}  // namespace

ObjectPath parseObjectPath(std::string_view text) {
    ObjectPath p;
    std::string_view s = trimmed(text);
    if (s.empty()) badPath();
    // \\server\namespace:  or //server/namespace:
    // The namespace part ends at the first ':' that comes before any key.
    size_t colon = s.find(':');
    if (colon != std::string_view::npos &&
        s.substr(0, colon).find_first_of("=\"'") != std::string_view::npos)
        colon = std::string_view::npos;
    if (colon != std::string_view::npos) {
        std::string ns(s.substr(0, colon));
        std::replace(ns.begin(), ns.end(), '/', '\\');
        if (ns.rfind("\\\\", 0) == 0) {
            size_t end = ns.find('\\', 2);
            if (end == std::string::npos) badPath();
            p.server = ns.substr(2, end - 2);
            ns = ns.substr(end + 1);
        }
        if (ns.empty()) badPath();
        p.nspace = ns;
        s = s.substr(colon + 1);
    }
    size_t i = 0;
    while (i < s.size() && isNameChar(s[i])) ++i;
    if (i == 0) badPath();
    p.className = std::string(s.substr(0, i));
    if (i == s.size()) return p;
    if (s[i] == '=') {
        ++i;
        if (s.substr(i) == "@") {
            p.singleton = true;
            return p;
        }
        PathKey k;
        if (i < s.size() && isQuote(s[i])) {
            k.value = readQuoted(s, i);
            k.quoted = true;
        } else {
            size_t b = i;
            while (i < s.size() && s[i] != ',') ++i;
            k.value = std::string(trimmed(s.substr(b, i - b)));
        }
        if (i != s.size()) badPath();
        p.keys.push_back(std::move(k));
        return p;
    }
    if (s[i] != '.') badPath();
    ++i;
    while (true) {
        size_t b = i;
        while (i < s.size() && isNameChar(s[i])) ++i;
        if (i == b || i >= s.size() || s[i] != '=') badPath();
        PathKey k;
        k.name = std::string(s.substr(b, i - b));
        ++i;
        if (i < s.size() && isQuote(s[i])) {
            k.value = readQuoted(s, i);
            k.quoted = true;
        } else {
            size_t vb = i;
            while (i < s.size() && s[i] != ',') ++i;
            k.value = std::string(trimmed(s.substr(vb, i - vb)));
            if (k.value.empty()) badPath();
        }
        p.keys.push_back(std::move(k));
        if (i == s.size()) break;
        if (s[i] != ',') badPath();
        ++i;
    }
    return p;
}

void appendPathValue(std::string& out, std::string_view text, bool quoted) {
    if (!quoted) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    out += '"';
}

std::string pathValue(std::string_view text, bool quoted) {
    std::string out;
    appendPathValue(out, text, quoted);
    return out;
}

namespace {

bool sameNamespace(const ObjectPath& a, const ObjectPath& b) {
    if (a.nspace.empty() || b.nspace.empty()) return true;
    return iequals(a.nspace, b.nspace);
}

bool sameValue(const PathKey& a, const PathKey& b) {
    if (a.quoted && b.quoted) {
        // Key values that are themselves paths compare as paths.
        if (a.value.find(':') != std::string::npos || a.value.find('.') != std::string::npos ||
            b.value.find(':') != std::string::npos || b.value.find('.') != std::string::npos) {
            try {
                return samePath(parseObjectPath(a.value), parseObjectPath(b.value));
            } catch (const WbemError&) {
            }
        }
        return iequals(a.value, b.value);
    }
    return iequals(a.value, b.value);
}

}  // namespace

bool samePath(const ObjectPath& a, const ObjectPath& b) {
    if (!iequals(a.className, b.className)) return false;
    if (a.singleton != b.singleton) return false;
    if (!sameNamespace(a, b)) return false;
    if (a.keys.size() != b.keys.size()) return false;
    for (const auto& ka : a.keys) {
        auto it = std::find_if(b.keys.begin(), b.keys.end(),
                               [&](const PathKey& kb) { return iequals(ka.name, kb.name); });
        if (it == b.keys.end() || !sameValue(ka, *it)) return false;
    }
    return true;
}

}  // namespace wbem
