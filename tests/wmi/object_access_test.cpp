// Reading one object again by its path, as the instance browser does for a
// chosen line, against a test host.
#include "wmi/object_access.h"

#include <gtest/gtest.h>

#include "test_hosts.h"
#include "test_mof.h"
#include "wmi/bw_variant.h"

namespace {

// A user on a UTF-8 desktop: the locale is read once, when first asked.
const bool kUtf8Desktop = setenv("LC_ALL", "C.UTF-8", 1) == 0;

using wmi::TextList;
using wmi::TWMI;
using wmitest::RecordingLocators;
using wmitest::ScopedHost;

class ObjectAccess : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { shop_ = new ScopedHost("wmi-access", wmitest::kShopMof); }
    static void TearDownTestSuite() { delete shop_; }

    static TWMI wmiObject() {
        TWMI w;
        w.SetHost("wmi-access");
        w.CodePage = 1250;  // not the grid's: its values are in the local code page
        return w;
    }

    static ScopedHost* shop_;
};

ScopedHost* ObjectAccess::shop_ = nullptr;

TEST_F(ObjectAccess, InstanceValuesReadTheObjectAPathNamesInTheLocalCodePage) {
    ASSERT_TRUE(kUtf8Desktop);
    const std::string at = "\\\\WMI-ACCESS\\root\\cimv2:";
    const struct {
        std::string path;
        TextList names;
        TextList values;
    } cases[] = {
        {at + "Gadget.Id=2",
         {"Color", "Id", "Name", "Weight"},
         {"red", "2", "\xC5\xBDlu\xC5\xA5ou\xC4\x8Dk\xC3\xBD k\xC5\xAF\xC5\x88", "7"}},
        {"Item.Id=1", {"Id", "Name"}, {"1", "plain"}},  // a relative path
        {"Item.Id=3",
         {"COLOR", "Id", "Name", "Size"},
         {"blue", "3", "gizmo", "9"}},  // a subclass's
    };
    TWMI w = wmiObject();
    for (const auto& c : cases) {
        TextList names{"old"}, values{"old"};
        ASSERT_TRUE(wmi::InstanceValues(w, c.path, &names, &values)) << c.path << w.LastError;
        EXPECT_EQ(names, c.names) << c.path;
        EXPECT_EQ(values, c.values) << c.path;
        EXPECT_EQ(w.LastError, "");
    }
    TextList values;
    ASSERT_TRUE(wmi::InstanceValues(w, "Item.Id=1", nullptr, &values));
    EXPECT_EQ(values, (TextList{"1", "plain"}));
    TextList names;
    ASSERT_TRUE(wmi::InstanceValues(w, "Item.Id=1", &names, nullptr));
    EXPECT_EQ(names, (TextList{"Id", "Name"}));
}

TEST_F(ObjectAccess, InstanceValuesGetTheOneObjectWithoutWalkingItsClass) {
    RecordingLocators locators;
    wmitest::Recorder& rec = locators.recorder();
    TWMI w = wmiObject();
    TextList values;
    ASSERT_TRUE(wmi::InstanceValues(w, "Item.Id=3", nullptr, &values)) << w.LastError;
    EXPECT_EQ(values.size(), 4u);
    EXPECT_EQ(rec.nextCalls, 0);
    EXPECT_EQ(rec.connectCount(), 1u);
}

TEST_F(ObjectAccess, AnObjectThatIsGoneOrHasNoPathFailsWithAMessage) {
    const struct {
        const char* path;
        std::string error;
    } cases[] = {
        {"Item.Id=99", std::string("Error: ") + wbem::WbemError(wbem::hr::NotFound).what()},
        {"NoSuchClass.Id=1", std::string("Error: ") + wbem::WbemError(wbem::hr::NotFound).what()},
        // An empty path is not handed on: a service may answer it with some object.
        {"", std::string("Error: ") + wmi::NoPathText},
        {"  ", std::string("Error: ") + wmi::NoPathText},
    };
    TWMI w = wmiObject();
    for (const auto& c : cases) {
        TextList names{"old"}, values{"old"};
        EXPECT_FALSE(wmi::InstanceValues(w, c.path, &names, &values)) << c.path;
        EXPECT_EQ(w.LastError, c.error) << c.path;
        EXPECT_TRUE(names.empty()) << c.path;
        EXPECT_TRUE(values.empty()) << c.path;
    }
    wmi::ObjectValues object;
    EXPECT_FALSE(wmi::ReadObject(w, "", object));
    EXPECT_EQ(w.LastError, std::string("Error: ") + wmi::NoPathText);
}

}  // namespace
