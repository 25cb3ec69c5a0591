// RunQuery and QueryValues against a test host.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "test_hosts.h"
#include "test_mof.h"
#include "wmi/bw_variant.h"
#include "wmi/bw_wmi.h"

namespace {

// A user on a UTF-8 desktop: the locale is read once, when first asked.
const bool kUtf8Desktop = setenv("LC_ALL", "C.UTF-8", 1) == 0;

using wmi::ResultTable;
using wmi::TextList;
using wmi::TWMI;
using wmitest::RecordingLocators;
using wmitest::ScopedHost;

const std::string kCzech1250 =
    "\x8E\x6C\x75\x9D\x6F\x75\xE8\x6B\xFD\x20\x6B\xF9\xF2";  // "Žluťoučký kůň"

class Query : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { shop_ = new ScopedHost("wmi-query", wmitest::kShopMof); }
    static void TearDownTestSuite() { delete shop_; }

    static TWMI wmiObject() {
        TWMI w;
        w.SetHost("wmi-query");
        w.CodePage = 1250;  // one that holds the Czech letters in other bytes than UTF-8
        return w;
    }
    static std::string cell(const ResultTable& t, int r, int c) {
        return t.Cells.at(static_cast<size_t>(r * t.ColumnCount + c));
    }

    static ScopedHost* shop_;
};

ScopedHost* Query::shop_ = nullptr;

TEST_F(Query, SelectedPropertiesBecomeColumnsInWmiOrder) {
    TWMI w = wmiObject();
    ResultTable t;
    ASSERT_TRUE(w.RunQuery("select Weight, Name, Id from Gadget", t)) << w.LastError;
    EXPECT_EQ(t.Columns, (TextList{"Id", "Name", "Weight"}));
    ASSERT_EQ(t.ColumnCount, 3);
    ASSERT_EQ(t.RowCount, 1);
    EXPECT_EQ(t.Cells, (TextList{"2", kCzech1250, "7"}));
}

TEST_F(Query, ABaseClassQueryTakesTheColumnsOfTheFirstWidestObject) {
    // Item (Id, Name), then Gadget (Color, Id, Name, Weight), then Gizmo
    // (COLOR, Id, Name, Size): Gadget is the first of the widest.
    TWMI w = wmiObject();
    ResultTable t;
    ASSERT_TRUE(w.RunQuery("select * from Item", t)) << w.LastError;
    ASSERT_EQ(t.Columns, (TextList{"Color", "Id", "Name", "Weight"}));
    ASSERT_EQ(t.RowCount, 3);
    ASSERT_EQ(t.Cells.size(), 12u);
    EXPECT_EQ((TextList(t.Cells.begin(), t.Cells.begin() + 4)), (TextList{"", "1", "plain", ""}));
    EXPECT_EQ((TextList(t.Cells.begin() + 4, t.Cells.begin() + 8)),
              (TextList{"red", "2", kCzech1250, "7"}));
    // Gizmo's COLOR lands in the Color column; its Size has no column.
    EXPECT_EQ((TextList(t.Cells.begin() + 8, t.Cells.end())), (TextList{"blue", "3", "gizmo", ""}));
}

TEST_F(Query, CellsAreRenderedInTheObjectsCodePage) {
    TWMI w = wmiObject();
    ResultTable t;
    ASSERT_TRUE(w.RunQuery("select * from Values where Id = 1", t)) << w.LastError;
    ASSERT_EQ(t.Columns, (TextList{"Arr", "B", "Dt", "Id", "Nothing", "R", "Text"}));
    ASSERT_EQ(t.RowCount, 1);
    EXPECT_EQ(t.Cells, (TextList{"array[0..2]", "True", "20240131123456.000000+060", "1", "",
                                 wmi::RenderValue(wbem::Variant::real64(0.5), 1250), kCzech1250}));
    w.CodePage = 1252;
    ASSERT_TRUE(w.RunQuery("select Text from Values where Id = 1", t));
    EXPECT_EQ(t.Cells, TextList{"\x8E\x6C\x75?ou?k\xFD k??"});
    w.CodePage = 65001;
    ASSERT_TRUE(w.RunQuery("select Text from Values where Id = 1", t));
    EXPECT_EQ(t.Cells, TextList{"Žluťoučký kůň"});
}

TEST_F(Query, EachRowKeepsItsObjectsPathWhenAskedEmptyWhenASelectionLeavesOutItsKey) {
    const std::string at = "\\\\WMI-QUERY\\root\\cimv2:";
    const struct {
        const char* query;
        TextList paths;
    } cases[] = {
        {"select * from Item", {at + "Item.Id=1", at + "Gadget.Id=2", at + "Gizmo.Id=3"}},
        {"select Name, Id from Item where Id > 1", {at + "Gadget.Id=2", at + "Gizmo.Id=3"}},
        {"select Name from Item", {"", "", ""}},
    };
    TWMI w = wmiObject();
    for (const auto& c : cases) {
        ResultTable t;
        ASSERT_TRUE(w.RunQuery(c.query, t, {true})) << c.query << ": " << w.LastError;
        EXPECT_EQ(t.Paths, c.paths) << c.query;
        // Not asked for, the paths are not read, and none are left from before.
        const TextList cells = t.Cells;
        ASSERT_TRUE(w.RunQuery(c.query, t)) << c.query << ": " << w.LastError;
        EXPECT_TRUE(t.Paths.empty()) << c.query;
        EXPECT_EQ(t.Cells, cells) << c.query;
    }
}

TEST_F(Query, AStopRaisedWhileARemoteHostKeepsSilentEndsTheWait) {
    // A WBEM server that takes the connection (the kernel's backlog) and
    // never answers: only the stop ends the call before its minute is up.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_TRUE(fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), len) == 0 &&
                ::listen(fd, 4) == 0 &&
                ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0);
    TWMI w;
    w.SetHost("cimxml://127.0.0.1:" + std::to_string(ntohs(a.sin_port)));
    w.remote.operationTimeoutMs = 120000;
    std::atomic<bool> stop{false};
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop = true;
    });
    ResultTable t;
    EXPECT_FALSE(w.RunQuery("select * from CIM_Process", t, {false, &stop}));
    stopper.join();
    ::close(fd);
    EXPECT_EQ(w.LastError, "Error: Call cancelled");
}

TEST_F(Query, ARaisedStopFlagEndsTheRunAsCancelled) {
    TWMI w = wmiObject();
    std::atomic<bool> stop{true};
    ResultTable t{{"old"}, {"old"}, 5, 5, {"old"}};
    EXPECT_FALSE(w.RunQuery("select * from Item", t, {true, &stop}));
    EXPECT_EQ(w.LastError, "Error: Call cancelled");
    EXPECT_EQ(t.RowCount, 0);
    EXPECT_TRUE(t.Paths.empty());
    stop = false;
    ASSERT_TRUE(w.RunQuery("select * from Item", t, {true, &stop})) << w.LastError;
    EXPECT_EQ(t.RowCount, 3);
}

TEST_F(Query, AnEmptyResultIsATableWithoutColumnsOrRows) {
    TWMI w = wmiObject();
    ResultTable t{{"old"}, {"old"}, 5, 5, {"old"}};
    ASSERT_TRUE(w.RunQuery("select * from Lonely", t)) << w.LastError;
    EXPECT_TRUE(t.Columns.empty());
    EXPECT_TRUE(t.Cells.empty());
    EXPECT_EQ(t.ColumnCount, 0);
    EXPECT_EQ(t.RowCount, 0);
    EXPECT_TRUE(t.Paths.empty());
}

TEST_F(Query, FailuresArePrefixedWithError) {
    const struct {
        const char* query;
        wbem::HResult code;
    } cases[] = {
        {"select from where", wbem::hr::InvalidQuery},
        {"select * from NoSuchClass", wbem::hr::InvalidClass},
    };
    TWMI w = wmiObject();
    for (const auto& c : cases) {
        ResultTable t{{"old"}, {"old"}, 5, 5, {"old"}};
        EXPECT_FALSE(w.RunQuery(c.query, t)) << c.query;
        EXPECT_EQ(w.LastError, std::string("Error: ") + wbem::WbemError(c.code).what());
        EXPECT_TRUE(t.Columns.empty());
        EXPECT_TRUE(t.Paths.empty());
        EXPECT_EQ(t.RowCount, 0);
    }
    w.SetHost("no-such-host.invalid");
    ResultTable t;
    EXPECT_FALSE(w.RunQuery("select * from Item", t));
    EXPECT_EQ(w.LastError, "Error: The RPC server is unavailable.");
}

TEST_F(Query, AResultThatBreaksDownIsAFailureNotAShorterTable) {
    RecordingLocators locators;
    locators.recorder().breakAfter = 2;
    TWMI w = wmiObject();
    ResultTable t;
    EXPECT_FALSE(w.RunQuery("select * from Item", t));
    EXPECT_EQ(w.LastError, "Error: Provider failure");
}

struct ValuesCase {
    const char* what;
    const char* nspace;
    bool all;
    const char* clause;
    const char* property;
    const char* className;
    bool found;
    std::string text;
};

TEST_F(Query, QueryValuesFetchesOnePropertyAsText) {
    const ValuesCase cases[] = {
        {"first value", "root\\cimv2", false, "", "Name", "Item", true, "plain"},
        {"all values, no trailing break", "root\\cimv2", true, "", "Name", "Item", true,
         "plain\r\n" + kCzech1250 + "\r\ngizmo"},
        {"extra clause", "root\\cimv2", true, "where Id > 1", "Id", "Item", true, "2\r\n3"},
        {"trimmed", "root\\cimv2", false, "where Id = 2", "Text", "Values", true, "padded"},
        {"no value is found but empty", "root\\cimv2", false, "", "Nothing", "Values", true, ""},
        {"no objects", "root\\cimv2", false, "", "Id", "Lonely", false, "not found"},
        {"child namespaces", "root", true, "", "Name", "__NAMESPACE", true, "cimv2"},
        {"bad class", "root\\cimv2", false, "", "Id", "NoSuchClass", false,
         std::string("Error: ") + wbem::WbemError(wbem::hr::InvalidClass).what()},
        {"bad namespace", "root\\none", false, "", "Id", "Item", false, "Error: Invalid namespace"},
    };
    for (const auto& c : cases) {
        std::string out = "old";
        EXPECT_EQ(wmi::QueryValues("wmi-query", c.nspace, "", out, 1250, c.all, c.clause,
                                   c.property, c.className, ""),
                  c.found)
            << c.what;
        EXPECT_EQ(out, c.text) << c.what;
    }
}

TEST_F(Query, QueryValuesBoundsTheConnectionWait) {
    RecordingLocators locators;
    wmitest::Recorder& rec = locators.recorder();
    wmi::AuthenticationLevel = 4;
    std::string out;
    EXPECT_TRUE(
        wmi::QueryValues("wmi-query", "root\\cimv2", "", out, 1250, false, "", "Id", "Item", ""));
    wmi::AuthenticationLevel = 0;
    ASSERT_EQ(rec.connects.size(), 1u);
    EXPECT_EQ(rec.connects[0].securityFlags, 128);
    EXPECT_EQ(rec.connects[0].levelAtConnect, 4);
    EXPECT_FALSE(rec.connects[0].options.has_value());
    EXPECT_FALSE(rec.connects[0].otherContext);
}

TEST_F(Query, QueryValuesPassesTheRemoteOptions) {
    RecordingLocators locators;
    wmitest::Recorder& rec = locators.recorder();
    wbem::RemoteOptions options;
    options.auth = wbem::AuthMethod::Ntlm;
    options.caFile = "ca.pem";
    std::string out;
    EXPECT_TRUE(wmi::QueryValues("wmi-query", "root\\cimv2", "", out, 1250, false, "", "Id", "Item",
                                 "", &options));
    EXPECT_EQ(out, "1");
    ASSERT_EQ(rec.connects.size(), 1u);
    ASSERT_TRUE(rec.connects[0].options.has_value());
    EXPECT_EQ(rec.connects[0].options->auth, wbem::AuthMethod::Ntlm);
    EXPECT_EQ(rec.connects[0].options->caFile, "ca.pem");
    EXPECT_FALSE(rec.connects[0].options->allowUnencrypted);
}

}  // namespace
