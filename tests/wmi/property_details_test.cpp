// The details pane's texts: types, flavors, values element by element,
// datetimes in local time, embedded objects as MOF, and what the object model
// gives for a class and an instance of a small test host.
#include "wmi/property_details.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "test_hosts.h"

namespace {

using wbem::CimType;
using wbem::Variant;
using wbem::VarType;

const char* const kNetMof = R"MOF(
class Computer { [key] string Name; };

[Description("An adapter's settings")]
class Adapter
{
    [key, Description("Index of the adapter. It is unique on the machine and stays the same "
                      "while the adapter is installed.")]
    uint32 Index;
    [Units("addresses"): ToInstance DisableOverride] string IPAddress[];
    datetime Leased;
    datetime Every;
    Computer REF Host;
    object Owner;
    uint8 Empty[];
    string Note;
};

// Declares one of Adapter's properties, in other letters, to describe an
// Adapter against.
class Partial { [key, Description("The partial index")] uint32 INDEX; };

instance of Computer { Name = "pc1"; };
instance of Adapter
{
    Index = 7;
    IPAddress = {"192.168.1.20", "fe80::1"};
    Leased = "20240131123456.000000+060";
    Every = "00000001132312.000000:000";
    Host = "Computer.Name=\"pc1\"";
    Owner = instance of Computer { Name = "inner"; };
    Empty = {};
    Note = "line one\nline two";
};
)MOF";

// Local times are checked in a zone fixed for the test.
class FixedZone {
  public:
    explicit FixedZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~FixedZone() {
        if (old_)
            setenv("TZ", old_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

  private:
    std::optional<std::string> old_;
};

Variant strings(std::vector<std::string> items, VarType type = VarType::String) {
    wbem::SafeArray a;
    a.elementType = type;
    a.bounds.push_back({0, uint32_t(items.size())});
    for (auto& s : items) a.elements.push_back(Variant::string(std::move(s)));
    return Variant::array(std::move(a));
}

TEST(PropertyDetailsText, TypeTexts) {
    struct Case {
        CimType type;
        bool isArray;
        const char* cimtype;
        const char* expected;
    };
    const Case cases[] = {
        {CimType::UInt32, false, "uint32", "uint32"},
        {CimType::String, true, "string", "string[]"},
        {CimType::DateTime, false, "", "datetime"},
        {CimType::Reference, false, "ref:Win32_ComputerSystem", "ref:Win32_ComputerSystem"},
        {CimType::Reference, true, "ref:CIM_Setting", "ref:CIM_Setting[]"},
        {CimType::Reference, false, "", "ref"},
        {CimType::Object, false, "object:Win32_Share", "object:Win32_Share"},
        {CimType::Object, false, "", "object"},
        // A CIMTYPE that does not fit the type does not replace it.
        {CimType::UInt8, false, "ref:X", "uint8"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(wmi::PropertyTypeText(c.type, c.isArray, c.cimtype), c.expected) << c.expected;
}

TEST(PropertyDetailsText, DatetimesAndIntervals) {
    struct Case {
        const char* cim;
        std::optional<int64_t> seconds;
        std::optional<std::string> interval;
    };
    const Case cases[] = {
        {"20240131123456.000000+060", 1706700896, std::nullopt},
        {"20240131123456.000000-300", 1706722496, std::nullopt},
        {"19700101000000.000000+000", 0, std::nullopt},
        {"20240230000000.000000+000", std::nullopt, std::nullopt},  // no such day
        {"20240131250000.000000+000", std::nullopt, std::nullopt},
        {"2024013112345*.000000+060", std::nullopt, std::nullopt},  // wildcard
        {"20240131123456.000000+06", std::nullopt, std::nullopt},
        {"00000001132312.000000:000", std::nullopt, "1 day 13:23:12.000000"},
        {"00000012000000.250000:000", std::nullopt, "12 days 00:00:00.250000"},
        {"00000001992312.000000:000", std::nullopt, std::nullopt},
        {"00000001132312.125***:000", std::nullopt, std::nullopt},  // not to the microsecond
        {"", std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cim);
        EXPECT_EQ(wmi::DateTimeSeconds(c.cim), c.seconds);
        EXPECT_EQ(wmi::IntervalText(c.cim), c.interval);
    }
    FixedZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(wmi::LocalDateTimeText(1706700896), "2024-01-31 12:34:56");
    EXPECT_EQ(wmi::LocalDateTimeText(1719836096), "2024-07-01 14:14:56");  // summer time
}

TEST(PropertyDetailsText, FullValues) {
    FixedZone zone("UTC0");
    struct Case {
        const char* what;
        Variant value;
        CimType type;
        const char* expected;
    };
    const std::string longText(5000, 'x');
    const Case cases[] = {
        {"null", Variant::null(), CimType::String, "NULL"},
        {"string", Variant::string("a\nb"), CimType::String, "a\nb"},
        {"long string", Variant::string(longText), CimType::String, longText.c_str()},
        {"number", Variant::int32(42), CimType::UInt32, "42"},
        {"boolean", Variant::boolean(true), CimType::Boolean, "True"},
        {"array", strings({"10.0.0.1", "fe80::1"}), CimType::String, "[0] 10.0.0.1\n[1] fe80::1"},
        {"empty array", strings({}), CimType::String, "no elements"},
        {"datetime", Variant::string("20240131123456.000000+060"), CimType::DateTime,
         "20240131123456.000000+060 (2024-01-31 11:34:56 local time)"},
        {"interval", Variant::string("00000001132312.000000:000"), CimType::DateTime,
         "00000001132312.000000:000 (1 day 13:23:12.000000)"},
        {"datetime array", strings({"20240131123456.000000+000", "bad"}), CimType::DateTime,
         "[0] 20240131123456.000000+000 (2024-01-31 12:34:56 local time)\n[1] bad"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(wmi::DetailValueText(c.value, c.type), c.expected) << c.what;
}

class PropertyDetailsHost : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { host_ = new wmitest::ScopedHost("wmi-details", kNetMof); }
    static void TearDownTestSuite() { delete host_; }
    static wmi::TWMI connection() {
        wmi::TWMI w;
        w.SetHost("wmi-details");
        return w;
    }
    static wmitest::ScopedHost* host_;
};

wmitest::ScopedHost* PropertyDetailsHost::host_ = nullptr;

TEST_F(PropertyDetailsHost, AClassGivesNamesTypesKeysAndQualifiersInOneLookup) {
    wmi::TWMI w = connection();
    wmi::TextList names;
    wmi::ObjectDetails details;
    ASSERT_TRUE(wmi::ClassDetails(w, "Adapter", names, details)) << w.LastError;
    EXPECT_EQ(names, (wmi::TextList{"Empty", "Every", "Host", "Index", "IPAddress", "Leased",
                                    "Note", "Owner"}));
    struct Case {
        const char* name;
        const char* type;
        bool key;
    };
    const Case cases[] = {
        {"Index", "uint32", true},     {"IPAddress", "string[]", false},
        {"Leased", "datetime", false}, {"Host", "ref:Computer", false},
        {"Owner", "object", false},    {"Empty", "uint8[]", false},
    };
    for (const Case& c : cases) {
        const wmi::PropertyDetails* p = details.find(c.name);
        ASSERT_NE(p, nullptr) << c.name;
        EXPECT_EQ(p->type, c.type) << c.name;
        EXPECT_EQ(p->isKey, c.key) << c.name;
    }
    EXPECT_EQ(details.find("ipaddress"), details.find("IPAddress"));
    EXPECT_EQ(details.find("Nope"), nullptr);
    EXPECT_NE(details.mofText.find("class Adapter"), std::string::npos);

    const wmi::PropertyDetails& index = *details.find("Index");
    EXPECT_EQ(wmi::DetailsPaneText(index),
              "Index\nType: uint32\nKey: yes\n\nDescription:\nIndex of the adapter. It is unique "
              "on the machine and stays the same while the adapter is installed.\n\n"
              "Qualifiers:\n  CIMTYPE = uint32  (ToSubclass, ToInstance)\n"
              "  key = True  (ToSubclass)\n  Description  (ToSubclass)\n\nValue:\nNULL");

    EXPECT_FALSE(wmi::ClassDetails(w, "NoSuchClass", names, details));
    EXPECT_FALSE(w.LastError.empty());
    EXPECT_TRUE(names.empty());
    EXPECT_TRUE(details.properties.empty());
}

TEST_F(PropertyDetailsHost, AnInstanceGivesFullValuesWithItsClassQualifiers) {
    FixedZone zone("UTC0");
    wmi::TWMI w = connection();
    wmi::ObjectDetails details;
    ASSERT_TRUE(wmi::InstanceDetails(w, "Adapter.Index=7", details)) << w.LastError;
    struct Case {
        const char* name;
        const char* value;
    };
    const Case cases[] = {
        {"IPAddress", "[0] 192.168.1.20\n[1] fe80::1"},
        {"Leased", "20240131123456.000000+060 (2024-01-31 11:34:56 local time)"},
        {"Every", "00000001132312.000000:000 (1 day 13:23:12.000000)"},
        {"Host", "Computer.Name=\"pc1\""},
        {"Owner", "instance of Computer\n{\n\tName = \"inner\";\n};"},
        {"Empty", "no elements"},
        {"Note", "line one\nline two"},
        {"Index", "7"},
    };
    for (const Case& c : cases) {
        const wmi::PropertyDetails* p = details.find(c.name);
        ASSERT_NE(p, nullptr) << c.name;
        EXPECT_EQ(p->value, c.value) << c.name;
    }
    // The class's qualifiers, not only what reaches instances.
    EXPECT_TRUE(details.find("Index")->isKey);
    EXPECT_FALSE(details.find("Index")->description.empty());
    const auto& units = details.find("IPAddress")->qualifiers;
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[1].name, "Units");
    EXPECT_EQ(units[1].value, "addresses");
    EXPECT_EQ(units[1].flavors, "ToSubclass, ToInstance, DisableOverride");
    EXPECT_EQ(details.mofText.find("\ninstance of Adapter\n{\n"), 0u) << details.mofText;
    // The MOF text alone is the same, without the details.
    std::string text;
    ASSERT_TRUE(wmi::ObjectMofText(w, "Adapter.Index=7", text)) << w.LastError;
    EXPECT_EQ(text, details.mofText);

    for (const char* gone : {"Adapter.Index=8", ""}) {
        EXPECT_FALSE(wmi::InstanceDetails(w, gone, details)) << gone;
        EXPECT_FALSE(w.LastError.empty()) << gone;
        EXPECT_TRUE(details.properties.empty()) << gone;
    }

    ASSERT_TRUE(wmi::ObjectMofText(w, "Computer", text)) << w.LastError;
    EXPECT_NE(text.find("class Computer"), std::string::npos) << text;
    EXPECT_FALSE(wmi::ObjectMofText(w, "NoSuchClass", text));
    EXPECT_TRUE(text.empty());
}

TEST_F(PropertyDetailsHost, EachPropertyTakesItsDeclarationByNameOrKeepsItsOwn) {
    wmi::TWMI w = connection();
    auto services = w.OpenServices();
    auto adapter = services->Get("Adapter.Index=7", 0);
    auto partial = services->Get("Partial", 0);
    const wmi::ObjectDetails details = wmi::DescribeObject(*adapter, partial.get());
    ASSERT_EQ(details.properties.size(), 8u);
    // Declared, in other letters: the declaration's qualifiers.
    const wmi::PropertyDetails& index = *details.find("Index");
    EXPECT_TRUE(index.isKey);
    EXPECT_EQ(index.description, "The partial index");
    // Not declared there: the property's own, as the instance carries them.
    const wmi::PropertyDetails& addresses = *details.find("IPAddress");
    EXPECT_FALSE(addresses.isKey);
    EXPECT_EQ(addresses.description, "");
    EXPECT_EQ(addresses.type, "string[]");
    EXPECT_EQ(addresses.value, "[0] 192.168.1.20\n[1] fe80::1");
}

}  // namespace
