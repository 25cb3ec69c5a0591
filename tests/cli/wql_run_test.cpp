#include "cli/wql_run.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "file_kinds.h"
#include "temp_folder.h"
#include "test_hosts.h"
#include "wbem/service/hosts.h"
#include "wql_test_run.h"

namespace {

// A user on a UTF-8 desktop: the locale is read once, when first asked.
const bool kUtf8Desktop = setenv("LC_ALL", "C.UTF-8", 1) == 0;

const char* kMof = R"(
class Item { [key] string Name; uint32 Size; string Note; };
instance of Item { Name = "b"; Size = 20; Note = "two\nlines"; };
instance of Item { Name = "a"; Size = 1; };
instance of Item { Name = "horse"; Note = "\x017D" "lu\x0165ou\x010Dk\x00FD k\x016F\x0148"; };
)";

using wqltest::Result;
using wqltest::run;

class WqlRun : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { wbem::registerTestHost("wqlhost", kMof, "u", "p"); }
    static void TearDownTestSuite() { wbem::unregisterTestHost("wqlhost"); }
};

}  // namespace

TEST_F(WqlRun, PrintsTheSelectedColumnsAsATable) {
    auto r = run({"-host:wqlhost", "-user:u", "-pswd:p", "select Size, Name, Note from Item"});
    EXPECT_EQ(r.code, 0) << r.err;
    // Columns come in WMI's property order; line breaks in a value stay on their row.
    // The host does not say its code page: this machine's (UTF-8) is taken.
    ASSERT_TRUE(kUtf8Desktop);
    EXPECT_EQ(r.out,
              "Name   Note           Size\n"
              "b      two lines      20\n"
              "a                     1\n"
              "horse  \xC5\xBDlu\xC5\xA5ou\xC4\x8Dk\xC3\xBD k\xC5\xAF\xC5\x88\n");
}

TEST_F(WqlRun, RendersValuesInTheChosenCodePage) {
    struct Case {
        const char* codePage;
        std::string note;
    } cases[] = {
        {"-codepage:1250", "\x8E\x6C\x75\x9D\x6F\x75\xE8\x6B\xFD\x20\x6B\xF9\xF2"},
        {"-codepage:1252", "\x8E\x6C\x75\x3F\x6F\x75\x3F\x6B\xFD\x20\x6B\x3F\x3F"},
        {"-codepage:65001",
         "\xC5\xBD"
         "lu\xC5\xA5ou\xC4\x8Dk\xC3\xBD k\xC5\xAF\xC5\x88"},
    };
    for (const auto& c : cases) {
        auto r = run({"-host:wqlhost", "-user:u", "-pswd:p", c.codePage,
                      "select Note from Item where Name = 'horse'"});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, "Note\n" + c.note + "\n") << c.codePage;
    }
}

TEST_F(WqlRun, ListsClassesSorted) {
    auto r = run({"-host:wqlhost", "-user:u", "-pswd:p", "-classes"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("\nItem\n"), std::string::npos);
    EXPECT_LT(r.out.find("__EventFilter"), r.out.find("__NAMESPACE"));
}

TEST_F(WqlRun, ReportsWmiErrorsWithTheirDescription) {
    struct Case {
        std::vector<std::string> args;
        const char* err;
    } cases[] = {
        {{"-host:wqlhost", "-user:u", "-pswd:x", "select * from Item"}, "Error: Access denied\n"},
        {{"-host:wqlhost", "-user:u", "-pswd:p", "select * from Nope"}, "Error: Invalid class\n"},
        {{"-host:wqlhost", "-user:u", "-pswd:p", "select * from Item group by Name"},
         "Error: Invalid query\n"},
        {{"-host:elsewhere.invalid", "select * from Item"},
         "Error: The RPC server is unavailable.\n"},
        {{"-namespace:root\\nothing", "select * from Item"}, "Error: Invalid namespace\n"},
        {{"-user:me", "select * from Item"},
         "Error: User credentials cannot be used for local connections\n"},
    };
    for (const auto& c : cases) {
        auto r = run(c.args);
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(WqlRun, CompilesMofIntoANewNamespaceAndWritesToAFile) {
    std::string dir = ::testing::TempDir();
    std::string mof = dir + "/wql_run_extra.mof";
    std::string out = dir + "/wql_run_out.txt";
    std::ofstream(mof) << "class Extra { [key] uint32 Id; };\ninstance of Extra { Id = 7; };\n";
    auto r = run({"-namespace:root\\wqltest", "-mof:" + mof, "-out:" + out, "select * from Extra"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "");
    std::ifstream in(out);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "Id\n7\n");

    std::ofstream(mof) << "class Broken : Missing { };\n";
    r = run({"-namespace:root\\wqltest", "-mof:" + mof, "-classes"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("wql_run_extra.mof"), std::string::npos) << r.err;
    std::remove(mof.c_str());
    std::remove(out.c_str());
}

TEST_F(WqlRun, ConnectsWithTheRemoteOptionsGiven) {
    wmitest::RecordingLocators locators;
    auto r = run({"-host:wqlhost", "-user:u", "-pswd:p", "-auth:kerberos", "-cacert:ca.pem",
                  "-unencrypted", "select Name from Item"});
    EXPECT_EQ(r.code, 0) << r.err;
    wmitest::Recorder& rec = locators.recorder();
    ASSERT_GE(rec.connects.size(), 2u) << "the code page, then the query";
    for (const auto& c : rec.connects) {
        ASSERT_TRUE(c.options.has_value());
        EXPECT_EQ(c.options->auth, wbem::AuthMethod::Kerberos);
        EXPECT_EQ(c.options->caFile, "ca.pem");
        EXPECT_TRUE(c.options->allowUnencrypted);
    }
}

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST_F(WqlRun, AFailedRunLeavesTheOutputFileAsItWas) {
    const std::string dir = ::testing::TempDir();
    const std::string out = dir + "/wql_keep.csv";
    const std::string mof = dir + "/wql_keep.mof";
    const struct {
        const char* what;
        std::vector<std::string> args;
        int code;
    } cases[] = {
        {"a failed query", {"-host:wqlhost", "-user:u", "-pswd:p", "select * from NoSuch"}, 1},
        {"a column to sort by that is not there",
         {"-host:wqlhost", "-user:u", "-pswd:p", "-sort:NoCol", "select Name from Item"},
         2},
        {"an unreachable host", {"-host:nowhere.invalid", "select * from Item"}, 1},
        {"the output is the MOF input", {"-mof:" + out, "select * from Item"}, 2},
        {"a MOF file that does not compile", {"-mof:" + mof, "select * from Item"}, 1},
    };
    std::ofstream(mof) << "class Broken : Missing { };\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(out, std::ios::binary) << "old,contents\r\n";
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), "-out:" + out);
        const Result r = run(args);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_EQ(slurp(out), "old,contents\r\n");
    }
    // Only the file itself is left behind, no half-written sibling.
    size_t siblings = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        siblings += e.path().filename().string().rfind("wql_keep.csv", 0) == 0;
    EXPECT_EQ(siblings, 1u);

    // A run that succeeds replaces it, keeping its mode.
    ::chmod(out.c_str(), 0640);
    const Result ok = run({"-out:" + out, "-host:wqlhost", "-user:u", "-pswd:p", "-format:csv",
                           "select Name from Item where Name = 'a'"});
    ASSERT_EQ(ok.code, 0) << ok.err;
    EXPECT_EQ(slurp(out), "Name\r\na\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    std::remove(out.c_str());
    std::remove(mof.c_str());
}

TEST_F(WqlRun, OutputErrorsSayWhy) {
    // Many rows, so that the writer meets the full disk before the end.
    std::string mof = "class Big { [key] uint32 Id; string Text; };\n";
    for (int i = 0; i < 2000; ++i)
        mof += "instance of Big { Id = " + std::to_string(i) + "; Text = \"" +
               std::string(60, 'x') + "\"; };\n";
    wbem::registerTestHost("bighost", mof);
    const struct {
        const char* file;
        std::vector<std::string> args;
        const char* reason;
    } cases[] = {
        {"/nonexistent/dir/x.csv",
         {"-host:wqlhost", "-user:u", "-pswd:p", "select Name from Item"},
         "Error: cannot write /nonexistent/dir/x.csv: No such file or directory\n"},
        {"/dev/full",
         {"-host:wqlhost", "-user:u", "-pswd:p", "select Name from Item"},
         "Error: cannot write /dev/full: No space left on device\n"},
        {"/dev/full",
         {"-host:bighost", "-format:csv", "select * from Big"},
         "Error: cannot write /dev/full: No space left on device\n"},
        {"/dev/full",
         {"-host:bighost", "-format:html", "select * from Big"},
         "Error: cannot write /dev/full: No space left on device\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), "-out:" + std::string(c.file));
        const Result r = run(args);
        EXPECT_EQ(r.code, 1) << c.file;
        EXPECT_EQ(r.err, c.reason);
    }
    wbem::unregisterTestHost("bighost");
}

// A run that succeeds gives the file its new contents the way the settings
// file gets them: links, other names, owner and mode stay; a read-only file
// is refused, a folder that takes no new file gets the file rewritten in place.
TEST_F(WqlRun, TheOutputFileKeepsWhatTheUserSetOnIt) {
    filekinds::expectEveryKindKeepsWhatTheUserSet(
        "out.csv", "real.csv", "old\r\n", "Name\r\na\r\n", [](const std::string& out) {
            const Result r = run({"-out:" + out, "-host:wqlhost", "-user:u", "-pswd:p",
                                  "-format:csv", "select Name from Item where Name = 'a'"});
            EXPECT_EQ(r.err,
                      r.code == 0 ? "" : "Error: cannot write " + out + ": Permission denied\n");
            return r.code == 0;
        });
}

// What is no regular file is written directly, as it is: a pipe named
// through /dev/fd, standard output named /dev/stdout while it appends to a
// file, a terminal (which gets no control characters).
TEST(WqlRunDirect, TargetsThatAreNoRegularFileAreWrittenAsTheyAre) {
    wbem::registerTestHost("ttyhost", R"(
class Row { [key] uint32 Id; string Note; };
instance of Row { Id = 1; Note = "\x1B[2Jred"; };
)");
    const std::vector<std::string> query = {"-host:ttyhost", "-format:csv",
                                            "select Id, Note from Row"};
    const std::string file = "Id,Note\r\n1,\x1B[2Jred\r\n";
    const auto runTo = [&](const std::string& target) {
        std::vector<std::string> args = query;
        args.insert(args.begin(), "-out:" + target);
        return run(args);
    };

    // A pipe: the output arrives through it.
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    Result r = runTo("/dev/fd/" + std::to_string(pipeFds[1]));
    ::close(pipeFds[1]);
    EXPECT_EQ(r.code, 0) << r.err;
    std::string got(4096, '\0');
    got.resize(size_t(std::max<ssize_t>(0, ::read(pipeFds[0], got.data(), got.size()))));
    ::close(pipeFds[0]);
    EXPECT_EQ(got, file);

    // Standard output appending to a file: appended to, not replaced.
    TempFolder folder;
    const std::string log = folder.file("log.txt");
    writeBytes(log, "earlier\n");
    const auto inode = filekinds::statOf(log)->st_ino;
    std::fflush(stdout);
    const int savedOut = ::dup(STDOUT_FILENO);
    const int logFd = ::open(log.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(logFd, 0);
    ::dup2(logFd, STDOUT_FILENO);
    r = runTo("/dev/stdout");
    ::dup2(savedOut, STDOUT_FILENO);
    ::close(savedOut);
    ::close(logFd);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(readBytes(log), "earlier\n" + file);
    EXPECT_EQ(filekinds::statOf(log)->st_ino, inode);

    // A terminal: its control characters shown as '?'.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string terminal = ::ptsname(master);
    const int slave = ::open(terminal.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    termios raw{};
    ASSERT_EQ(::tcgetattr(slave, &raw), 0);
    ::cfmakeraw(&raw);
    ASSERT_EQ(::tcsetattr(slave, TCSANOW, &raw), 0);
    r = runTo(terminal);
    EXPECT_EQ(r.code, 0) << r.err;
    got.assign(4096, '\0');
    got.resize(size_t(std::max<ssize_t>(0, ::read(master, got.data(), got.size()))));
    EXPECT_EQ(got, "Id,Note\r\n1,?[2Jred\r\n");
    ::close(slave);
    ::close(master);
    wbem::unregisterTestHost("ttyhost");
}

// A host that cannot be reached is tried once: asking it for its code page
// and then for the query would make the user wait for two failures.
TEST_F(WqlRun, AnUnreachableHostIsTriedOnce) {
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(server, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(server, 16), 0);
    socklen_t length = sizeof address;
    ::getsockname(server, reinterpret_cast<sockaddr*>(&address), &length);
    // Not a WinRM server: every connection is closed at once.
    std::atomic<int> connections{0};
    std::atomic<bool> done{false};
    std::thread acceptor([&] {
        while (!done) {
            pollfd p{server, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const int c = ::accept(server, nullptr, nullptr);
            if (c >= 0) ++connections, ::close(c);
        }
    });
    const Result r =
        run({"-host:http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)), "-user:u",
             "-pswd:p", "-unencrypted", "-auth:basic", "select Name from Win32_Process"});
    done = true;
    acceptor.join();
    ::close(server);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("RPC server is unavailable"), std::string::npos) << r.err;
    EXPECT_EQ(connections, 1);
}
