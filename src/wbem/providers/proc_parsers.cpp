#include "proc_parsers.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "../text.h"
#include "parse_util.h"

namespace wbem {

std::optional<int64_t> ProcStat::field(StatField f) const {
    const int n = static_cast<int>(f);
    if (n > fieldCount) return std::nullopt;
    return values[static_cast<size_t>(n)];
}

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The number field of a stat line that starts at `p`, which moves past it:
// decimal digits, perhaps after a minus, the last field perhaps followed by
// the line's newline. Counters beyond int64 (the unlimited rsslim) are kept
// at the maximum instead of ending the list; a field that is anything else,
// or beyond uint64, ends it.
bool statNumber(const char*& p, const char* end, int64_t& out) {
    const bool negative = *p == '-';
    uint64_t v = 0;
    const auto [q, ec] = std::from_chars(negative ? p + 1 : p, end, v);
    if (ec != std::errc()) return false;
    const char* rest = q;
    if (rest < end && *rest == '\n') ++rest;
    if (rest < end && !isBlank(*rest)) return false;
    p = rest;
    if (negative) {
        // The magnitude of INT64_MIN is the largest a negative may have.
        if (v > uint64_t{1} << 63) return false;
        out = v == uint64_t{1} << 63 ? INT64_MIN : -static_cast<int64_t>(v);
        return true;
    }
    out = v > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(v);
    return true;
}

}  // namespace

std::optional<ProcStat> parseProcStat(std::string_view text) {
    // The command name may hold blanks, parentheses and newlines; it ends at
    // the last ')' of the text, since no later field can contain one.
    const size_t open = text.find(" (");
    const void* last = text.empty() ? nullptr : memrchr(text.data(), ')', text.size());
    const size_t close = last ? static_cast<size_t>(static_cast<const char*>(last) - text.data())
                              : std::string_view::npos;
    if (open == std::string_view::npos || close == std::string_view::npos || close < open + 1)
        return std::nullopt;
    auto pid = parseInt(text.substr(0, open));
    if (!pid || *pid < 0) return std::nullopt;

    ProcStat st;
    st.pid = *pid;
    st.comm.assign(text.substr(open + 2, close - open - 2));
    // Fields are separated by blanks (spaces or tabs); the state is one
    // character.
    const char* p = text.data() + close + 1;
    const char* const end = text.data() + text.size();
    while (p < end && isBlank(*p)) ++p;
    const char* const state = p;
    while (p < end && !isBlank(*p)) ++p;
    if (p - state != 1) return st;
    st.state = *state;
    int n = 3;
    while (n < ProcStat::kLastField) {
        while (p < end && isBlank(*p)) ++p;
        int64_t v = 0;
        if (p == end || !statNumber(p, end, v)) break;
        ++n;
        st.values[static_cast<size_t>(n)] = v;
    }
    st.fieldCount = n;
    return st;
}

namespace {

// "Key:\tvalue" lines; calls f(key, value) with the value as it stands
// (trimmed by the callback for the keys it wants). A callback that returns
// bool ends the walk by returning false.
template <class F>
void forEachKeyLine(std::string_view text, F f) {
    Splitter lines(text, '\n');
    std::string_view line;
    while (lines.next(line)) {
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view key = line.substr(0, colon), value = line.substr(colon + 1);
        if constexpr (std::is_same_v<decltype(f(key, value)), bool>) {
            if (!f(key, value)) return;
        } else {
            f(key, value);
        }
    }
}

// "123 kB" or "123" as a number of KB.
std::optional<uint64_t> parseKb(std::string_view v) {
    Words words(v);
    std::string_view num;
    if (!words.next(num)) return std::nullopt;
    return parseUInt(num);
}

std::optional<uint32_t> firstId(std::string_view v) {
    Words words(v);
    std::string_view w;
    if (!words.next(w)) return std::nullopt;
    auto n = parseUInt(w);
    if (!n || *n > UINT32_MAX) return std::nullopt;
    return static_cast<uint32_t>(*n);
}

std::optional<uint32_t> secondId(std::string_view v) {
    Words words(v);
    std::string_view w;
    if (!words.next(w) || !words.next(w)) return std::nullopt;
    auto n = parseUInt(w);
    if (!n || *n > UINT32_MAX) return std::nullopt;
    return static_cast<uint32_t>(*n);
}

}  // namespace

ProcStatus parseProcStatus(std::string_view text) {
    ProcStatus s;
    // The lines read here come before the signal masks and processor lists
    // that make up the rest of the file: once each has been seen, the walk
    // stops. (A kernel thread has no memory lines and is read to the end.)
    constexpr unsigned kAll = (1u << 11) - 1;
    unsigned seen = 0;
    forEachKeyLine(text, [&](std::string_view key, std::string_view raw) {
        const auto v = [raw] { return trimmed(raw); };
        unsigned bit = 0;
        if (key == "Tgid") {
            s.tgid = parseInt(v());
            bit = 1u << 0;
        } else if (key == "PPid") {
            s.ppid = parseInt(v());
            bit = 1u << 1;
        } else if (key == "Threads") {
            s.threads = parseInt(v());
            bit = 1u << 2;
        } else if (key == "Uid") {
            s.realUid = firstId(v());
            s.effectiveUid = secondId(v());
            bit = 1u << 3;
        } else if (key == "Gid") {
            s.realGid = firstId(v());
            bit = 1u << 4;
        } else if (key == "VmPeak") {
            s.vmPeakKb = parseKb(v());
            bit = 1u << 5;
        } else if (key == "VmSize") {
            s.vmSizeKb = parseKb(v());
            bit = 1u << 6;
        } else if (key == "VmHWM") {
            s.vmHwmKb = parseKb(v());
            bit = 1u << 7;
        } else if (key == "VmRSS") {
            s.vmRssKb = parseKb(v());
            bit = 1u << 8;
        } else if (key == "RssAnon") {
            s.rssAnonKb = parseKb(v());
            bit = 1u << 9;
        } else if (key == "VmSwap") {
            s.vmSwapKb = parseKb(v());
            bit = 1u << 10;
        }
        seen |= bit;
        return seen != kAll;
    });
    return s;
}

std::vector<std::string_view> parseCmdline(std::string_view text) {
    std::vector<std::string_view> args;
    if (!text.empty() && text.back() == '\0') text.remove_suffix(1);
    if (text.empty()) return args;
    Splitter parts(text, '\0');
    std::string_view a;
    while (parts.next(a)) args.push_back(a);
    return args;
}

std::string joinCommandLine(std::string_view cmdline) {
    if (!cmdline.empty() && cmdline.back() == '\0') cmdline.remove_suffix(1);
    // Empty leading arguments add no blank; every later one does.
    const size_t first = cmdline.find_first_not_of('\0');
    if (first == std::string_view::npos) return {};
    std::string out(cmdline.substr(first));
    std::replace(out.begin(), out.end(), '\0', ' ');
    return out;
}

ProcIo parseProcIo(std::string_view text) {
    ProcIo io;
    forEachKeyLine(text, [&](std::string_view key, std::string_view raw) {
        const std::string_view v = trimmed(raw);
        if (key == "rchar")
            io.rchar = parseUInt(v);
        else if (key == "wchar")
            io.wchar = parseUInt(v);
        else if (key == "syscr")
            io.syscr = parseUInt(v);
        else if (key == "syscw")
            io.syscw = parseUInt(v);
        else if (key == "read_bytes")
            io.readBytes = parseUInt(v);
        else if (key == "write_bytes")
            io.writeBytes = parseUInt(v);
    });
    return io;
}

MemInfo parseMemInfo(std::string_view text) {
    MemInfo m;
    forEachKeyLine(text, [&](std::string_view key, std::string_view raw) {
        const std::string_view v = trimmed(raw);
        if (key == "MemTotal")
            m.memTotal = parseKb(v);
        else if (key == "MemFree")
            m.memFree = parseKb(v);
        else if (key == "MemAvailable")
            m.memAvailable = parseKb(v);
        else if (key == "Buffers")
            m.buffers = parseKb(v);
        else if (key == "Cached")
            m.cached = parseKb(v);
        else if (key == "SwapTotal")
            m.swapTotal = parseKb(v);
        else if (key == "SwapFree")
            m.swapFree = parseKb(v);
        else if (key == "CommitLimit")
            m.commitLimit = parseKb(v);
        else if (key == "Committed_AS")
            m.committedAs = parseKb(v);
    });
    return m;
}

std::optional<int64_t> parseBootTime(std::string_view procStat) {
    Splitter lines(procStat, '\n');
    std::string_view line;
    while (lines.next(line)) {
        Words words(line);
        std::string_view key, value;
        if (words.next(key) && key == "btime" && words.next(value)) return parseInt(value);
    }
    return std::nullopt;
}

std::optional<double> parseUptime(std::string_view text) {
    Words words(text);
    std::string_view w;
    if (!words.next(w)) return std::nullopt;
    if (!w.empty() && w.back() == '\n') w.remove_suffix(1);
    double v = 0;
    auto [p, ec] = std::from_chars(w.data(), w.data() + w.size(), v);
    if (ec != std::errc() || p != w.data() + w.size() || v < 0) return std::nullopt;
    return v;
}

std::vector<std::pair<std::string_view, std::string_view>> parseEnvironBlock(
    std::string_view text) {
    std::vector<std::pair<std::string_view, std::string_view>> out;
    Splitter parts(text, '\0');
    std::string_view e;
    while (parts.next(e)) {
        const size_t eq = e.find('=');
        // An entry without '=' or with an empty name is not a variable.
        if (eq == std::string_view::npos || eq == 0) continue;
        out.emplace_back(e.substr(0, eq), e.substr(eq + 1));
    }
    return out;
}

}  // namespace wbem
