#include "host_info.h"

#include <sys/utsname.h>
#include <unistd.h>

#include "../repository/instance.h"
#include "../text.h"
#include "file_reader.h"
#include "parse_util.h"

namespace wbem {

namespace {

std::string nodeName() {
    struct utsname u {};
    if (uname(&u) != 0) return "localhost";
    return sanitizeUtf8(u.nodename);
}

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// Undoes the shell-style quoting os-release allows: "...", '...' and
// backslash escapes inside double quotes or bare values.
std::string unquote(std::string_view v) {
    std::string out;
    char quote = 0;
    for (size_t i = 0; i < v.size(); ++i) {
        const char c = v[i];
        if (quote == '\'') {
            if (c == '\'')
                quote = 0;
            else
                out += c;
        } else if (c == '\\' && i + 1 < v.size()) {
            out += v[++i];
        } else if (quote == '"') {
            if (c == '"')
                quote = 0;
            else
                out += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::string computerName() {
    std::string n = nodeName();
    const size_t dot = n.find('.');
    if (dot != std::string::npos) n.resize(dot);
    return upper(std::move(n));
}

std::string dnsHostName() {
    std::string n = nodeName();
    const size_t dot = n.find('.');
    if (dot != std::string::npos) n.resize(dot);
    return n;
}

std::string hostDomainSuffix() {
    std::string n = nodeName();
    const size_t dot = n.find('.');
    return dot == std::string::npos ? std::string() : n.substr(dot + 1);
}

std::map<std::string, std::string> parseOsRelease(std::string_view text) {
    std::map<std::string, std::string> out;
    Splitter lines(text, '\n');
    std::string_view line;
    while (lines.next(line)) {
        line = trimmed(line);
        if (line.empty() || line[0] == '#') continue;
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos || eq == 0) continue;
        std::string_view key = line.substr(0, eq);
        bool validKey = true;
        for (char c : key)
            if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) validKey = false;
        if (!validKey) continue;
        out[std::string(key)] = sanitizeUtf8(unquote(line.substr(eq + 1)));
    }
    return out;
}

std::map<std::string, std::string> readOsRelease() {
    auto text = readTextFile("/etc/os-release", 65536);
    if (!text) text = readTextFile("/usr/lib/os-release", 65536);
    return text ? parseOsRelease(*text) : std::map<std::string, std::string>{};
}

std::string osCaption() {
    const auto rel = readOsRelease();
    for (const char* key : {"PRETTY_NAME", "NAME"}) {
        auto it = rel.find(key);
        if (it != rel.end() && !it->second.empty()) return it->second;
    }
    return "Linux";
}

KernelInfo kernelInfo() {
    struct utsname u {};
    if (uname(&u) != 0) return {};
    return {sanitizeUtf8(u.release), sanitizeUtf8(u.version), sanitizeUtf8(u.machine)};
}

std::string osArchitecture(std::string_view machine) {
    if (machine == "x86_64" || machine == "ppc64" || machine == "ppc64le" || machine == "s390x" ||
        machine == "riscv64" || machine == "mips64" || machine == "loongarch64" ||
        machine == "sparc64")
        return "64-bit";
    if (machine == "aarch64" || machine == "arm64") return "ARM 64-bit Processor";
    if (machine.starts_with("arm")) return "ARM Processor";
    return "32-bit";
}

std::string referencePath(std::string_view nspace, std::string_view relPath) {
    return fullPath(computerName(), nspace, relPath);
}

}  // namespace wbem
