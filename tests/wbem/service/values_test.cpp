// CIM values as the scripting API hands them out.
#include <gtest/gtest.h>

#include "test_host.h"
#include "wbem/api.h"
#include "wbem/service/hosts.h"

using namespace wbem;

namespace {

class Values : public ::testing::Test {
protected:
    static void SetUpTestSuite() { registerTestHost("values", testhost::kMof); }
    static void TearDownTestSuite() { unregisterTestHost("values"); }
    Variant value(const char* name) {
        auto obj = CreateLocator()->ConnectServer("values", "root\\cimv2")->Get("AllTypes.Id=1");
        return obj->Properties_()->Item(name)->Value();
    }
};

}  // namespace

TEST_F(Values, EachCimTypeMapsToTheScriptingTag) {
    struct Case {
        const char* prop;
        VarType tag;
    } cases[] = {
        {"S8", VarType::Int16},    {"U8", VarType::UInt8},     {"S16", VarType::Int16},
        {"U16", VarType::Int32},   {"S32", VarType::Int32},    {"S64", VarType::String},
        {"U64", VarType::String},  {"R32", VarType::Real32},   {"R64", VarType::Real64},
        {"B", VarType::Bool},      {"Str", VarType::String},   {"Dt", VarType::String},
        {"C16", VarType::Int16},   {"Ref", VarType::String},   {"Obj", VarType::Object},
        {"Empty", VarType::Null},
    };
    for (const auto& c : cases) {
        Variant v = value(c.prop);
        EXPECT_EQ(v.type(), c.tag) << c.prop;
        EXPECT_FALSE(v.isArray()) << c.prop;
    }
}

TEST_F(Values, PayloadsKeepTheirNumbers) {
    EXPECT_EQ(value("S8").asInt(), -8);
    EXPECT_EQ(value("U8").asInt(), 200);
    EXPECT_EQ(value("U16").asInt(), 65535);
    EXPECT_EQ(value("S64").asString(), "-64");
    EXPECT_EQ(value("U64").asString(), "18446744073709551615");
    EXPECT_EQ(value("C16").asInt(), 'A');
    EXPECT_EQ(value("Dt").asString(), "20240102030405.000000+060");
    EXPECT_EQ(value("Ref").asString(), "Circle.Id=\"c1\"");
    // Beyond the signed 32-bit range a uint32 keeps its value as a real.
    Variant big = value("U32");
    EXPECT_EQ(big.type(), VarType::Real64);
    EXPECT_DOUBLE_EQ(big.asReal(), 4000000000.0);
}

TEST_F(Values, ArraysCarryBoundsAndEmbeddedObjectsAreObjects) {
    Variant arr = value("Arr");
    ASSERT_TRUE(arr.isArray());
    EXPECT_EQ(arr.type(), VarType::Int32);
    ASSERT_EQ(arr.asArray().bounds.size(), 1u);
    EXPECT_EQ(arr.asArray().bounds[0].lower, 0);
    EXPECT_EQ(arr.asArray().bounds[0].count, 4u);
    EXPECT_EQ(arr.asArray().elements[3].asInt(), 4);
    Variant obj = value("Obj");
    ASSERT_EQ(obj.type(), VarType::Object);
    EXPECT_EQ(obj.asObject()->Path_()->Class(), "Square");
    EXPECT_EQ(obj.asObject()->Properties_()->Item("Side")->Value().asInt(), 9);
    EXPECT_THROW(obj.asString(), WbemError);
}
