#include "settings/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "settings/program_dir.h"
#include "temp_folder.h"

namespace {

using settings::AddToHistory;
using settings::AuthLevelAccess;
using settings::Histories;
using settings::HistoryList;
using settings::LoadSettings;
using settings::ProfileFile;
using settings::SaveSettings;

// Histories as the windows hold them before the settings are read.
Histories builtIn() {
    Histories h;
    h.host = {"localhost"};
    return h;
}

struct Level {
    int32_t value = 0;
    AuthLevelAccess access() {
        return {[this] { return value; }, [this](int32_t v) { value = v; }};
    }
};

HistoryList numbered(const std::string& stem, int n) {
    HistoryList list;
    for (int i = 0; i < n; ++i) list.push_back(stem + std::to_string(i));
    return list;
}

TEST(AddToHistory, MovesOrInsertsTheTrimmedTextAtTheTop) {
    struct Case {
        const char* what;
        HistoryList before;
        std::string text;
        bool added;
        HistoryList after;
    } cases[] = {
        {"into an empty list", {}, "q1", true, {"q1"}},
        {"a new text goes first", {"a", "b"}, "c", true, {"c", "a", "b"}},
        {"the same text twice leaves one entry", {"q"}, "q", true, {"q"}},
        {"an equal entry moves to the top", {"a", "b", "c"}, "c", true, {"c", "a", "b"}},
        {"letter case makes another entry",
         {"select * from x"},
         "SELECT * FROM x",
         true,
         {"SELECT * FROM x", "select * from x"}},
        {"blanks and control characters are trimmed", {"q"}, " \t q \r\n", true, {"q"}},
        {"inner blanks stay", {}, "  a  b  ", true, {"a  b"}},
        {"only the first equal entry goes", {"a", "b", "a"}, "a", true, {"a", "b", "a"}},
        {"empty text is ignored", {"a"}, "", false, {"a"}},
        {"blank text is ignored", {"a"}, " \t\r\n", false, {"a"}},
    };
    for (auto& c : cases) {
        HistoryList list = c.before;
        EXPECT_EQ(AddToHistory(list, c.text), c.added) << c.what;
        EXPECT_EQ(list, c.after) << c.what;
    }
}

TEST(AddToHistory, KeepsEveryEntryInMemory) {
    HistoryList list;
    for (int i = 0; i < 20; ++i) AddToHistory(list, "query " + std::to_string(i));
    ASSERT_EQ(list.size(), 20u);
    EXPECT_EQ(list.front(), "query 19");
    EXPECT_EQ(list.back(), "query 0");
}

TEST(LoadSettings, EachHistoryFollowsItsRuleBeforeReading) {
    ProfileFile file = ProfileFile::fromText(
        "[QueryHistory]\r\nCount=1\r\nQuery0=select Name from Win32_Service\r\n"
        "[SearchHistory]\r\nCount=1\r\nText0=found\r\n"
        "[HostHistory]\r\nCount=2\r\nText0=server1\r\nText1=server2\r\n"
        "[NSpaceHistory]\r\nCount=1\r\nText0=root\\default\r\n");
    Histories h;
    h.query = {"left from before"};
    h.search = {"typed earlier"};
    h.host = {"localhost"};
    h.nspace = {"root\\wmi"};
    Level level;
    LoadSettings(file, h, level.access());
    EXPECT_EQ(h.query, (HistoryList{"select Name from Win32_Service"}));
    EXPECT_EQ(h.search, (HistoryList{"typed earlier", "found"}));
    EXPECT_EQ(h.host, (HistoryList{"server1", "server2"}));
    EXPECT_EQ(h.nspace, (HistoryList{"root\\wmi", "root\\default"}));
}

TEST(LoadSettings, HostListKeepsLocalhostWithoutAStoredCount) {
    const char* files[] = {
        "",
        "[HostHistory]\nCount=0\nText0=server\n",
        "[HostHistory]\nText0=server\n",
        "[HostHistory]\nCount=-3\n",
        "[HostHistory]\nCount=x\nText0=server\n",
    };
    for (const char* text : files) {
        Histories h = builtIn();
        Level level;
        LoadSettings(ProfileFile::fromText(text), h, level.access());
        EXPECT_EQ(h.host, HistoryList{"localhost"}) << text;
    }
}

TEST(LoadSettings, EntriesAreTakenByIndexUpToCount) {
    struct Case {
        const char* what;
        std::string section;
        HistoryList expected;
    } cases[] = {
        {"gaps are skipped, order kept", "Count=3\nQuery0=a\nQuery2=c\n", {"a", "c"}},
        {"order of the index, not of the lines",
         "Count=3\nQuery2=c\nQuery0=a\nQuery1=b\n",
         {"a", "b", "c"}},
        {"entries at or past Count are ignored",
         "Count=2\nQuery0=a\nQuery1=b\nQuery2=c\n",
         {"a", "b"}},
        {"Count larger than the entries present", "Count=50\nQuery0=a\nQuery1=b\n", {"a", "b"}},
        {"empty entries are skipped", "Count=3\nQuery0=a\nQuery1=\nQuery2=\"\"\n", {"a"}},
        {"no Count, no entries", "Query0=a\n", {}},
        {"key names ignore case", "COUNT=2\nquery0=a\nQUERY1=b\n", {"a", "b"}},
        {"a duplicate key: the first counts", "Count=1\nQuery0=a\nQuery0=b\n", {"a"}},
        {"leading zeros name no entry", "Count=2\nQuery00=a\nQuery01=b\nQuery1=c\n", {"c"}},
        {"other keys are ignored", "Count=2\nQueryX=a\nQuery-1=b\nQuery 1=c\nQuery0=d\n", {"d"}},
        {"stored texts as read: no trimming inside quotes", "Count=1\nQuery0=\" q \"\n", {" q "}},
        {"quotes that enclose the text are read away", "Count=1\nQuery0='q'\n", {"q"}},
        {"no limit of 15 when reading",
         "Count=20\nQuery0=q0\nQuery1=q1\nQuery2=q2\n"
         "Query3=q3\nQuery4=q4\nQuery5=q5\nQuery6=q6\n"
         "Query7=q7\nQuery8=q8\nQuery9=q9\nQuery10=q10\n"
         "Query11=q11\nQuery12=q12\nQuery13=q13\n"
         "Query14=q14\nQuery15=q15\nQuery16=q16\n"
         "Query17=q17\nQuery18=q18\nQuery19=q19\n",
         numbered("q", 20)},
    };
    for (const auto& c : cases) {
        Histories h = builtIn();
        Level level;
        LoadSettings(ProfileFile::fromText("[QueryHistory]\n" + c.section), h, level.access());
        EXPECT_EQ(h.query, c.expected) << c.what;
    }
}

TEST(LoadSettings, AHugeCountReadsTheEntriesPresent) {
    Histories h = builtIn();
    Level level;
    LoadSettings(ProfileFile::fromText("[QueryHistory]\nCount=2147483647\nQuery5=x\n"
                                       "Query2147483646=last\nQuery2147483647=beyond\n"),
                 h, level.access());
    EXPECT_EQ(h.query, (HistoryList{"x", "last"}));
}

TEST(LoadSettings, AuthenticationLevelIsReadUnchecked) {
    struct Case {
        const char* file;
        int32_t current;
        int32_t expected;
    } cases[] = {
        {"[WMI]\nAuthenticationLevel=6\n", 0, 6},
        {"[wmi]\nauthenticationlevel=3\n", 0, 3},
        {"[WMI]\nAuthenticationLevel=9\n", 0, 9},  // out of range, used as is
        {"[WMI]\nAuthenticationLevel=-1\n", 0, -1},
        {"[WMI]\nAuthenticationLevel=x\n", 4, 4},
        {"[WMI]\nAuthenticationLevel=\n", 4, 4},
        {"[WMI]\n", 2, 2},
        {"", 5, 5},
    };
    for (const auto& c : cases) {
        Histories h = builtIn();
        Level level{c.current};
        LoadSettings(ProfileFile::fromText(c.file), h, level.access());
        EXPECT_EQ(level.value, c.expected) << c.file;
    }
}

TEST(LoadSettings, AMissingFileChangesOnlyTheQueryList) {
    TempFolder folder;
    Histories h = builtIn();
    h.query = {"q"};
    h.search = {"s"};
    h.nspace = {"root\\cimv2"};
    Level level{3};
    LoadSettings(ProfileFile::load(folder.file("cimscope.ini")), h, level.access());
    EXPECT_TRUE(h.query.empty());
    EXPECT_EQ(h.search, HistoryList{"s"});
    EXPECT_EQ(h.host, HistoryList{"localhost"});
    EXPECT_EQ(h.nspace, HistoryList{"root\\cimv2"});
    EXPECT_EQ(level.value, 3);
}

TEST(SaveSettings, WritesAtMost15EntriesInAFixedLayout) {
    Histories h;
    for (int i = 0; i < 20; ++i) AddToHistory(h.query, "q" + std::to_string(i));
    h.search = {"s"};
    h.host = {"localhost"};
    ProfileFile file;
    SaveSettings(file, h);
    std::string expected = "[QueryHistory]\r\nCount=15\r\n";
    for (int i = 0; i < 15; ++i)
        expected += "Query" + std::to_string(i) + "=q" + std::to_string(19 - i) + "\r\n";
    expected +=
        "\r\n[SearchHistory]\r\nCount=1\r\nText0=s\r\n"
        "\r\n[HostHistory]\r\nCount=1\r\nText0=localhost\r\n"
        "\r\n[NSpaceHistory]\r\nCount=0\r\n";
    EXPECT_EQ(file.text(), expected);
}

TEST(SaveSettings, KeysOfALongerSaveStayButCountHidesThem) {
    Histories h;
    h.query = numbered("old", 5);
    ProfileFile file;
    SaveSettings(file, h);
    h.query = {"new"};
    SaveSettings(file, h);
    EXPECT_EQ(file.readString("QueryHistory", "Query4", ""), "old4");
    EXPECT_EQ(file.readInteger("QueryHistory", "Count", -1), 1);

    Histories loaded;
    Level level;
    LoadSettings(file, loaded, level.access());
    EXPECT_EQ(loaded.query, HistoryList{"new"});
}

TEST(SaveSettings, HistoriesSurviveARestart) {
    TempFolder folder;
    std::string path = folder.file("cimscope.ini");
    Histories before = builtIn();
    for (int i = 0; i < 20; ++i) AddToHistory(before.query, "select * from C" + std::to_string(i));
    AddToHistory(before.search, "\"exact phrase\"");
    AddToHistory(before.search, "'quoted'");
    AddToHistory(before.host, "server");
    AddToHistory(before.nspace, "root\\cimv2");
    AddToHistory(before.nspace, "root\\default");
    settings::WindowPlacement placement;
    placement.normalPosition = {10, 20, 734, 491};
    ASSERT_TRUE(settings::WriteSettingsFile(path, before, placement, {1024, 768, 96}));

    Histories after = builtIn();
    Level level;
    LoadSettings(ProfileFile::load(path), after, level.access());
    EXPECT_EQ(after.query, HistoryList(before.query.begin(), before.query.begin() + 15));
    EXPECT_EQ(after.search, before.search);  // quotes and all
    EXPECT_EQ(after.host, (HistoryList{"server", "localhost"}));
    EXPECT_EQ(after.nspace, before.nspace);
}

TEST(WriteSettingsFile, ForeignContentSurvivesByteForByte) {
    TempFolder folder;
    std::string path = folder.file("cimscope.ini");
    const std::string before =
        "; Cimscope settings, edited by hand\r\n"
        "[WMI]\r\n"
        "AuthenticationLevel = 6\r\n"
        "\r\n"
        "[QueryHistory]\r\n"
        "Count=2\r\n"
        "Query0=select * from Win32_Service\r\n"
        "Query1=select * from Win32_Process\r\n"
        "Query2=left from an older save\r\n"
        "\r\n"
        "[SomebodyElse]\r\n"
        "   strange line\r\n"
        "Key=\"kept quoted\"\r\n";
    writeBytes(path, before);
    Histories h = builtIn();
    h.query = {"select * from Win32_Process", "select * from Win32_Service"};
    settings::WindowPlacement placement;
    placement.normalPosition = {1, 2, 300, 400};
    ASSERT_TRUE(settings::WriteSettingsFile(path, h, placement, {800, 600, 96}));

    const std::string expected =
        "; Cimscope settings, edited by hand\r\n"
        "[WMI]\r\n"
        "AuthenticationLevel = 6\r\n"
        "\r\n"
        "[QueryHistory]\r\n"
        "Count=2\r\n"
        "Query0=select * from Win32_Process\r\n"
        "Query1=select * from Win32_Service\r\n"
        "Query2=left from an older save\r\n"
        "\r\n"
        "[SomebodyElse]\r\n"
        "   strange line\r\n"
        "Key=\"kept quoted\"\r\n"
        "\r\n[SearchHistory]\r\nCount=0\r\n"
        "\r\n[HostHistory]\r\nCount=1\r\nText0=localhost\r\n"
        "\r\n[NSpaceHistory]\r\nCount=0\r\n"
        "\r\n[TMainWin]\r\nFormVersion=0\r\nFlags=0\r\nShowCmd=1\r\nPixelsPerInch=96\r\n"
        "MinMaxPos(800x600)=-1,-1,-1,-1\r\nMinMaxPos=-1,-1,-1,-1\r\n"
        "NormPos(800x600)=1,2,300,400\r\nNormPos=1,2,300,400\r\nVisible=0\r\n";
    EXPECT_EQ(readBytes(path), expected);
    EXPECT_EQ(folder.names(), std::set<std::string>{"cimscope.ini"});
}

TEST(WriteSettingsFile, ReportsAFileThatCannotBeWritten) {
    TempFolder folder;
    std::string dir = folder.file("cimscope.ini");
    std::filesystem::create_directory(dir);
    EXPECT_FALSE(settings::WriteSettingsFile(dir, builtIn(), {}, {1024, 768, 96}));
    EXPECT_FALSE(settings::WriteSettingsFile(folder.file("missing/cimscope.ini"), builtIn(), {},
                                             {1024, 768, 96}));
}

TEST(ProgramDir, IsTheFolderOfTheRunningProgram) {
    const std::string& dir = settings::ProgramDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_EQ(dir.front(), '/');
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_TRUE(std::filesystem::equivalent(dir + exe.filename().string(), exe));
    EXPECT_EQ(settings::SettingsFileName(), dir + "cimscope.ini");
    EXPECT_EQ(settings::SettingsFileName("/opt/cimscope/"), "/opt/cimscope/cimscope.ini");
}

}  // namespace
