// Qualifier sets of classes, instances, properties and methods: which
// qualifiers each element shows, their values and flavors, and CIMTYPE.
#include <gtest/gtest.h>

#include "wbem/api.h"
#include "wbem/service/hosts.h"

using namespace wbem;

namespace {

const char* const kMof = R"MOF(
[Description("A base"), Locale(1033): ToInstance, Secret("x"): Restricted]
class Base
{
    [key, Description("The key")] string Id;
    [Units("bytes"): ToInstance DisableOverride, MaxValue(10)] uint32 Size;
    Base REF Other;
    [EmbeddedInstance("Base")] string Inner;
    string Names[];
    [Description("Runs"), Static] uint32 Run([in, Description("How")] string How);
};

[Comment("here")]
class Derived : Base
{
    [Description("Own")] datetime When;
};

instance of Derived { Id = "d1"; Size = 3; };
)MOF";

class Qualifiers : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { registerTestHost("qualhost", kMof); }
    static void TearDownTestSuite() { unregisterTestHost("qualhost"); }
    static std::shared_ptr<ISWbemServices> connect() {
        return CreateLocator()->ConnectServer("qualhost", "root\\cimv2");
    }
};

// "Name=value flags" per qualifier, flags one letter each: L local,
// S to subclass, I to instance, O overridable, A amended.
std::vector<std::string> described(ISWbemQualifierSet& set) {
    std::vector<std::string> out;
    auto e = set.NewEnum();
    ElementPtr el;
    while (e->Next(el) == hr::Ok) {
        auto q = std::dynamic_pointer_cast<ISWbemQualifier>(el);
        if (!q) {
            out.push_back("not a qualifier");
            continue;
        }
        const Variant v = q->Value();
        std::string value = v.isArray()                   ? "array"
                            : v.type() == VarType::String ? v.asString()
                            : v.type() == VarType::Bool   ? (v.asBool() ? "true" : "false")
                                                          : std::to_string(v.asInt());
        std::string flags;
        if (q->IsLocal()) flags += 'L';
        if (q->PropagatesToSubclass()) flags += 'S';
        if (q->PropagatesToInstance()) flags += 'I';
        if (q->IsOverridable()) flags += 'O';
        if (q->IsAmended()) flags += 'A';
        out.push_back(q->Name() + "=" + value + " " + flags);
    }
    return out;
}

using Lines = std::vector<std::string>;

TEST_F(Qualifiers, EachElementShowsItsQualifiersWithValuesAndFlavors) {
    auto services = connect();
    auto base = services->Get("Base");
    auto derived = services->Get("Derived");
    auto instance = services->Get(R"(Derived.Id="d1")");
    struct Case {
        const char* what;
        std::shared_ptr<ISWbemQualifierSet> set;
        Lines expected;
    };
    const Case cases[] = {
        {"class",
         base->Qualifiers_(),
         {"Description=A base LSO", "Locale=1033 LSIO", "Secret=x LO"}},
        // Restricted ones stay behind; inherited ones are not local.
        {"subclass",
         derived->Qualifiers_(),
         {"Description=A base SO", "Locale=1033 SIO", "Comment=here LSO"}},
        {"instance", instance->Qualifiers_(), {"Locale=1033 SIO"}},
        {"key property",
         base->Properties_()->Item("Id")->Qualifiers_(),
         {"CIMTYPE=string LSIO", "key=true LSO", "Description=The key LSO"}},
        {"inherited property",
         derived->Properties_()->Item("Size")->Qualifiers_(),
         {"CIMTYPE=uint32 SIO", "Units=bytes SI", "MaxValue=10 SO"}},
        {"reference", base->Properties_()->Item("Other")->Qualifiers_(), {"CIMTYPE=ref:Base LSIO"}},
        {"array", base->Properties_()->Item("Names")->Qualifiers_(), {"CIMTYPE=string LSIO"}},
        {"own property",
         derived->Properties_()->Item("When")->Qualifiers_(),
         {"CIMTYPE=datetime LSIO", "Description=Own LSO"}},
        // On an instance only what the class passes to instances.
        {"instance property",
         instance->Properties_()->Item("Size")->Qualifiers_(),
         {"CIMTYPE=uint32 SIO", "Units=bytes SI"}},
        {"method",
         base->Methods_()->Item("Run")->Qualifiers_(),
         {"Description=Runs LSO", "Static=true LSO"}},
        {"parameter",
         base->Methods_()->Item("Run")->InParameters()->Properties_()->Item("How")->Qualifiers_(),
         {"CIMTYPE=string LSIO", "in=true LSO", "Description=How LSO"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_NE(c.set, nullptr);
        EXPECT_EQ(described(*c.set), c.expected);
        EXPECT_EQ(c.set->Count(), int32_t(c.expected.size()));
    }
}

TEST_F(Qualifiers, ItemIgnoresCaseAndAMissingNameIsNotFound) {
    auto set = connect()->Get("Base")->Properties_()->Item("Id")->Qualifiers_();
    EXPECT_EQ(set->Item("DESCRIPTION")->Value().asString(), "The key");
    EXPECT_EQ(set->Item("cimtype")->Value().asString(), "string");
    try {
        set->Item("Nope");
        ADD_FAILURE() << "no error";
    } catch (const WbemError& e) {
        EXPECT_EQ(e.code(), hr::NotFound);
    }
    EXPECT_EQ(emptyQualifierSet()->Count(), 0);
    ElementPtr el;
    EXPECT_EQ(emptyQualifierSet()->NewEnum()->Next(el), hr::False);
}

}  // namespace
