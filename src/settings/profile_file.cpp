#include "settings/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "files/replace_file.h"
#include "settings/text_util.h"
#include "wbem/text.h"

namespace settings {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

enum class LineKind { Other, Section, Entry };

struct LineInfo {
    LineKind kind = LineKind::Other;
    std::string_view name;  // section name or key, trimmed
    size_t valueStart = 0;  // for an entry: the offset just after the "="
};

LineInfo classify(std::string_view text) {
    LineInfo info;
    const std::string_view body = wbem::trimmed(text);
    if (body.empty() || body.front() == ';') return info;
    if (body.front() == '[') {
        size_t close = body.find(']', 1);
        if (close != std::string_view::npos) {
            info.kind = LineKind::Section;
            info.name = wbem::trimmed(body.substr(1, close - 1));
            return info;
        }
    }
    size_t eq = text.find('=');
    if (eq == std::string_view::npos) return info;
    std::string_view key = wbem::trimmed(text.substr(0, eq));
    if (key.empty()) return info;
    info.kind = LineKind::Entry;
    info.name = key;
    info.valueStart = eq + 1;
    return info;
}

// Length of the UTF-8 character at s[i]; a byte that starts no valid sequence
// counts as a character of its own.
size_t charLength(std::string_view s, size_t i) {
    auto b = static_cast<unsigned char>(s[i]);
    size_t len = b < 0x80                 ? 1
                 : b >= 0xC2 && b <= 0xDF ? 2
                 : b >= 0xE0 && b <= 0xEF ? 3
                 : b >= 0xF0 && b <= 0xF4 ? 4
                                          : 1;
    if (i + len > s.size()) return 1;
    for (size_t k = 1; k < len; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 1;
    return len;
}

// The first maxChars characters of s, never splitting a character.
std::string_view cutToChars(std::string_view s, size_t maxChars) {
    size_t pos = 0;
    for (size_t count = 0; pos < s.size() && count < maxChars; ++count) pos += charLength(s, pos);
    return s.substr(0, pos);
}

bool isQuote(char c) { return c == '"' || c == '\''; }

bool enclosedInQuotes(std::string_view s) {
    return s.size() >= 2 && isQuote(s.front()) && s.front() == s.back();
}

bool validName(std::string_view name, bool isKey) {
    if (name.empty() || wbem::trimmed(name) != name) return false;
    for (char c : name)
        if (c == '\r' || c == '\n' || c == '\0' || c == ']' || (isKey && c == '=')) return false;
    if (isKey && (name.front() == '[' || name.front() == ';')) return false;
    return true;
}

// The text to put after "=" so that a read gives back exactly the value, line
// breaks aside.
std::string encodeValue(std::string_view value) {
    std::string out(value);
    for (char& c : out)
        if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    if (wbem::trimmed(out) != std::string_view(out) || enclosedInQuotes(out)) out = '"' + out + '"';
    return out;
}

bool isBlankLine(std::string_view text) { return wbem::trimmed(text).empty(); }

}  // namespace

std::string ProfileValueFromRaw(std::string_view raw) {
    std::string_view v = wbem::trimmed(raw);
    if (enclosedInQuotes(v)) v = v.substr(1, v.size() - 2);
    return std::string(cutToChars(v, ProfileFile::kMaxValueChars));
}

ProfileFile ProfileFile::load(const std::string& path) {
    // Not blocking: a FIFO or device in the file's place must not hang start-up.
    ProfileFile file;
    file.path_ = path;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        file.state_ = (errno == ENOENT) ? LoadState::Missing : LoadState::Unreadable;
        return file;
    }
    std::string data;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    char buffer[65536];
    while (ok) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        data.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    if (!ok) {
        file.state_ = LoadState::Unreadable;
        return file;
    }
    file.state_ = LoadState::Loaded;
    file.parse(data);
    return file;
}

ProfileFile ProfileFile::fromText(std::string_view text) {
    ProfileFile file;
    file.state_ = LoadState::Loaded;
    file.parse(text);
    return file;
}

void ProfileFile::parse(std::string_view text) {
    lines_.clear();
    bom_ = text.substr(0, kBom.size()) == kBom;
    if (bom_) text.remove_prefix(kBom.size());
    bool eolSeen = false;
    while (!text.empty()) {
        size_t nl = text.find('\n');
        Line line;
        if (nl == std::string_view::npos) {
            line.text = std::string(text);
            text = {};
        } else {
            size_t end = (nl > 0 && text[nl - 1] == '\r') ? nl - 1 : nl;
            line.text = std::string(text.substr(0, end));
            line.eol = std::string(text.substr(end, nl + 1 - end));
            text.remove_prefix(nl + 1);
            if (!eolSeen) eol_ = line.eol;
            eolSeen = true;
        }
        lines_.push_back(std::move(line));
    }
}

std::optional<ProfileFile::SectionRange> ProfileFile::findSection(std::string_view section) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        LineInfo info = classify(lines_[i].text);
        if (info.kind != LineKind::Section || !wbem::iequals(info.name, section)) continue;
        size_t end = i + 1;
        while (end < lines_.size() && classify(lines_[end].text).kind != LineKind::Section) ++end;
        return SectionRange{i, end};
    }
    return std::nullopt;
}

std::optional<size_t> ProfileFile::findKey(const SectionRange& range, std::string_view key) const {
    for (size_t i = range.header + 1; i < range.end; ++i) {
        LineInfo info = classify(lines_[i].text);
        if (info.kind == LineKind::Entry && wbem::iequals(info.name, key)) return i;
    }
    return std::nullopt;
}

std::optional<std::string> ProfileFile::read(std::string_view section, std::string_view key) const {
    auto range = findSection(section);
    if (!range) return std::nullopt;
    auto index = findKey(*range, key);
    if (!index) return std::nullopt;
    const std::string& text = lines_[*index].text;
    return ProfileValueFromRaw(std::string_view(text).substr(classify(text).valueStart));
}

std::string ProfileFile::readString(std::string_view section, std::string_view key,
                                    std::string_view fallback) const {
    auto value = read(section, key);
    return value ? *value : std::string(fallback);
}

int32_t ProfileFile::readInteger(std::string_view section, std::string_view key,
                                 int32_t fallback) const {
    auto value = read(section, key);
    if (!value) return fallback;
    return parseInt32(*value).value_or(fallback);
}

std::vector<ProfileFile::Entry> ProfileFile::sectionEntries(std::string_view section) const {
    std::vector<Entry> entries;
    auto range = findSection(section);
    if (!range) return entries;
    for (size_t i = range->header + 1; i < range->end; ++i) {
        std::string_view text = lines_[i].text;
        LineInfo info = classify(text);
        if (info.kind != LineKind::Entry) continue;
        entries.push_back(
            {std::string(info.name), ProfileValueFromRaw(text.substr(info.valueStart))});
    }
    return entries;
}

bool ProfileFile::writeString(std::string_view section, std::string_view key,
                              std::string_view value) {
    if (!validName(section, false) || !validName(key, true)) return false;
    std::string encoded = encodeValue(value);
    auto range = findSection(section);
    if (range) {
        if (auto index = findKey(*range, key)) {
            std::string& text = lines_[*index].text;
            size_t keep = classify(text).valueStart;
            while (keep < text.size() && (text[keep] == ' ' || text[keep] == '\t')) ++keep;
            text = text.substr(0, keep) + encoded;
            return true;
        }
        size_t last = range->header;
        for (size_t i = range->header + 1; i < range->end; ++i)
            if (!isBlankLine(lines_[i].text)) last = i;
        if (lines_[last].eol.empty()) lines_[last].eol = eol_;
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(last + 1),
                      Line{std::string(key) + "=" + encoded, eol_});
        return true;
    }
    if (!lines_.empty()) {
        if (lines_.back().eol.empty()) lines_.back().eol = eol_;
        if (!isBlankLine(lines_.back().text)) lines_.push_back(Line{"", eol_});
    }
    lines_.push_back(Line{"[" + std::string(section) + "]", eol_});
    lines_.push_back(Line{std::string(key) + "=" + encoded, eol_});
    return true;
}

bool ProfileFile::writeInteger(std::string_view section, std::string_view key, int32_t value) {
    return writeString(section, key, std::to_string(value));
}

std::string ProfileFile::text() const {
    std::string out;
    if (bom_) out += kBom;
    for (const Line& line : lines_) {
        out += line.text;
        out += line.eol;
    }
    return out;
}

bool ProfileFile::save() const {
    if (path_.empty() || state_ == LoadState::Unreadable) return false;
    return files::ReplaceContents(path_, text()) == 0;
}

}  // namespace settings
