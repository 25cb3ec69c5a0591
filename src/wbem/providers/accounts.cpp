#include "accounts.h"

#include "../repository/object_path.h"
#include "../text.h"
#include "file_reader.h"
#include "parse_util.h"

namespace wbem {

namespace {

std::vector<std::string_view> fieldsOf(std::string_view line) {
    std::vector<std::string_view> f;
    Splitter s(line, ':');
    std::string_view x;
    while (s.next(x)) f.push_back(x);
    return f;
}

std::optional<uint32_t> id(std::string_view v) {
    auto n = parseUInt(v);
    if (!n || *n > UINT32_MAX) return std::nullopt;
    return static_cast<uint32_t>(*n);
}

bool skippable(std::string_view line) {
    return line.empty() || line[0] == '#' || line[0] == '+' || line[0] == '-';
}

// Calls `row` with the colon-separated fields of each entry line of an
// account file that has a name and at least `minFields` fields.
template <class Row>
void forEachEntry(std::string_view text, size_t minFields, Row row) {
    Splitter lines(text, '\n');
    std::string_view line;
    while (lines.next(line)) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (skippable(line)) continue;
        auto f = fieldsOf(line);
        if (f.size() >= minFields && !f[0].empty()) row(f);
    }
}

}  // namespace

std::string PasswdEntry::fullName() const { return gecos.substr(0, gecos.find(',')); }

std::vector<PasswdEntry> parsePasswd(std::string_view text) {
    std::vector<PasswdEntry> out;
    forEachEntry(text, 7, [&](const std::vector<std::string_view>& f) {
        auto uid = id(f[2]), gid = id(f[3]);
        if (!uid || !gid) return;
        out.push_back({sanitizeUtf8(f[0]), *uid, *gid, sanitizeUtf8(f[4]), sanitizeUtf8(f[5]),
                       sanitizeUtf8(f[6])});
    });
    return out;
}

std::vector<GroupEntry> parseGroup(std::string_view text) {
    std::vector<GroupEntry> out;
    forEachEntry(text, 4, [&](const std::vector<std::string_view>& f) {
        auto gid = id(f[2]);
        if (!gid) return;
        GroupEntry g{sanitizeUtf8(f[0]), *gid, {}};
        Splitter members(f[3], ',');
        std::string_view m;
        while (members.next(m)) {
            m = trimmed(m);
            if (!m.empty()) g.members.push_back(sanitizeUtf8(m));
        }
        out.push_back(std::move(g));
    });
    return out;
}

std::map<std::string, ShadowEntry> parseShadow(std::string_view text) {
    std::map<std::string, ShadowEntry> out;
    forEachEntry(text, 2, [&](const std::vector<std::string_view>& f) {
        ShadowEntry e;
        std::string_view hash = f[1];
        e.locked = hash.starts_with("!");
        if (e.locked) hash.remove_prefix(1);
        e.hasPassword = !hash.empty() && hash != "*" && hash != "!" && hash != "x";
        if (f.size() > 4) {
            auto maxDays = parseUInt(f[4]);
            e.expires = maxDays && *maxDays < 99999;
        }
        out[sanitizeUtf8(f[0])] = e;
    });
    return out;
}

std::vector<PasswdEntry> readPasswd(const std::string& root) {
    auto text = readTextFile(root + "/etc/passwd");
    return text ? parsePasswd(*text) : std::vector<PasswdEntry>{};
}

std::string userSid(uint32_t uid) { return "S-1-22-1-" + std::to_string(uid); }
std::string groupSid(uint32_t gid) { return "S-1-22-2-" + std::to_string(gid); }

std::string accountRelPath(std::string_view className, std::string_view domain,
                           std::string_view name) {
    return std::string(className) + ".Domain=" + pathValue(domain, true) +
           ",Name=" + pathValue(name, true);
}

}  // namespace wbem
