// The texts of a compile (the root file and its includes), positions within
// them, and the errors that point at those positions.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ast.h"
#include "mof_compiler.h"

namespace wbem::mof {

struct SourceFile {
    std::string name;  // as shown in messages and used to resolve includes
    std::string text;  // valid UTF-8
};

struct Location {
    std::string file;
    int line = 0;
    int column = 0;  // in characters, from 1
};

class SourceSet {
  public:
    explicit SourceSet(FileLoader loader);

    // Registers a text as a file: a byte-order mark is dropped, UTF-16 is
    // converted and invalid UTF-8 replaced, so the lexer sees valid UTF-8.
    uint32_t add(std::string name, std::string bytes);

    // Loads a file named by "#pragma include" in the file of `at`, relative to
    // that file's folder, and enters it. Fails at `at` when the file is
    // missing, already being read (an include cycle) or nested too deeply.
    uint32_t enterInclude(std::string_view target, Pos at);
    void enterRoot(uint32_t file);
    void leave();
    std::optional<std::string> load(const std::string& path) const { return loader_(path); }

    const SourceFile& file(uint32_t index) const { return *files_[index]; }
    std::string_view text(uint32_t index) const { return files_[index]->text; }

    Location locate(Pos pos) const;
    [[noreturn]] void fail(Pos pos, const std::string& message, HResult code = hr::Failed) const;

  private:
    FileLoader loader_;
    std::vector<std::unique_ptr<SourceFile>> files_;
    size_t includes_ = 0;              // includes followed so far
    size_t totalBytes_ = 0;            // of every file read so far
    std::vector<std::string> active_;  // files being read, outermost first
};

// "a/b/../c.mof" -> "a/c.mof"; backslashes become slashes.
std::string normalizedPath(std::string_view path);
// The folder part of a path with its trailing slash, or "" when there is none.
std::string_view folderOf(std::string_view path);

// Length of the UTF-8 sequence starting with `lead` (the text is valid UTF-8).
inline size_t utf8Length(unsigned char lead) {
    return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

// The code point of the `len`-byte sequence at s[i] (valid UTF-8).
inline uint32_t decodeUtf8(std::string_view s, size_t i, size_t len) {
    auto b = [&](size_t k) { return static_cast<unsigned char>(s[i + k]); };
    switch (len) {
        case 1:
            return b(0);
        case 2:
            return (b(0) & 0x1Fu) << 6 | (b(1) & 0x3Fu);
        case 3:
            return (b(0) & 0x0Fu) << 12 | (b(1) & 0x3Fu) << 6 | (b(2) & 0x3Fu);
        default:
            return (b(0) & 0x07u) << 18 | (b(1) & 0x3Fu) << 12 | (b(2) & 0x3Fu) << 6 |
                   (b(3) & 0x3Fu);
    }
}

}  // namespace wbem::mof
