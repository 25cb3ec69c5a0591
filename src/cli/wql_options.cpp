#include "wql_options.h"

#include <charconv>

#include "wbem/text.h"

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

std::optional<OutputFormat> formatNamed(const std::string& name) {
    const std::string n = wbem::lowered(name);
    if (n == "table") return OutputFormat::Table;
    if (n == "csv") return OutputFormat::Csv;
    if (n == "tsv") return OutputFormat::Tsv;
    if (n == "html") return OutputFormat::Html;
    return std::nullopt;
}

// COLUMN, COLUMN:asc or COLUMN:desc. Property names hold no ":", so a last
// ":" always starts the direction.
std::optional<SortKey> sortKeyOf(const std::string& value, std::string& error) {
    SortKey key;
    key.column = value;
    if (const size_t colon = value.rfind(':'); colon != std::string::npos) {
        const std::string direction = wbem::lowered(value.substr(colon + 1));
        if (direction != "asc" && direction != "desc") {
            error = "bad sort direction \"" + value.substr(colon + 1) + "\": expected asc or desc";
            return std::nullopt;
        }
        key.ascending = direction == "asc";
        key.column = value.substr(0, colon);
    }
    if (key.column.empty()) {
        error = "-sort: needs a column name or number";
        return std::nullopt;
    }
    if (key.column[0] >= '0' && key.column[0] <= '9') {
        // Names start with a letter or "_", so digits are a number.
        const char* begin = key.column.data();
        const char* end = begin + key.column.size();
        auto [stop, ec] = std::from_chars(begin, end, key.number);
        if (ec != std::errc() || stop != end || key.number < 1) {
            error = "bad sort column \"" + key.column + "\": expected a name or a number from 1";
            return std::nullopt;
        }
    }
    return key;
}

// "PATH.Method": the method follows the last dot outside double quotes,
// since a key's value may hold dots.
std::optional<MethodCall> methodCallOf(const std::string& text, std::string& error) {
    size_t dot = std::string::npos;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && quoted) {
            ++i;
        } else if (text[i] == '"') {
            quoted = !quoted;
        } else if (text[i] == '.' && !quoted) {
            dot = i;
        }
    }
    if (dot == std::string::npos || dot == 0 || dot + 1 == text.size()) {
        error =
            "-call: needs CLASS.Method or PATH.Method, for example "
            "-call:Win32_Process.Create or -call:Win32_Process.Handle=\"42\".Terminate";
        return std::nullopt;
    }
    MethodCall call;
    call.path = text.substr(0, dot);
    call.method = text.substr(dot + 1);
    return call;
}

}  // namespace

const char* wqlUsage() {
    return "Usage: wql [options] \"QUERY\"\n"
           "       wql [options] -classes\n"
           "       wql [options] -call:CLASS.Method|PATH.Method [-arg:NAME=VALUE ...]\n"
           "Options:\n"
           "  -host:NAME        computer to connect to (default: this machine)\n"
           "  -namespace:PATH   namespace (default: root\\cimv2)\n"
           "  -user:NAME        user name\n"
           "  -pswd:PASSWORD    password\n"
           "  -authlevel:N      authentication level 0 to 6\n"
           "  -auth:METHOD      how a remote host checks who you are: negotiate (default),\n"
           "                    basic, kerberos or ntlm\n"
           "  -cacert:FILE      trust the CA certificates (PEM) in FILE too, for HTTPS\n"
           "  -unencrypted      allow Basic authentication over plain HTTP\n"
           "  -codepage:N       code page of the printed values (default: the target's own)\n"
           "  -mof:FILE         compile a MOF file into the namespace first (repeatable)\n"
           "  -classes          list the namespace's classes instead of running a query\n"
           "  -call:TARGET.Method  run a method instead of a query: on the class for a\n"
           "                    static method, else on the instance the path names; prints\n"
           "                    its out-parameters and ReturnValue; exit code 3 when the\n"
           "                    ReturnValue is not 0\n"
           "  -arg:NAME=VALUE   an in-parameter of -call: (repeatable); an array takes one\n"
           "                    element per line\n"
           "  -out:FILE         write the output to FILE\n"
           "  -format:FORMAT    table (default), csv, tsv or html (a report naming the\n"
           "                    host, namespace and query)\n"
           "  -sort:COLUMN[:desc]  sort the rows by a column, given by name or 1-based\n"
           "                    number; :desc for descending (default: result order)\n";
}

std::optional<WqlOptions> parseWqlOptions(const std::vector<std::string>& args,
                                          std::string& error) {
    WqlOptions o;
    std::vector<std::string> rest;
    std::vector<std::pair<std::string, std::string>> arguments;  // -arg:s before -call:
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
        } else if (takeOption(arg, "auth", v)) {
            const auto method = wbem::parseAuthMethod(v);
            if (!method) {
                error = "bad authentication method \"" + v +
                        "\": expected negotiate, basic, kerberos or ntlm";
                return std::nullopt;
            }
            o.remote.auth = *method;
        } else if (takeOption(arg, "cacert", v)) {
            if (v.empty()) {
                error = "-cacert: needs a file name";
                return std::nullopt;
            }
            o.remote.caFile = v;
        } else if (arg == "-unencrypted") {
            o.remote.allowUnencrypted = true;
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
        } else if (takeOption(arg, "format", v)) {
            auto format = formatNamed(v);
            if (!format) {
                error = "bad format \"" + v + "\": expected table, csv, tsv or html";
                return std::nullopt;
            }
            o.format = *format;
        } else if (takeOption(arg, "sort", v)) {
            o.sort = sortKeyOf(v, error);
            if (!o.sort) return std::nullopt;
        } else if (arg == "-classes") {
            o.listClasses = true;
        } else if (takeOption(arg, "call", v)) {
            if (o.call) {
                error = "-call: is given twice";
                return std::nullopt;
            }
            auto call = methodCallOf(v, error);
            if (!call) return std::nullopt;
            call->arguments = std::move(arguments);
            o.call = std::move(call);
        } else if (takeOption(arg, "arg", v)) {
            const size_t eq = v.find('=');
            if (eq == std::string::npos || eq == 0) {
                error = "-arg: needs NAME=VALUE, got \"" + v + "\"";
                return std::nullopt;
            }
            (o.call ? o.call->arguments : arguments)
                .emplace_back(v.substr(0, eq), v.substr(eq + 1));
        } else if (!arg.empty() && arg[0] == '-' && arg.size() > 1) {
            error = "unknown option " + arg;
            return std::nullopt;
        } else {
            rest.push_back(arg);
        }
    }
    if (!arguments.empty() && !o.call) {
        error = "-arg: gives an in-parameter of -call:, which is missing";
        return std::nullopt;
    }
    if (o.call) {
        if (o.listClasses || !rest.empty() || o.sort || o.format != OutputFormat::Table) {
            error = "-call: runs a method: no query, -classes, -sort: or -format: with it";
            return std::nullopt;
        }
        return o;
    }
    if (o.listClasses && (o.sort || o.format != OutputFormat::Table)) {
        error = "-classes prints a plain list: -sort: and -format: apply to a query";
        return std::nullopt;
    }
    if (o.listClasses ? !rest.empty() : rest.size() != 1) {
        error = o.listClasses ? "-classes takes no query" : "expected one query";
        return std::nullopt;
    }
    if (!o.listClasses) o.query = rest[0];
    return o;
}

}  // namespace cli
