// The /proc parsers on literal text, hostile and malformed input included.
#include "wbem/providers/proc_parsers.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace wbem {
namespace {

using namespace std::string_literals;

// 52 fields as a 6.x kernel writes them, after "pid (comm) state".
const std::string kTail =
    " 1 1234 1234 34816 1234 4194560 1000 0 5 0 120 30 0 0 20 0 3 0 5000 12345678 800 "
    "18446744073709551615 94 95 96 97 98 0 0 0 65536 0 0 0 17 1 0 0 0 0 0 99 100 101 102 103 "
    "104 105 0\n";

struct StatCase {
    const char* label;
    std::string text;
    bool parses;
    std::string comm;
    char state;
    std::optional<int64_t> ppid, pgrp, numThreads, startTime, rss, processor;
};

class ProcStatTest : public ::testing::TestWithParam<StatCase> {};

TEST_P(ProcStatTest, ParsesFieldsItHas) {
    const StatCase& c = GetParam();
    auto st = parseProcStat(c.text);
    ASSERT_EQ(st.has_value(), c.parses);
    if (!st) return;
    EXPECT_EQ(st->comm, c.comm);
    EXPECT_EQ(st->state, c.state);
    EXPECT_EQ(st->field(StatField::Ppid), c.ppid);
    EXPECT_EQ(st->field(StatField::Pgrp), c.pgrp);
    EXPECT_EQ(st->field(StatField::NumThreads), c.numThreads);
    EXPECT_EQ(st->field(StatField::StartTime), c.startTime);
    EXPECT_EQ(st->field(StatField::Rss), c.rss);
    EXPECT_EQ(st->field(StatField::Processor), c.processor);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProcStatTest,
    ::testing::Values(
        StatCase{"plain", "1234 (bash) S" + kTail, true, "bash", 'S', 1, 1234, 3, 5000, 800, 1},
        // The name may hold blanks, parentheses and newlines; it ends at the last ')'.
        StatCase{"hostile_name", "42 (a (b) c\nd) R" + kTail, true, "a (b) c\nd", 'R', 1, 1234, 3,
                 5000, 800, 1},
        StatCase{"name_is_paren", "7 ()) Z" + kTail, true, ")", 'Z', 1, 1234, 3, 5000, 800, 1},
        StatCase{"empty_name", "8 () I" + kTail, true, "", 'I', 1, 1234, 3, 5000, 800, 1},
        StatCase{"cut_after_state", "9 (x) S", true, "x", 'S', {}, {}, {}, {}, {}, {}},
        StatCase{"cut_in_fields", "9 (x) S 1 2", true, "x", 'S', 1, 2, {}, {}, {}, {}},
        StatCase{"cut_after_name", "9 (x)", true, "x", '?', {}, {}, {}, {}, {}, {}},
        StatCase{
            "garbage_field_ends_list", "9 (x) S 1 two 3 4", true, "x", 'S', 1, {}, {}, {}, {}, {}},
        StatCase{"bad_state", "9 (x) SS 1 2", true, "x", '?', {}, {}, {}, {}, {}, {}},
        StatCase{"empty", "", false, "", '?', {}, {}, {}, {}, {}, {}},
        StatCase{"no_name", "1234 bash S 1", false, "", '?', {}, {}, {}, {}, {}, {}},
        StatCase{"unterminated_name", "1234 (bash S 1 2", false, "", '?', {}, {}, {}, {}, {}, {}},
        StatCase{"negative_pid", "-5 (x) S 1", false, "", '?', {}, {}, {}, {}, {}, {}},
        StatCase{"pid_not_number", "abc (x) S 1", false, "", '?', {}, {}, {}, {}, {}, {}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(ProcStatTest, HugeUnsignedCounterDoesNotEndTheList) {
    // rsslim (field 25) is the unlimited 2^64-1; the fields after it still count.
    auto st = parseProcStat("1 (init) S" + kTail);
    ASSERT_TRUE(st);
    EXPECT_EQ(st->values[25], INT64_MAX);
    EXPECT_EQ(st->field(StatField::Policy), 0);
    EXPECT_EQ(st->field(StatField::RtPriority), 0);
    EXPECT_EQ(st->fieldCount, ProcStat::kLastField);
}

TEST(ProcStatTest, NumberFieldsAtTheirEdges) {
    // The second field (pgrp) in each of its forms; a form that is not a
    // number ends the list there, so the third (session) is then missing.
    struct Case {
        std::string field;
        std::optional<int64_t> value;
    };
    const Case cases[] = {
        {"0", 0},
        {"-0", 0},
        {"007", 7},
        {"-12", -12},
        {"9223372036854775807", INT64_MAX},
        {"9223372036854775808", INT64_MAX},
        {"18446744073709551615", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
        {"00000000000000000000000042", 42},
        {"18446744073709551616", std::nullopt},
        {"-9223372036854775809", std::nullopt},
        {"-18446744073709551615", std::nullopt},
        {"+5", std::nullopt},
        {"-", std::nullopt},
        {"--5", std::nullopt},
        {"5x", std::nullopt},
        {"\n", std::nullopt},
        {"4\n", 4},
        {"4\n\n", std::nullopt},
        {"4\nx", std::nullopt},
        {"4\t", 4},
    };
    for (const Case& c : cases) {
        auto st = parseProcStat("9 (x) S 1 " + c.field + " 3\n");
        ASSERT_TRUE(st) << c.field;
        EXPECT_EQ(st->field(StatField::Pgrp), c.value) << c.field;
        EXPECT_EQ(st->field(StatField::Session), c.value ? std::optional<int64_t>(3) : std::nullopt)
            << c.field;
    }
}

TEST(ProcStatusTest, ReadsTheFieldsAndToleratesJunk) {
    const std::string text =
        "Name:\tweird name\n"
        "Umask:\t0022\n"
        "State:\tS (sleeping)\n"
        "Tgid:\t4321\n"
        "PPid:\t1\n"
        "Uid:\t1000\t1001\t1002\t1003\n"
        "Gid:\t100\t100\t100\t100\n"
        "VmPeak:\t  20000 kB\n"
        "VmSize:\t  18000 kB\n"
        "VmHWM:\t   9000 kB\n"
        "VmRSS:\t   abc kB\n"
        "RssAnon:\t   3000 kB\n"
        "no colon on this line\n"
        "VmSwap:\t    500 kB\n"
        "Threads:\t7\n";
    ProcStatus s = parseProcStatus(text);
    EXPECT_EQ(s.tgid, 4321);
    EXPECT_EQ(s.ppid, 1);
    EXPECT_EQ(s.realUid, 1000u);
    EXPECT_EQ(s.effectiveUid, 1001u);
    EXPECT_EQ(s.realGid, 100u);
    EXPECT_EQ(s.vmPeakKb, 20000u);
    EXPECT_EQ(s.vmSizeKb, 18000u);
    EXPECT_EQ(s.vmHwmKb, 9000u);
    EXPECT_FALSE(s.vmRssKb);  // malformed
    EXPECT_EQ(s.rssAnonKb, 3000u);
    EXPECT_EQ(s.vmSwapKb, 500u);
    EXPECT_EQ(s.threads, 7);
}

TEST(ProcStatusTest, ReadsEveryFieldWhateverTheirOrder) {
    // The kernel's order puts Threads last of these; text in another order
    // must not end the reading before every field has been seen. Each
    // rotation of the lines puts another one last.
    const std::vector<std::string> lines = {"Tgid:\t11",        "PPid:\t10",     "Uid:\t8\t9\t8\t8",
                                            "Gid:\t7\t7\t7\t7", "VmPeak:\t6 kB", "VmSize:\t5 kB",
                                            "VmHWM:\t4 kB",     "VmRSS:\t3 kB",  "RssAnon:\t2 kB",
                                            "VmSwap:\t1 kB",    "Threads:\t2",   "SigQ:\t0/100"};
    const auto fields = [](const ProcStatus& s) {
        return std::tuple(s.tgid, s.ppid, s.realUid, s.effectiveUid, s.realGid, s.vmPeakKb,
                          s.vmSizeKb, s.vmHwmKb, s.vmRssKb, s.rssAnonKb, s.vmSwapKb, s.threads);
    };
    const auto expected = fields(ProcStatus{11, 10, 2, 8, 9, 7, 6, 5, 4, 3, 2, 1});
    for (size_t first = 0; first < lines.size(); ++first) {
        std::string text;
        for (size_t i = 0; i < lines.size(); ++i) text += lines[(first + i) % lines.size()] + "\n";
        EXPECT_EQ(fields(parseProcStatus(text)), expected) << text;
    }
}

TEST(ProcStatusTest, TruncatedAndEmptyTextGiveEmptyFields) {
    ProcStatus cut = parseProcStatus("Tgid:\t12\nPPid:\t");
    EXPECT_EQ(cut.tgid, 12);
    EXPECT_FALSE(cut.ppid);
    EXPECT_FALSE(cut.realUid);
    ProcStatus empty = parseProcStatus("");
    EXPECT_FALSE(empty.tgid);
    EXPECT_FALSE(empty.vmPeakKb);
    // A kernel thread has no memory lines at all.
    ProcStatus kthread = parseProcStatus("Name:\tkworker/0:1\nTgid:\t20\nThreads:\t1\n");
    EXPECT_FALSE(kthread.vmHwmKb);
    EXPECT_EQ(kthread.threads, 1);
}

TEST(CmdlineTest, SplitsAndJoinsArguments) {
    struct Case {
        std::string text;
        std::vector<std::string> args;
        std::string joined;
    };
    const Case cases[] = {
        {"bash\0-c\0echo hi\0"s, {"bash", "-c", "echo hi"}, "bash -c echo hi"},
        {"no-terminator\0last"s, {"no-terminator", "last"}, "no-terminator last"},
        {"a\0\0b\0"s, {"a", "", "b"}, "a  b"},
        {"\0\0a\0b\0"s, {"", "", "a", "b"}, "a b"},
        {"a\0\0"s, {"a", ""}, "a "},
        {"\0\0\0"s, {"", "", ""}, ""},
        {""s, {}, ""},
        {"\0"s, {}, ""},
        {"nginx: worker process"s, {"nginx: worker process"}, "nginx: worker process"},
    };
    for (const Case& c : cases) {
        auto args = parseCmdline(c.text);
        std::vector<std::string> got(args.begin(), args.end());
        EXPECT_EQ(got, c.args);
        EXPECT_EQ(joinCommandLine(c.text), c.joined);
    }
}

TEST(ProcIoTest, ReadsCounters) {
    ProcIo io = parseProcIo(
        "rchar: 100\nwchar: 200\nsyscr: 3\nsyscw: 4\nread_bytes: 4096\nwrite_bytes: x\n");
    EXPECT_EQ(io.rchar, 100u);
    EXPECT_EQ(io.wchar, 200u);
    EXPECT_EQ(io.syscr, 3u);
    EXPECT_EQ(io.syscw, 4u);
    EXPECT_EQ(io.readBytes, 4096u);
    EXPECT_FALSE(io.writeBytes);
}

TEST(MemInfoTest, ReadsFiguresInKb) {
    MemInfo m = parseMemInfo(
        "MemTotal:       24683716 kB\nMemFree:        20000000 kB\n"
        "MemAvailable:   22000000 kB\nBuffers:          100 kB\nCached:  2000 kB\n"
        "SwapTotal:             0 kB\nSwapFree:              0 kB\n"
        "HugePages_Total:       0\n");
    EXPECT_EQ(m.memTotal, 24683716u);
    EXPECT_EQ(m.memAvailable, 22000000u);
    EXPECT_EQ(m.swapTotal, 0u);
    EXPECT_FALSE(m.commitLimit);
}

TEST(BootTimeTest, FindsTheBtimeLine) {
    EXPECT_EQ(parseBootTime("cpu  1 2 3\ncpu0 1 2 3\nintr 5\nbtime 1700000000\nprocesses 9\n"),
              1700000000);
    EXPECT_FALSE(parseBootTime("cpu 1 2 3\n"));
    EXPECT_FALSE(parseBootTime("btime\n"));
    EXPECT_FALSE(parseBootTime("btime soon\n"));
    // A line that merely starts with the word is not it.
    EXPECT_FALSE(parseBootTime("btimex 5\n"));
}

TEST(UptimeTest, ReadsTheFirstFigure) {
    EXPECT_DOUBLE_EQ(*parseUptime("12345.67 54321.00\n"), 12345.67);
    EXPECT_DOUBLE_EQ(*parseUptime("5.5\n"), 5.5);
    EXPECT_FALSE(parseUptime(""));
    EXPECT_FALSE(parseUptime("-1 2"));
    EXPECT_FALSE(parseUptime("abc 2"));
}

TEST(EnvironBlockTest, SplitsVariablesAndSkipsJunk) {
    const std::string block = "PATH=/bin:/usr/bin\0EMPTY=\0=nameless\0junk\0A=b=c\0"s;
    auto vars = parseEnvironBlock(block);
    ASSERT_EQ(vars.size(), 3u);
    EXPECT_EQ(vars[0].first, "PATH");
    EXPECT_EQ(vars[0].second, "/bin:/usr/bin");
    EXPECT_EQ(vars[1].first, "EMPTY");
    EXPECT_EQ(vars[1].second, "");
    EXPECT_EQ(vars[2].first, "A");
    EXPECT_EQ(vars[2].second, "b=c");
}

}  // namespace
}  // namespace wbem
