#include "wmi/bw_wmi.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "test_hosts.h"
#include "test_mof.h"
#include "wmi/object_access.h"

namespace {

// A user on a UTF-8 desktop: the locale is read once, when first asked.
const bool kUtf8Desktop = setenv("LC_ALL", "C.UTF-8", 1) == 0;

using wmi::TextList;
using wmi::TWMI;
using wmitest::RecordingLocators;
using wmitest::ScopedHost;

class TWMITest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        shop_ = new ScopedHost("wmi-shop", wmitest::kShopMof);
        locked_ = new ScopedHost("wmi-locked", wmitest::kShopMof, "alice", "secret");
    }
    static void TearDownTestSuite() {
        delete shop_;
        delete locked_;
    }
    void TearDown() override { wmi::AuthenticationLevel = 0; }

    static TWMI on(const std::string& host) {
        TWMI w;
        w.SetHost(host);
        return w;
    }

    static ScopedHost* shop_;
    static ScopedHost* locked_;
};

ScopedHost* TWMITest::shop_ = nullptr;
ScopedHost* TWMITest::locked_ = nullptr;

TEST_F(TWMITest, StartsWithTheLocalDefaults) {
    TWMI w;
    EXPECT_EQ(w.Host, ".");
    EXPECT_EQ(w.Namespace, "root\\cimv2");
    ASSERT_TRUE(kUtf8Desktop);
    EXPECT_EQ(w.CodePage, 65001);  // this machine's: UTF-8
    EXPECT_EQ(w.User, "");
    EXPECT_EQ(w.Password, "");
    EXPECT_EQ(w.LastError, "");
}

TEST_F(TWMITest, EmptyHostAndNamespaceFallBackToTheDefaults) {
    TWMI w;
    w.SetHost("server1");
    w.SetNamespace("root\\default");
    EXPECT_EQ(w.Host, "server1");
    EXPECT_EQ(w.Namespace, "root\\default");
    w.SetHost("");
    w.SetNamespace("");
    EXPECT_EQ(w.Host, ".");
    EXPECT_EQ(w.Namespace, "root\\cimv2");
}

TEST_F(TWMITest, IsAvailableReportsAMissingScriptingComponentInThreeLines) {
    TWMI w;
    EXPECT_TRUE(w.IsAvailable());
    EXPECT_EQ(w.LastError, "");
    wbem::setLocatorAvailable(false);
    EXPECT_FALSE(w.IsAvailable());
    wbem::setLocatorAvailable(true);
    EXPECT_EQ(w.LastError,
              std::string("Class \"ISWbemLocator\" is not registered on the system.\r\n"
                          "Error code: -2147221164\r\n"
                          "Error message: ") +
                  std::string(wbem::WbemError(wbem::hr::ClassNotRegistered).what()));
    EXPECT_TRUE(w.IsAvailable());
    EXPECT_EQ(w.LastError, "");
}

TEST_F(TWMITest, GetClassesAppendsEveryClassInWmiOrder) {
    TWMI w = on("wmi-shop");
    TextList list{"kept"};
    ASSERT_TRUE(w.GetClasses(list)) << w.LastError;
    ASSERT_GT(list.size(), 7u);
    EXPECT_EQ(list.front(), "kept");
    // The service's own order, system classes included.
    auto set = wmi::OpenServices("wmi-shop", "root\\cimv2", "", "")->SubclassesOf();
    auto e = set->NewEnum();
    TextList expected{"kept"};
    std::shared_ptr<wbem::ISWbemObject> cls;
    std::string err;
    while (wmi::NextObject(*e, cls, err)) expected.push_back(cls->Path_()->Class());
    EXPECT_EQ(list, expected);
    for (const char* name : {"Item", "Gadget", "Gizmo", "Tool", "Values", "Lonely", "__NAMESPACE"})
        EXPECT_NE(std::find(list.begin(), list.end(), name), list.end()) << name;
}

TEST_F(TWMITest, GetClassesForgetsCredentialsOnlyForTheDotHost) {
    TWMI dot;
    dot.User = "bob";
    dot.Password = "pw";
    TextList list;
    EXPECT_TRUE(dot.GetClasses(list)) << dot.LastError;
    EXPECT_EQ(dot.User, "");
    EXPECT_EQ(dot.Password, "");

    // "localhost" is local too, but keeps and sends what it was given.
    TWMI localhost = on("localhost");
    localhost.User = "bob";
    localhost.Password = "pw";
    list.clear();
    EXPECT_FALSE(localhost.GetClasses(list));
    EXPECT_EQ(localhost.LastError, "User credentials cannot be used for local connections");
    EXPECT_EQ(localhost.User, "bob");
    EXPECT_EQ(localhost.Password, "pw");
}

TEST_F(TWMITest, ConnectionFailuresLeaveTheBareWmiDescription) {
    const struct {
        const char* host;
        const char* nspace;
        const char* user;
        const char* password;
        const char* expected;
    } cases[] = {
        {"wmi-locked", "root\\cimv2", "alice", "wrong", "Access denied"},
        {"wmi-locked", "root\\cimv2", "", "", "Access denied"},
        {"no-such-host.invalid", "root\\cimv2", "", "", "The RPC server is unavailable."},
        {"wmi-shop", "root\\nothing", "", "", "Invalid namespace"},
    };
    for (const auto& c : cases) {
        TWMI w = on(c.host);
        w.SetNamespace(c.nspace);
        w.User = c.user;
        w.Password = c.password;
        TextList list{"kept"};
        EXPECT_FALSE(w.GetClasses(list)) << c.host;
        EXPECT_EQ(w.LastError, c.expected) << c.host;
        EXPECT_EQ(list, TextList{"kept"});
        EXPECT_FALSE(w.ClassPropertyNames("Item", list));
        EXPECT_EQ(w.LastError, c.expected) << c.host;
    }
    TWMI good = on("wmi-locked");
    good.User = "ALICE";  // user names ignore case
    good.Password = "secret";
    TextList list;
    EXPECT_TRUE(good.GetClasses(list)) << good.LastError;
}

TEST_F(TWMITest, ClassPropertyNamesListsNamesInWmiOrder) {
    TWMI w = on("wmi-shop");
    TextList list{"old"};
    ASSERT_TRUE(w.ClassPropertyNames("Gadget", list)) << w.LastError;
    EXPECT_EQ(list, (TextList{"Color", "Id", "Name", "Weight"}));
    ASSERT_TRUE(w.ClassPropertyNames("gizmo", list));
    EXPECT_EQ(list, (TextList{"COLOR", "Id", "Name", "Size"}));

    EXPECT_FALSE(w.ClassPropertyNames("NoSuchClass", list));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(w.LastError, wbem::WbemError(wbem::hr::NotFound).what());
    // The next operation starts with an empty LastError.
    EXPECT_TRUE(w.ClassPropertyNames("Item", list));
    EXPECT_EQ(w.LastError, "");
}

TEST_F(TWMITest, ClassMethodsKeepsTheThreeListsAligned) {
    TWMI w = on("wmi-shop");
    TextList names{"old"}, in{"in0"}, out{"out0"};
    ASSERT_TRUE(w.ClassMethods("Tool", names, &in, &out)) << w.LastError;
    EXPECT_EQ(names, (TextList{"Cut", "Reset"}));
    // The parameter lists are not cleared; callers hand in empty ones.
    EXPECT_EQ(in, (TextList{"in0", "Length, Material", ""}));
    EXPECT_EQ(out, (TextList{"out0", "Report, ReturnValue", "ReturnValue"}));

    ASSERT_TRUE(w.ClassMethods("Tool", names, nullptr, nullptr));
    EXPECT_EQ(names, (TextList{"Cut", "Reset"}));

    TextList in2, out2;
    ASSERT_TRUE(w.ClassMethods("Item", names, &in2, &out2));
    EXPECT_TRUE(names.empty());
    EXPECT_TRUE(in2.empty());
    EXPECT_TRUE(out2.empty());

    EXPECT_FALSE(w.ClassMethods("NoSuchClass", names, &in2, &out2));
    EXPECT_EQ(w.LastError, wbem::WbemError(wbem::hr::NotFound).what());
}

TEST_F(TWMITest, AuthenticationLevelIsSetOnTheLocatorBeforeConnecting) {
    RecordingLocators locators;
    wmitest::Recorder& rec = locators.recorder();
    TWMI w = on("wmi-shop");
    TextList list;

    wmi::AuthenticationLevel = 0;
    ASSERT_TRUE(w.ClassPropertyNames("Item", list));
    EXPECT_TRUE(rec.levelsSet.empty());  // the locator's own setting stays

    wmi::AuthenticationLevel = 6;
    ASSERT_TRUE(w.ClassPropertyNames("Item", list));
    wmi::AuthenticationLevel = 2;  // takes effect at the next operation
    ASSERT_TRUE(w.GetClasses(list));
    EXPECT_EQ(rec.levelsSet, (std::vector<int32_t>{6, 2}));
    ASSERT_EQ(rec.connects.size(), 3u);
    EXPECT_EQ(rec.connects[0].levelAtConnect, 0);
    EXPECT_EQ(rec.connects[1].levelAtConnect, 6);
    EXPECT_EQ(rec.connects[2].levelAtConnect, 2);
    for (const auto& c : rec.connects) {
        EXPECT_EQ(c.host, "wmi-shop");
        EXPECT_EQ(c.nspace, "root\\cimv2");
        EXPECT_EQ(c.securityFlags, 0);
    }

    // A level the component refuses is handed over unchanged and fails there.
    wmi::AuthenticationLevel = 7;
    EXPECT_FALSE(w.ClassPropertyNames("Item", list));
    EXPECT_EQ(rec.levelsSet.back(), 7);
    EXPECT_EQ(w.LastError, "Invalid parameter");
}

TEST_F(TWMITest, EveryOperationHandsTheRemoteOptionsToConnectServer) {
    RecordingLocators locators;
    wmitest::Recorder& rec = locators.recorder();
    TWMI w = on("wmi-shop");
    w.remote.auth = wbem::AuthMethod::Kerberos;
    w.remote.caFile = "/etc/ssl/corp-ca.pem";
    w.remote.allowUnencrypted = true;
    TextList list, in, out;
    wmi::ResultTable table;
    ASSERT_TRUE(w.GetClasses(list)) << w.LastError;
    ASSERT_TRUE(w.ClassPropertyNames("Item", list)) << w.LastError;
    ASSERT_TRUE(w.ClassMethods("Item", list, &in, &out)) << w.LastError;
    ASSERT_TRUE(wmi::InstanceValues(w, "Item.Id=1", &list, nullptr)) << w.LastError;
    ASSERT_TRUE(w.RunQuery("select * from Item", table)) << w.LastError;
    // Changed options hold from the next operation on.
    w.remote.auth = wbem::AuthMethod::Basic;
    w.remote.caFile.clear();
    ASSERT_TRUE(w.GetClasses(list)) << w.LastError;

    ASSERT_EQ(rec.connects.size(), 6u);
    for (size_t i = 0; i < rec.connects.size(); ++i) {
        const auto& c = rec.connects[i];
        ASSERT_TRUE(c.options.has_value()) << "connect " << i << " had no options";
        const bool last = i + 1 == rec.connects.size();
        EXPECT_EQ(c.options->auth, last ? wbem::AuthMethod::Basic : wbem::AuthMethod::Kerberos)
            << i;
        EXPECT_EQ(c.options->caFile, last ? "" : "/etc/ssl/corp-ca.pem") << i;
        EXPECT_TRUE(c.options->allowUnencrypted) << i;
    }
}

TEST_F(TWMITest, LocalHostNamesStayOnThisMachine) {
    for (const char* host : {"", " ", ".", "localhost", "LocalHost", "127.0.0.1", "127.8.9.10",
                             "::1", "[::1]", " localhost "})
        EXPECT_TRUE(wmi::IsLocalHost(host)) << '"' << host << '"';
    for (const char* host : {"server1", "server1:5985", "https://server1/wsman",
                             "http://10.1.2.3:5985", "[fe80::2]", "128.0.0.1"})
        EXPECT_FALSE(wmi::IsLocalHost(host)) << host;
}

TEST_F(TWMITest, AWalkThatBreaksDownFailsTheOperationAndKeepsWhatWasListed) {
    RecordingLocators locators;
    locators.recorder().breakAfter = 3;
    TWMI w = on("wmi-shop");
    TextList list{"kept"};
    EXPECT_FALSE(w.GetClasses(list));
    EXPECT_EQ(w.LastError, "Provider failure");
    EXPECT_EQ(list.size(), 4u);  // "kept" and the three classes before the failure
}

}  // namespace
