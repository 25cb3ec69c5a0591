#include "wql_options.h"

#include <charconv>

namespace cli {

namespace {

// The value of "-name:value" when `arg` starts with the option (ignoring case).
bool takeOption(const std::string& arg, const char* name, std::string& value) {
    std::string prefix = std::string("-") + name + ":";
    if (arg.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(arg[i])) != prefix[i]) return false;
    value = arg.substr(prefix.size());
    return true;
}

}  // namespace

const char* wqlUsage() {
    return "Usage: wql [options] \"QUERY\"\n"
           "       wql [options] -classes\n"
           "Options:\n"
           "  -host:NAME        computer to connect to (default: this machine)\n"
           "  -namespace:PATH   namespace (default: root\\cimv2)\n"
           "  -user:NAME        user name\n"
           "  -pswd:PASSWORD    password\n"
           "  -authlevel:N      authentication level 0 to 6\n"
           "  -codepage:N       code page of the printed values (default: the target's own)\n"
           "  -mof:FILE         compile a MOF file into the namespace first (repeatable)\n"
           "  -classes          list the namespace's classes instead of running a query\n"
           "  -out:FILE         write the output to FILE\n";
}

std::optional<WqlOptions> parseWqlOptions(const std::vector<std::string>& args,
                                          std::string& error) {
    WqlOptions o;
    std::vector<std::string> rest;
    for (const auto& arg : args) {
        std::string v;
        if (takeOption(arg, "host", v)) {
            o.host = v.empty() ? "." : v;
        } else if (takeOption(arg, "namespace", v)) {
            o.nspace = v;
        } else if (takeOption(arg, "user", v)) {
            o.user = v;
        } else if (takeOption(arg, "pswd", v)) {
            o.password = v;
        } else if (takeOption(arg, "authlevel", v)) {
            int level = -1;
            auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), level);
            if (ec != std::errc() || end != v.data() + v.size() || level < 0 || level > 6) {
                error = "bad authentication level \"" + v + "\": expected 0 to 6";
                return std::nullopt;
            }
            o.authLevel = level;
        } else if (takeOption(arg, "codepage", v)) {
            int cp = -1;
            auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), cp);
            if (ec != std::errc() || end != v.data() + v.size() || cp <= 0 || cp > 65535) {
                error = "bad code page \"" + v + "\": expected a number from 1 to 65535";
                return std::nullopt;
            }
            o.codePage = cp;
        } else if (takeOption(arg, "mof", v)) {
            if (v.empty()) {
                error = "-mof: needs a file name";
                return std::nullopt;
            }
            o.mofFiles.push_back(v);
        } else if (takeOption(arg, "out", v)) {
            if (v.empty()) {
                error = "-out: needs a file name";
                return std::nullopt;
            }
            o.outFile = v;
        } else if (arg == "-classes") {
            o.listClasses = true;
        } else if (!arg.empty() && arg[0] == '-' && arg.size() > 1) {
            error = "unknown option " + arg;
            return std::nullopt;
        } else {
            rest.push_back(arg);
        }
    }
    if (o.listClasses ? !rest.empty() : rest.size() != 1) {
        error = o.listClasses ? "-classes takes no query" : "expected one query";
        return std::nullopt;
    }
    if (!o.listClasses) o.query = rest[0];
    return o;
}

}  // namespace cli
