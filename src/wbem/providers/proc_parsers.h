// Parsers of the /proc files the process, thread and operating-system
// providers read. Each takes the file's text and returns a typed record;
// fields that are missing or malformed stay empty instead of failing the
// whole record, so a truncated file yields what it holds.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wbem {

// Fields of /proc/<pid>/stat, numbered as proc(5) numbers them (1 = pid,
// 2 = comm, 3 = state).
enum class StatField : int {
    Ppid = 4,
    Pgrp = 5,
    Session = 6,
    TtyNr = 7,
    Flags = 9,
    MinFlt = 10,
    MajFlt = 12,
    UTime = 14,
    STime = 15,
    Priority = 18,
    Nice = 19,
    NumThreads = 20,
    StartTime = 22,
    VSize = 23,
    Rss = 24,
    Processor = 39,
    RtPriority = 40,
    Policy = 41,
};

struct ProcStat {
    static constexpr int kLastField = 41;  // the last one read (policy)

    int64_t pid = 0;
    std::string comm;  // raw bytes between the first '(' and the last ')'
    char state = '?';  // '?' when the field is missing

    std::optional<int64_t> field(StatField f) const;
    // Fields 4.. in order; a field that is absent or not a number ends the list.
    std::array<int64_t, kLastField + 1> values{};
    int fieldCount = 3;  // number of the last field present
};

// Nullopt when the text does not even start with "pid (comm)".
std::optional<ProcStat> parseProcStat(std::string_view text);

struct ProcStatus {
    std::optional<int64_t> tgid, ppid, threads;
    std::optional<uint32_t> realUid, effectiveUid, realGid;
    // Memory figures in KB.
    std::optional<uint64_t> vmPeakKb, vmSizeKb, vmHwmKb, vmRssKb, rssAnonKb, vmSwapKb;
};
ProcStatus parseProcStatus(std::string_view text);

// Arguments of /proc/<pid>/cmdline (NUL-separated, usually NUL-terminated).
std::vector<std::string_view> parseCmdline(std::string_view text);
// The arguments joined with single blanks, as ps shows them; empty for none.
std::string joinCommandLine(std::string_view cmdline);

struct ProcIo {
    std::optional<uint64_t> rchar, wchar, syscr, syscw, readBytes, writeBytes;
};
ProcIo parseProcIo(std::string_view text);

// /proc/meminfo, figures in KB.
struct MemInfo {
    std::optional<uint64_t> memTotal, memFree, memAvailable, buffers, cached, swapTotal, swapFree,
        commitLimit, committedAs;
};
MemInfo parseMemInfo(std::string_view text);

// The "btime" line of /proc/stat: boot time in seconds since the epoch.
std::optional<int64_t> parseBootTime(std::string_view procStat);

// First figure of /proc/uptime, in seconds.
std::optional<double> parseUptime(std::string_view text);

// A "KEY=value" list separated by NUL bytes (/proc/<pid>/environ).
std::vector<std::pair<std::string_view, std::string_view>> parseEnvironBlock(std::string_view text);

}  // namespace wbem
