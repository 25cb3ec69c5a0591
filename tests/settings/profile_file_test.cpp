#include "settings/profile_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "temp_folder.h"

namespace {

using settings::ProfileFile;

ProfileFile loadText(const TempFolder& folder, const std::string& bytes) {
    std::string path = folder.file("cimscope.ini");
    writeBytes(path, bytes);
    return ProfileFile::load(path);
}

struct ReadCase {
    const char* what;
    std::string file;
    const char* section;
    const char* key;
    std::optional<std::string> expected;
};

TEST(ProfileRead, ValuesFollowTheProfileRules) {
    const ReadCase cases[] = {
        {"plain", "[S]\r\nKey=value\r\n", "S", "Key", "value"},
        {"blanks and tabs around", "[S]\r\nKey =  \t value \t \r\n", "S", "Key", "value"},
        {"blanks around the key", "[S]\n   Key   =1\n", "S", "Key", "1"},
        {"double quotes", "[S]\nKey=\"quoted value\"\n", "S", "Key", "quoted value"},
        {"single quotes", "[S]\nKey='x'\n", "S", "Key", "x"},
        {"quotes keep inner blanks", "[S]\nKey=  \" padded \"  \n", "S", "Key", " padded "},
        {"unmatched quotes stay", "[S]\nKey=\"abc'\n", "S", "Key", "\"abc'"},
        {"a lone quote stays", "[S]\nKey=\"\n", "S", "Key", "\""},
        {"only the outer pair goes", "[S]\nKey=\"\"abc\"\"\n", "S", "Key", "\"abc\""},
        {"inner quotes stay", "[S]\nKey=a \"b\" c\n", "S", "Key", "a \"b\" c"},
        {"quote at one end only", "[S]\nKey=\"abc\n", "S", "Key", "\"abc"},
        {"empty quotes", "[S]\nKey=\"\"\n", "S", "Key", ""},
        {"empty value is found", "[S]\nKey=\n", "S", "Key", ""},
        {"value holding =", "[S]\nKey=a=b\n", "S", "Key", "a=b"},
        {"section name case", "[queryhistory]\nCount=3\n", "QueryHistory", "Count", "3"},
        {"key name case", "[S]\nCOUNT=3\n", "S", "count", "3"},
        {"blanks inside brackets", "  [ S ]  \nKey=1\n", "S", "Key", "1"},
        {"first of duplicate keys", "[S]\nKey=1\nkey=2\n", "S", "Key", "1"},
        {"first of duplicate sections", "[S]\nKey=1\n[s]\nKey=2\n", "S", "Key", "1"},
        {"key only in a later duplicate section", "[S]\nA=1\n[S]\nKey=2\n", "S", "Key",
         std::nullopt},
        {"key of another section", "[A]\nKey=1\n[B]\nOther=2\n", "B", "Key", std::nullopt},
        {"line without =", "[S]\nKey\n", "S", "Key", std::nullopt},
        {"comment line", "[S]\n;Key=1\n", "S", "Key", std::nullopt},
        {"comment before the key", "[S]\n ; Key=1\nKey=2\n", "S", "Key", "2"},
        {"key before any section", "Key=1\n[S]\n", "S", "Key", std::nullopt},
        {"missing section", "[S]\nKey=1\n", "T", "Key", std::nullopt},
        {"last line without line end", "[S]\r\nKey=v", "S", "Key", "v"},
        {"UTF-8 byte order mark", "\xEF\xBB\xBF[S]\r\nKey=1\r\n", "S", "Key", "1"},
        {"UTF-8 text", "[S]\nKey=Gr\xC3\xBC\xC3\x9F\n", "S", "Key", "Gr\xC3\xBC\xC3\x9F"},
        {"a bracket line without ] opens no section", "[S]\n[T\nKey=1\n", "S", "Key", "1"},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        ProfileFile file = loadText(folder, c.file);
        EXPECT_EQ(file.state(), ProfileFile::LoadState::Loaded) << c.what;
        EXPECT_EQ(file.read(c.section, c.key), c.expected) << c.what;
    }
}

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

TEST(ProfileRead, LongValuesAreCutTo2047Characters) {
    const std::string e = "\xC3\xA9";  // one character, two bytes
    struct Case {
        const char* what;
        std::string stored;
        std::string expected;
    } cases[] = {
        {"exactly the limit", std::string(2047, 'a'), std::string(2047, 'a')},
        {"one over", std::string(2048, 'b'), std::string(2047, 'b')},
        {"far over", std::string(5000, 'c'), std::string(2047, 'c')},
        {"quotes go before the cut", "\"" + std::string(2100, 'd') + "\"", std::string(2047, 'd')},
        {"a character is never split", std::string(2046, 'e') + e + "f",
         std::string(2046, 'e') + e},
        {"characters, not bytes", repeat(e, 2100), repeat(e, 2047)},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        ProfileFile file = loadText(folder, "[S]\r\nKey=" + c.stored + "\r\nNext=1\r\n");
        EXPECT_EQ(file.readString("S", "Key", "?"), c.expected) << c.what;
        EXPECT_EQ(file.readString("S", "Next", "?"), "1") << c.what;
    }
}

TEST(ProfileRead, IntegersFallBackOnAnythingButADecimalNumber) {
    struct Case {
        const char* stored;  // nullptr: key missing
        int32_t expected;
    } cases[] = {
        {"12", 12},         {"-5", -5},
        {"+7", 7},          {" 42 ", 42},
        {"'9'", 9},         {"", -1},
        {"x", -1},          {"12abc", -1},
        {"1 2", -1},        {"2147483647", 2147483647},
        {"2147483648", -1}, {"-2147483648", INT32_MIN},
        {"0x10", -1},       {"+-3", -1},
        {nullptr, -1},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        std::string text = "[S]\n";
        if (c.stored) text += std::string("N=") + c.stored + "\n";
        ProfileFile file = loadText(folder, text);
        EXPECT_EQ(file.readInteger("S", "N", -1), c.expected) << (c.stored ? c.stored : "missing");
    }
}

TEST(ProfileRead, MissingFileGivesDefaults) {
    TempFolder folder;
    ProfileFile file = ProfileFile::load(folder.file("absent.ini"));
    EXPECT_EQ(file.state(), ProfileFile::LoadState::Missing);
    EXPECT_EQ(file.readString("S", "Key", "dflt"), "dflt");
    EXPECT_EQ(file.readInteger("S", "Key", 7), 7);
    EXPECT_TRUE(file.sectionEntries("S").empty());
}

TEST(ProfileRead, ANonFileInItsPlaceIsUnreadableAndNeverWaitedOn) {
    TempFolder folder;
    std::string dir = folder.file("dir.ini");
    std::filesystem::create_directory(dir);
    EXPECT_EQ(ProfileFile::load(dir).state(), ProfileFile::LoadState::Unreadable);

    // Opening a FIFO for reading would block until a writer came.
    std::string fifo = folder.file("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ProfileFile file = ProfileFile::load(fifo);
    EXPECT_EQ(file.state(), ProfileFile::LoadState::Unreadable);
    EXPECT_EQ(file.readInteger("S", "Key", 3), 3);
}

TEST(ProfileRead, SectionEntriesListsEveryEntryInOrder) {
    ProfileFile file =
        ProfileFile::fromText("[S]\nb=2\n; a=0\nodd line\nA = ' 1 '\nb=3\n[T]\nc=4\n");
    auto entries = file.sectionEntries("s");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].key, "b");
    EXPECT_EQ(entries[0].value, "2");
    EXPECT_EQ(entries[1].key, "A");
    EXPECT_EQ(entries[1].value, " 1 ");
    EXPECT_EQ(entries[2].value, "3");
}

struct Write {
    const char* section;
    const char* key;
    std::string value;
};

struct WriteCase {
    const char* what;
    std::optional<std::string> before;  // nullopt: no file yet
    std::vector<Write> writes;
    std::string after;
};

TEST(ProfileWrite, ChangesOnlyTheLinesItMust) {
    const std::string foreign =
        "; written by hand\r\n"
        "[Other]\r\n"
        "foo = bar \r\n"
        "\r\n"
        "[QueryHistory]\r\n"
        "Count=1\r\n"
        "Query0=old\r\n"
        "  odd line without equals\r\n"
        "[Tail]\r\n"
        "x=1\r\n";
    std::string replaced = foreign;
    replaced.replace(replaced.find("Query0=old"), 10, "Query0=new");

    const WriteCase cases[] = {
        {"in place, every other byte kept", foreign, {{"QueryHistory", "query0", "new"}}, replaced},
        {"in place keeps the key's spelling and spacing",
         "[S]\n  Key = old \n",
         {{"s", "KEY", "new"}},
         "[S]\n  Key = new\n"},
        {"first of duplicate keys", "[S]\nK=1\nK=2\n", {{"S", "K", "9"}}, "[S]\nK=9\nK=2\n"},
        {"append after the section's last line, before blank lines",
         "[S]\r\na=1\r\n\r\n[T]\r\nb=2\r\n",
         {{"S", "c", "3"}},
         "[S]\r\na=1\r\nc=3\r\n\r\n[T]\r\nb=2\r\n"},
        {"append after a trailing comment of the section",
         "[S]\na=1\n; note\n[T]\n",
         {{"S", "c", "3"}},
         "[S]\na=1\n; note\nc=3\n[T]\n"},
        {"append to an empty section", "[S]\n[T]\n", {{"S", "k", "v"}}, "[S]\nk=v\n[T]\n"},
        {"append to a last line without line end",
         "[S]\na=1",
         {{"S", "b", "2"}},
         "[S]\na=1\nb=2\n"},
        {"append a section to an LF file",
         "[S]\na=1\n",
         {{"New", "k", "v"}},
         "[S]\na=1\n\n[New]\nk=v\n"},
        {"append a section after a blank last line",
         "[S]\na=1\n\n",
         {{"New", "k", "v"}},
         "[S]\na=1\n\n[New]\nk=v\n"},
        {"append a section after a line without line end",
         "[S]\r\na=1",
         {{"New", "k", "v"}},
         "[S]\r\na=1\r\n\r\n[New]\r\nk=v\r\n"},
        {"a new file gets CR LF",
         std::nullopt,
         {{"New", "k", "v"}, {"New", "j", "w"}},
         "[New]\r\nk=v\r\nj=w\r\n"},
        {"an empty file gets CR LF", "", {{"New", "k", "v"}}, "[New]\r\nk=v\r\n"},
        {"mixed line ends: new lines take the first one",
         "[S]\r\na=1\nb=2\n",
         {{"S", "c", "3"}},
         "[S]\r\na=1\nb=2\nc=3\r\n"},
        {"byte order mark kept",
         "\xEF\xBB\xBF[S]\na=1\n",
         {{"S", "a", "2"}},
         "\xEF\xBB\xBF[S]\na=2\n"},
        {"a line without = is not the key", "[S]\nKey\n", {{"S", "Key", "1"}}, "[S]\nKey\nKey=1\n"},
        {"a commented key is not the key",
         "[S]\n;Key=0\n",
         {{"S", "Key", "1"}},
         "[S]\n;Key=0\nKey=1\n"},
        {"quotes protect what a read would lose",
         "[S]\n",
         {{"S", "a", "\"q\""}, {"S", "b", " x "}, {"S", "c", "'y'"}, {"S", "d", "\"z'"}},
         "[S]\na=\"\"q\"\"\nb=\" x \"\nc=\"'y'\"\nd=\"z'\n"},
        {"line breaks cannot break the file",
         "[S]\n",
         {{"S", "k", "a\r\n[WMI]\r\nAuthenticationLevel=6"}},
         "[S]\nk=a  [WMI]  AuthenticationLevel=6\n"},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        std::string path = folder.file("cimscope.ini");
        std::filesystem::remove(path);
        if (c.before) writeBytes(path, *c.before);
        ProfileFile file = ProfileFile::load(path);
        for (const auto& w : c.writes) EXPECT_TRUE(file.writeString(w.section, w.key, w.value));
        ASSERT_TRUE(file.save()) << c.what;
        EXPECT_EQ(readBytes(path), c.after) << c.what;
    }
}

TEST(ProfileWrite, NamesThatCannotBeWrittenChangeNothing) {
    const std::pair<const char*, const char*> bad[] = {
        {"", "k"},    {"S", ""},   {" S", "k"}, {"S", "k "},  {"S]", "k"},
        {"S", "a=b"}, {"S", "[k"}, {"S", ";k"}, {"S\n", "k"}, {"S", "k\rx"},
    };
    ProfileFile file = ProfileFile::fromText("[S]\nk=1\n");
    for (auto [section, key] : bad) {
        EXPECT_FALSE(file.writeString(section, key, "v")) << section << "/" << key;
    }
    EXPECT_EQ(file.text(), "[S]\nk=1\n");
}

TEST(ProfileWrite, EveryValueReadsBackAsWritten) {
    // Values made of the characters that the profile rules treat specially.
    const std::string alphabet = " \t\"'=;[]ab\x01\xC3\xA9";
    std::mt19937 rng(12345);
    TempFolder folder;
    std::string path = folder.file("cimscope.ini");
    std::vector<std::string> values;
    ProfileFile file = ProfileFile::load(path);
    for (int i = 0; i < 300; ++i) {
        std::string v;
        size_t len = rng() % 12;
        for (size_t k = 0; k < len; ++k) v += alphabet[rng() % alphabet.size()];
        values.push_back(v);
        ASSERT_TRUE(file.writeString("S", "K" + std::to_string(i), v));
    }
    ASSERT_TRUE(file.save());
    ProfileFile again = ProfileFile::load(path);
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(again.read("S", "K" + std::to_string(i)), values[i]) << i;
}

}  // namespace
