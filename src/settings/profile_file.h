// A settings file in the profile (INI) format, read and changed the way the
// Windows profile functions do it, then saved in one atomic write.
//
// Reading: section and key names ignore letter case; the first section of a
// name and the first key of a name in it count. A value is the text after the
// first "=", without surrounding blanks and control characters; a pair of
// double or single quotes enclosing all of it is removed; at most
// kMaxValueChars characters are read back. Lines starting with ";" and lines
// without "=" are no entries. A UTF-8 byte order mark is tolerated.
//
// Writing changes only the lines it must: an existing key's line is rewritten
// in place (its text up to the value is kept), a new key goes after the last
// non-blank line of its section, a new section goes at the end of the file.
// Every other byte, line ends included, stays as it was. New lines end the way
// the file's first line does, with CR LF for a new file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace settings {

class ProfileFile {
  public:
    static constexpr size_t kMaxValueChars = 2047;

    enum class LoadState {
        Missing,     // no such file: reads give defaults, a save creates it
        Loaded,      // read completely
        Unreadable,  // there, but not readable: reads give defaults, a save is refused
    };

    struct Entry {
        std::string key;    // as spelled in the file
        std::string value;  // as a read returns it
    };

    ProfileFile() = default;  // empty, with no file behind it

    static ProfileFile load(const std::string& path);
    static ProfileFile fromText(std::string_view text);

    LoadState state() const { return state_; }
    const std::string& path() const { return path_; }

    // The value of the key, or nullopt when the section or key is missing.
    std::optional<std::string> read(std::string_view section, std::string_view key) const;
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view fallback) const;
    // The default when the key is missing, empty or not a decimal 32-bit integer.
    int32_t readInteger(std::string_view section, std::string_view key, int32_t fallback) const;
    // Every entry of the section in file order, duplicates included.
    std::vector<Entry> sectionEntries(std::string_view section) const;

    // Sets a value in memory. Line breaks and NUL characters in the value become
    // blanks so that no value can break the file's structure, and a value that
    // would not read back unchanged (surrounding blanks, or enclosed in a pair of
    // quotes) is written inside double quotes. False, changing nothing, for a
    // section or key name that cannot be written as one.
    bool writeString(std::string_view section, std::string_view key, std::string_view value);
    bool writeInteger(std::string_view section, std::string_view key, int32_t value);

    // The file's bytes as they would be saved.
    std::string text() const;
    // Writes text() to path() as files::ReplaceContents does (atomically,
    // keeping links, owner and mode; a read-only file is left alone). False
    // when there is no path, when the file was there but could not be read
    // (saving would lose its contents), or when the write fails; the file on
    // disk is then unchanged.
    bool save() const;

  private:
    struct Line {
        std::string text;  // without its line end
        std::string eol;   // "\r\n", "\n" or "" for a last line without one
    };
    struct SectionRange {
        size_t header;  // index of the header line
        size_t end;     // one past the section's last line
    };

    void parse(std::string_view text);
    std::optional<SectionRange> findSection(std::string_view section) const;
    std::optional<size_t> findKey(const SectionRange& range, std::string_view key) const;

    std::string path_;
    LoadState state_ = LoadState::Missing;
    bool bom_ = false;
    std::string eol_ = "\r\n";
    std::vector<Line> lines_;
};

// The value as a read returns it, from the raw text after the "=".
std::string ProfileValueFromRaw(std::string_view raw);

}  // namespace settings
