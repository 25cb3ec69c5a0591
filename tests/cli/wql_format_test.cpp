// wql's -format: and -sort: on a real query result.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/wql_run.h"
#include "wbem/service/hosts.h"
#include "wql_test_run.h"

namespace {

const char* kMof = R"(
class Row { [key] uint32 Id; string Name; sint32 Score; string Note; };
instance of Row { Id = 1; Name = "pear"; Score = 10; Note = "b"; };
instance of Row { Id = 2; Name = "Apple"; Score = -1; Note = "a, \"quoted\""; };
instance of Row { Id = 3; Name = "fig"; Score = -5; Note = "b"; };
instance of Row { Id = 4; Name = "apple"; Score = 9; Note = "a <b> & c"; };
)";

using wqltest::Result;

Result run(std::vector<std::string> args) {
    args.insert(args.begin(), "-host:sorthost");
    return wqltest::run(args);
}

class WqlFormat : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { wbem::registerTestHost("sorthost", kMof); }
    static void TearDownTestSuite() { wbem::unregisterTestHost("sorthost"); }
};

TEST_F(WqlFormat, SortsByNameOrNumberWithTheResultTablesRule) {
    struct Case {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        // Without -sort: the rows come as the result gave them.
        {{"-format:csv"}, "Id,Score\r\n1,10\r\n2,-1\r\n3,-5\r\n4,9\r\n"},
        // Numbers compare by value, not as text.
        {{"-format:csv", "-sort:Score"}, "Id,Score\r\n3,-5\r\n2,-1\r\n4,9\r\n1,10\r\n"},
        {{"-format:csv", "-sort:2:desc"}, "Id,Score\r\n1,10\r\n4,9\r\n2,-1\r\n3,-5\r\n"},
        {{"-format:tsv", "-sort:score:desc"}, "Id\tScore\r\n1\t10\r\n4\t9\r\n2\t-1\r\n3\t-5\r\n"},
        {{"-format:table", "-sort:1:desc"}, "Id  Score\n4   9\n3   -5\n2   -1\n1   10\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.push_back("select Id, Score from Row");
        const Result r = run(args);
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, c.out) << c.args.back();
    }
}

TEST_F(WqlFormat, TextSortsByteByByteAndEqualKeysKeepTheirOrder) {
    struct Case {
        const char* sort;
        std::string out;
    } cases[] = {
        {"-sort:Name", "Id,Name\r\n2,Apple\r\n4,apple\r\n3,fig\r\n1,pear\r\n"},
        {"-sort:Name:desc", "Id,Name\r\n1,pear\r\n3,fig\r\n4,apple\r\n2,Apple\r\n"},
    };
    for (const auto& c : cases) {
        const Result r = run({"-format:csv", c.sort, "select Id, Name from Row"});
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, c.out) << c.sort;
    }
    // Rows 1 and 3 share the note "b": 1 stays before 3 in either direction.
    const Result up = run({"-format:csv", "-sort:Note", "select Id, Note from Row"});
    EXPECT_EQ(up.out, "Id,Note\r\n4,a <b> & c\r\n2,\"a, \"\"quoted\"\"\"\r\n1,b\r\n3,b\r\n");
    const Result down = run({"-format:csv", "-sort:Note:desc", "select Id, Note from Row"});
    EXPECT_EQ(down.out, "Id,Note\r\n1,b\r\n3,b\r\n2,\"a, \"\"quoted\"\"\"\r\n4,a <b> & c\r\n");
}

TEST_F(WqlFormat, HtmlReportNamesHostNamespaceAndQueryAndKeepsTheSortOrder) {
    const Result r = run({"-format:html", "-sort:Name:desc", "  select Id, Name, Note from Row  "});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("<html><head>", 0), 0u);
    EXPECT_NE(r.out.find("Host: sorthost<br>Name space: root\\cimv2<br>"
                         "Query: <b>select Id, Name, Note from Row</b>"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("&nbsp;a &lt;b&gt; &amp; c &nbsp;"), std::string::npos);
    std::vector<size_t> at;
    for (const char* name : {"pear", "fig", "apple", "Apple"})
        at.push_back(r.out.find(std::string("&nbsp;") + name + " &nbsp;"));
    for (size_t i = 0; i < at.size(); ++i) ASSERT_NE(at[i], std::string::npos) << i;
    EXPECT_TRUE(std::is_sorted(at.begin(), at.end())) << "rows not in descending order";
    EXPECT_EQ(r.out.substr(r.out.size() - 20), "</a></body></html>\r\n");
}

TEST_F(WqlFormat, AColumnTheResultDoesNotHaveIsAUsageError) {
    struct Case {
        const char* sort;
        const char* err;
    } cases[] = {
        {"-sort:Nope", "wql: -sort:Nope: no such column; the result's columns are: Id, Score\n"},
        {"-sort:3:desc", "wql: -sort:3: the result has 2 columns\n"},
    };
    for (const auto& c : cases) {
        const Result r = run({"-format:csv", c.sort, "select Id, Score from Row"});
        EXPECT_EQ(r.code, 2) << c.sort;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
    }
    // A result without rows has no columns to check the name against.
    const Result empty = run({"-sort:Nope", "select Id from Row where Id = 99"});
    EXPECT_EQ(empty.code, 0) << empty.err;
}

}  // namespace

namespace {

// Values a local user or a remote host chose: a terminal escape, a bare CR
// that would overwrite the line, a two-line value and a formula.
const char* kHostileMof = R"(
class Row { [key] uint32 Id; string Note; };
instance of Row { Id = 1; Note = "\x1B]0;owned\x07red"; };
instance of Row { Id = 2; Note = "=cmd|' /C calc'!A0"; };
instance of Row { Id = 3; Note = "paid\rvoid"; };
instance of Row { Id = 4; Note = "two\r\nlines"; };
)";

}  // namespace

TEST(WqlFormatHostile, ATerminalGetsNoControlCharactersAFileEveryByte) {
    wbem::registerTestHost("hostilehost", kHostileMof);
    struct Case {
        const char* format;
        bool toTerminal;
        std::vector<std::string> expected;  // parts of the output, in order
    } cases[] = {
        {"csv",
         true,
         {"Id,Note\r\n1,?]0;owned?red\r\n2,'=cmd|' /C calc'!A0\r\n3,paid?void\r\n"
          "4,\"two\r\nlines\"\r\n"}},
        // A file keeps every byte but for the formula's quote.
        {"csv",
         false,
         {"Id,Note\r\n1,\x1B]0;owned\x07red\r\n2,'=cmd|' /C calc'!A0\r\n3,\"paid\rvoid\"\r\n"
          "4,\"two\r\nlines\"\r\n"}},
        {"tsv", true, {"Id\tNote\r\n1\t?]0;owned?red\r\n2\t'=cmd|' /C calc'!A0\r\n"}},
        {"html", true, {"&nbsp;?]0;owned?red &nbsp;", "&nbsp;paid?void &nbsp;"}},
        {"html", false, {"&nbsp;\x1B]0;owned\x07red &nbsp;", "&nbsp;paid\rvoid &nbsp;"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.format) + (c.toTerminal ? " to a terminal" : " to a file"));
        std::string error;
        auto o = cli::parseWqlOptions(
            {"-host:hostilehost", std::string("-format:") + c.format, "select Id, Note from Row"},
            error);
        ASSERT_TRUE(o) << error;
        o->toTerminal = c.toTerminal;
        std::ostringstream out, err;
        ASSERT_EQ(cli::runWql(*o, out, err), 0) << err.str();
        size_t at = 0;
        for (const std::string& part : c.expected) {
            at = out.str().find(part, at);
            ASSERT_NE(at, std::string::npos)
                << testing::PrintToString(part) << " in " << testing::PrintToString(out.str());
        }
        if (c.toTerminal) {
            EXPECT_EQ(out.str().find_first_of("\x1B\x07"), std::string::npos)
                << testing::PrintToString(out.str());
        }
    }
    wbem::unregisterTestHost("hostilehost");
}
