// Number and line helpers for the text parsers of the system readers.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

namespace wbem {

// Whole-token decimal numbers; nullopt on anything else (sign, blanks,
// overflow, trailing characters).
inline std::optional<uint64_t> parseUInt(std::string_view s) {
    uint64_t v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || p != s.data() + s.size()) return std::nullopt;
    return v;
}

inline std::optional<int64_t> parseInt(std::string_view s) {
    int64_t v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || p != s.data() + s.size()) return std::nullopt;
    return v;
}

// The canonical decimal form of a non-negative number: no sign, no leading
// zero (except "0"); nullopt otherwise. Keys such as a process Handle are
// compared as text, so "0123" must not name process 123.
inline std::optional<uint64_t> parseCanonicalUInt(std::string_view s) {
    if (s.size() > 1 && s[0] == '0') return std::nullopt;
    return parseUInt(s);
}

// Splits `text` at `sep`, one piece per call; the last piece has no separator.
class Splitter {
  public:
    Splitter(std::string_view text, char sep) : rest_(text), sep_(sep) {}
    bool next(std::string_view& piece) {
        if (done_) return false;
        const size_t at = rest_.find(sep_);
        if (at == std::string_view::npos) {
            piece = rest_;
            done_ = true;
        } else {
            piece = rest_.substr(0, at);
            rest_.remove_prefix(at + 1);
        }
        return true;
    }

  private:
    std::string_view rest_;
    char sep_;
    bool done_ = false;
};

// Blank-separated words (spaces and tabs).
class Words {
  public:
    explicit Words(std::string_view text) : rest_(text) {}
    bool next(std::string_view& word) {
        size_t b = 0;
        while (b < rest_.size() && (rest_[b] == ' ' || rest_[b] == '\t')) ++b;
        if (b == rest_.size()) return false;
        size_t e = b;
        while (e < rest_.size() && rest_[e] != ' ' && rest_[e] != '\t') ++e;
        word = rest_.substr(b, e - b);
        rest_.remove_prefix(e);
        return true;
    }

  private:
    std::string_view rest_;
};

}  // namespace wbem
