#include "locale_info.h"

#include <langinfo.h>
#include <locale.h>
#include <unicode/uloc.h>

#include <array>
#include <cstdlib>

#include "../text.h"
#include "file_reader.h"
#include "host_info.h"
#include "parse_util.h"

namespace wbem {

namespace {

// The bare locale: "de_DE.UTF-8@euro" -> "de_DE".
std::string bareLocale(const std::string& name) {
    std::string s = name;
    s = s.substr(0, s.find_first_of(".@"));
    if (s.empty() || s == "C" || s == "POSIX") return "en_US";
    return s;
}

// "ISO-8859-1" -> "ISO88591": case and punctuation do not matter.
std::string squeezed(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (c == '-' || c == '_' || c == ' ' || c == '.') continue;
        out += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    return out;
}

}  // namespace

std::string localeFromConf(std::string_view text) {
    auto vars = parseOsRelease(text);  // the same KEY="value" syntax
    for (const char* key : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        auto it = vars.find(key);
        if (it != vars.end() && !it->second.empty()) return it->second;
    }
    return {};
}

std::string machineLocaleName() {
    for (const char* file : {"/etc/locale.conf", "/etc/default/locale"}) {
        if (auto text = readTextFile(file, 65536)) {
            std::string name = localeFromConf(*text);
            if (!name.empty()) return name;
        }
    }
    for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v) return sanitizeUtf8(v);
    }
    return "C";
}

std::string localeCodeset(const std::string& localeName) {
    if (locale_t loc = newlocale(LC_CTYPE_MASK, localeName.c_str(), static_cast<locale_t>(0))) {
        std::string cs = nl_langinfo_l(CODESET, loc);
        freelocale(loc);
        if (!cs.empty()) return cs;
    }
    const size_t dot = localeName.find('.');
    if (dot != std::string::npos)
        return localeName.substr(dot + 1, localeName.find('@', dot) - dot - 1);
    if (localeName == "C" || localeName == "POSIX" || localeName.empty()) return "ANSI_X3.4-1968";
    return "ISO-8859-1";  // the C library's default for a locale without one
}

std::optional<unsigned> windowsCodePage(std::string_view codeset) {
    const std::string cs = squeezed(codeset);
    struct Entry {
        std::string_view name;
        unsigned page;
    };
    static constexpr std::array<Entry, 37> kTable = {{
        {"UTF8", 65001},     {"ANSIX3.41968", 20127}, {"ANSIX341968", 20127}, {"ASCII", 20127},
        {"USASCII", 20127},  {"ISO88591", 28591},     {"ISO88592", 28592},    {"ISO88593", 28593},
        {"ISO88594", 28594}, {"ISO88595", 28595},     {"ISO88596", 28596},    {"ISO88597", 28597},
        {"ISO88598", 28598}, {"ISO88599", 28599},     {"ISO885913", 28603},   {"ISO885915", 28605},
        {"KOI8R", 20866},    {"KOI8U", 21866},        {"EUCJP", 20932},       {"SHIFTJIS", 932},
        {"SJIS", 932},       {"GB2312", 936},         {"GBK", 936},           {"GB18030", 54936},
        {"BIG5", 950},       {"BIG5HKSCS", 950},      {"EUCKR", 51949},       {"TIS620", 874},
        {"CP1250", 1250},    {"CP1251", 1251},        {"CP1252", 1252},       {"CP1253", 1253},
        {"CP1254", 1254},    {"CP1255", 1255},        {"CP1256", 1256},       {"CP1257", 1257},
        {"CP1258", 1258},
    }};
    for (const Entry& e : kTable)
        if (e.name == cs) return e.page;
    if (cs.starts_with("WINDOWS")) {
        if (auto n = parseUInt(cs.substr(7)); n && *n >= 1250 && *n <= 1258)
            return static_cast<unsigned>(*n);
    }
    return std::nullopt;
}

std::optional<unsigned> localeLcid(const std::string& localeName) {
    const uint32_t lcid = uloc_getLCID(bareLocale(localeName).c_str());
    if (lcid == 0) return std::nullopt;
    return lcid;
}

std::string localeLanguageTag(const std::string& localeName) {
    char tag[ULOC_FULLNAME_CAPACITY];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n =
        uloc_toLanguageTag(bareLocale(localeName).c_str(), tag, sizeof tag, true, &status);
    if (U_FAILURE(status) || n <= 0) return "en-US";
    return std::string(tag, static_cast<size_t>(n));
}

}  // namespace wbem
