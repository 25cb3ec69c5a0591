#include "like_pattern.h"

#include <cstring>

#include "../text.h"

namespace wbem::wql {

namespace {

// Next code point of UTF-8 text. A byte that does not start a valid sequence
// counts as one character of its own (mapped out of the Unicode range so that
// it equals nothing but itself).
char32_t decode(std::string_view s, size_t& i) {
    auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = b(i);
    size_t len = c < 0x80             ? 1
                 : (c & 0xE0) == 0xC0 ? 2
                 : (c & 0xF0) == 0xE0 ? 3
                 : (c & 0xF8) == 0xF0 ? 4
                                      : 0;
    if (len == 1) {
        ++i;
        return c;
    }
    if (len == 0 || i + len > s.size()) {
        ++i;
        return 0x110000u + c;
    }
    char32_t cp = c & (0x7F >> len);
    for (size_t k = 1; k < len; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) {
            ++i;
            return 0x110000u + c;
        }
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    i += len;
    return cp;
}

char32_t lower(char32_t c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }
char32_t upper(char32_t c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

bool startsWithI(std::string_view text, std::string_view lowNeedle) {
    if (text.size() < lowNeedle.size()) return false;
    for (size_t i = 0; i < lowNeedle.size(); ++i)
        if (asciiLower(text[i]) != lowNeedle[i]) return false;
    return true;
}

// Case-insensitive substring search; candidates for the first character are
// found with memchr, which is what makes '%x%' cheap on long text.
bool containsI(std::string_view text, std::string_view lowNeedle) {
    if (lowNeedle.empty()) return true;
    if (text.size() < lowNeedle.size()) return false;
    const char first = lowNeedle[0];
    const char firstUpper = char(upper(static_cast<unsigned char>(first)));
    const std::string_view rest = lowNeedle.substr(1);
    const size_t last = text.size() - lowNeedle.size();
    const char* base = text.data();
    auto restMatches = [&](size_t at) { return startsWithI(text.substr(at + 1), rest); };
    if (first == firstUpper) {
        size_t pos = 0;
        while (pos <= last) {
            const void* hit = std::memchr(base + pos, first, last - pos + 1);
            if (!hit) return false;
            size_t at = size_t(static_cast<const char*>(hit) - base);
            if (restMatches(at)) return true;
            pos = at + 1;
        }
        return false;
    }
    for (size_t at = 0; at <= last; ++at) {
        char c = base[at];
        if ((c == first || c == firstUpper) && restMatches(at)) return true;
    }
    return false;
}

}  // namespace

std::optional<LikePattern> LikePattern::compile(std::string_view pattern, size_t* errorAt) {
    LikePattern p;
    size_t i = 0;
    while (i < pattern.size()) {
        size_t at = i;
        char32_t c = decode(pattern, i);
        Element e{};
        if (c == '%') {
            if (!p.elements_.empty() && p.elements_.back().kind == Element::Kind::Star) continue;
            e.kind = Element::Kind::Star;
        } else if (c == '_') {
            e.kind = Element::Kind::AnyChar;
        } else if (c == '[') {
            e.kind = Element::Kind::Set;
            e.first = uint32_t(p.ranges_.size());
            if (i < pattern.size() && pattern[i] == '^') {
                e.negated = true;
                ++i;
            }
            // A ] right after [ or [^ is a member, so that []] matches "]".
            bool closed = false;
            bool firstMember = true;
            while (i < pattern.size()) {
                if (pattern[i] == ']' && !firstMember) {
                    ++i;
                    closed = true;
                    break;
                }
                firstMember = false;
                char32_t lo = decode(pattern, i);
                char32_t hi = lo;
                // a-f is a range; a - at either end is itself.
                if (i + 1 < pattern.size() && pattern[i] == '-' && pattern[i + 1] != ']') {
                    ++i;
                    hi = decode(pattern, i);
                }
                p.ranges_.emplace_back(lo, hi);
            }
            if (!closed) {
                if (errorAt) *errorAt = at;
                return std::nullopt;
            }
            e.count = uint32_t(p.ranges_.size()) - e.first;
        } else {
            e.kind = Element::Kind::Char;
            e.ch = lower(c);
        }
        p.elements_.push_back(e);
    }

    // % and _ commute (%_ matches what _% matches), so each run of them is
    // written as its _ first and one % after: '%____b' then costs one pass
    // over the text instead of one per _.
    std::vector<Element> normal;
    normal.reserve(p.elements_.size());
    for (size_t k = 0; k < p.elements_.size();) {
        const auto kind = p.elements_[k].kind;
        if (kind != Element::Kind::Star && kind != Element::Kind::AnyChar) {
            normal.push_back(p.elements_[k++]);
            continue;
        }
        bool star = false;
        for (; k < p.elements_.size(); ++k) {
            const auto run = p.elements_[k].kind;
            if (run == Element::Kind::Star)
                star = true;
            else if (run == Element::Kind::AnyChar)
                normal.push_back(p.elements_[k]);
            else
                break;
        }
        if (star) normal.push_back(Element{Element::Kind::Star});
    }
    p.elements_ = std::move(normal);

    // Literal text with % at most at either end takes a fast path.
    size_t n = p.elements_.size();
    bool leading = n > 0 && p.elements_.front().kind == Element::Kind::Star;
    bool trailing = n > 0 && p.elements_.back().kind == Element::Kind::Star;
    size_t from = leading ? 1 : 0;
    size_t to = (trailing && n > from) ? n - 1 : n;
    bool literal = true;
    for (size_t k = from; k < to; ++k) {
        if (p.elements_[k].kind != Element::Kind::Char) {
            literal = false;
            break;
        }
        appendUtf8(p.literal_, uint32_t(p.elements_[k].ch));
    }
    if (literal) {
        if (from >= to && (leading || trailing))
            p.mode_ = Mode::Any;
        else if (leading && trailing)
            p.mode_ = Mode::Contains;
        else if (leading)
            p.mode_ = Mode::Suffix;
        else if (trailing)
            p.mode_ = Mode::Prefix;
        else
            p.mode_ = Mode::Exact;
    } else {
        p.literal_.clear();
        p.makeSegments();
    }
    return p;
}

bool LikePattern::matches(std::string_view text) const {
    switch (mode_) {
        case Mode::Any:
            return true;
        case Mode::Exact:
            return text.size() == literal_.size() && startsWithI(text, literal_);
        case Mode::Prefix:
            return startsWithI(text, literal_);
        case Mode::Suffix:
            return text.size() >= literal_.size() &&
                   startsWithI(text.substr(text.size() - literal_.size()), literal_);
        case Mode::Contains:
            return containsI(text, literal_);
        case Mode::General:
            return matchGeneral(text);
    }
    return false;
}

bool LikePattern::matchOne(const Element& e, char32_t c) const {
    switch (e.kind) {
        case Element::Kind::AnyChar:
            return true;
        case Element::Kind::Char:
            return lower(c) == e.ch;
        case Element::Kind::Set: {
            bool in = false;
            char32_t variants[3] = {c, lower(c), upper(c)};
            for (uint32_t k = e.first; k < e.first + e.count && !in; ++k)
                for (char32_t v : variants)
                    if (v >= ranges_[k].first && v <= ranges_[k].second) in = true;
            return in != e.negated;
        }
        case Element::Kind::Star:
            return false;
    }
    return false;
}

void LikePattern::makeSegments() {
    const size_t n = elements_.size();
    anchoredStart_ = n == 0 || elements_.front().kind != Element::Kind::Star;
    anchoredEnd_ = n == 0 || elements_.back().kind != Element::Kind::Star;
    for (size_t k = 0; k < n;) {
        if (elements_[k].kind == Element::Kind::Star) {
            ++k;
            continue;
        }
        Segment s;
        s.first = uint32_t(k);
        while (k < n && elements_[k].kind != Element::Kind::Star) ++k;
        s.count = uint32_t(k) - s.first;
        s.words = (s.count + 63) / 64;
        s.ascii.assign(size_t(128) * s.words, 0);
        s.any.assign(s.words, 0);
        for (uint32_t e = 0; e < s.count; ++e) {
            const Element& element = elements_[s.first + e];
            const uint64_t bit = uint64_t(1) << (e % 64);
            for (char32_t c = 0; c < 128; ++c)
                if (matchOne(element, c)) s.ascii[c * s.words + e / 64] |= bit;
            if (element.kind == Element::Kind::AnyChar)
                s.any[e / 64] |= bit;
            else if (element.kind == Element::Kind::Set || element.ch >= 128)
                s.others.push_back(e);
        }
        segments_.push_back(std::move(s));
    }
}

bool LikePattern::matchesAt(const Segment& s, std::string_view text, size_t& pos) const {
    for (uint32_t e = 0; e < s.count; ++e) {
        if (pos >= text.size()) return false;
        if (!matchOne(elements_[s.first + e], decode(text, pos))) return false;
    }
    return true;
}

size_t LikePattern::findFrom(const Segment& s, std::string_view text, size_t pos,
                             bool atEnd) const {
    // Shift-And: bit e of the state is set when the last e + 1 characters
    // match the segment's first e + 1 elements.
    const uint32_t words = s.words;
    const uint32_t lastWord = (s.count - 1) / 64;
    const uint64_t lastBit = uint64_t(1) << ((s.count - 1) % 64);
    std::vector<uint64_t> state(words, 0);
    std::vector<uint64_t> other(words);
    bool found = false;
    while (pos < text.size()) {
        const char32_t c = decode(text, pos);
        const uint64_t* mask;
        if (c < 128) {
            mask = &s.ascii[c * words];
        } else {
            other = s.any;
            for (uint32_t e : s.others)
                if (matchOne(elements_[s.first + e], c)) other[e / 64] |= uint64_t(1) << (e % 64);
            mask = other.data();
        }
        uint64_t carry = 1;  // a match may start at every character
        for (uint32_t w = 0; w < words; ++w) {
            const uint64_t next = state[w] >> 63;
            state[w] = ((state[w] << 1) | carry) & mask[w];
            carry = next;
        }
        found = (state[lastWord] & lastBit) != 0;
        if (found && !atEnd) return pos;
    }
    return found && atEnd ? pos : std::string_view::npos;
}

// Segments are found leftmost first: a later place for one segment never
// leaves more room for the ones after it. The first segment must start the
// text and the last end it unless % stands before or after them.
bool LikePattern::matchGeneral(std::string_view text) const {
    size_t pos = 0;
    size_t k = 0;
    if (anchoredStart_) {
        if (segments_.empty()) return text.empty();
        if (!matchesAt(segments_[0], text, pos)) return false;
        if (segments_.size() == 1 && anchoredEnd_) return pos == text.size();
        k = 1;
    }
    for (; k < segments_.size(); ++k) {
        const bool last = k + 1 == segments_.size();
        pos = findFrom(segments_[k], text, pos, last && anchoredEnd_);
        if (pos == std::string_view::npos) return false;
    }
    return true;
}

}  // namespace wbem::wql
