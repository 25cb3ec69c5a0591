// The WinRM back end's reading side without a network: host forms, SOAP
// replies and faults, WS-Man objects and their values.
#include <gtest/gtest.h>

#include "fixture_file.h"
#include "wbem/remote/winrm/endpoint.h"
#include "wbem/remote/winrm/faults.h"
#include "wbem/remote/winrm/soap.h"
#include "wbem/remote/winrm/wsman_objects.h"
#include "wbem/remote/xml/cim_xml.h"

using namespace wbem;
using namespace wbem::winrm;

TEST(WinrmEndpoint, HostFormsBecomeUrls) {
    struct Case {
        const char* typed;
        const char* url;  // nullptr: not a host
    };
    const Case cases[] = {
        {"server1", "http://server1:5985/wsman"},
        {"  server1.corp.example  ", "http://server1.corp.example:5985/wsman"},
        {"server1:8080", "http://server1:8080/wsman"},
        {"https://server1", "https://server1:5986/wsman"},
        {"HTTPS://server1:443/", "https://server1:443/wsman"},
        {"http://server1/custom/path", "http://server1:5985/custom/path"},
        {"https://[fe80::1]:5986/wsman", "https://[fe80::1]:5986/wsman"},
        {"[::1]", "http://[::1]:5985/wsman"},
        {"10.1.2.3", "http://10.1.2.3:5985/wsman"},
        {"", nullptr},
        {"server 1", nullptr},
        {"server1:", nullptr},
        {"server1:70000", nullptr},
        {"server1:12ab", nullptr},
        {"ftp://server1", nullptr},
        {"https://user:pw@server1", nullptr},
        {"https://server1/wsman?x=1", nullptr},
        {"[::1", nullptr},
        {"[server1]", nullptr},
        {"<script>", nullptr},
    };
    for (const Case& c : cases) {
        auto ep = parseEndpoint(c.typed);
        if (!c.url) {
            EXPECT_FALSE(ep) << c.typed;
            continue;
        }
        ASSERT_TRUE(ep) << c.typed;
        EXPECT_EQ(ep->url(), c.url) << c.typed;
    }
    EXPECT_EQ(parseEndpoint("https://srv-01:5986")->serverName(), "SRV-01");
}

TEST(WinrmValues, IsoDatesAndDurationsBecomeCimDatetimes) {
    struct Case {
        const char* iso;
        const char* cim;  // nullptr: refused
    };
    const Case datetimes[] = {
        {"2013-04-29T11:43:11.203125-07:00", "20130429114311.203125-420"},
        {"2016-11-02T08:00:00Z", "20161102080000.000000+000"},
        {"2016-11-02T08:00:00", "20161102080000.000000+000"},
        {"2016-11-02T08:00:00.5+05:30", "20161102080000.500000+330"},
        {"2016-11-02T08:00:00.1234567+01:00", "20161102080000.123456+060"},
        {"2016-13-02T08:00:00Z", nullptr},
        {"2016-11-02 08:00:00", nullptr},
        {"2016-11-02T08:00:00+0100", nullptr},
        {"yesterday", nullptr},
    };
    for (const Case& c : datetimes) {
        auto got = cimDatetimeFromIso(c.iso);
        if (c.cim) {
            ASSERT_TRUE(got) << c.iso;
            EXPECT_EQ(*got, c.cim) << c.iso;
            EXPECT_EQ(got->size(), 25u);
        } else {
            EXPECT_FALSE(got) << c.iso;
        }
    }
    const Case intervals[] = {
        {"P1DT2H3M4.5S", "00000001020304.500000:000"},
        {"PT36H", "00000001120000.000000:000"},
        {"PT90M0.000001S", "00000000013000.000001:000"},
        {"P2W", "00000014000000.000000:000"},
        {"P1Y", nullptr},
        {"P", nullptr},
        {"PT1.5H", nullptr},
        {"-P1D", nullptr},
    };
    for (const Case& c : intervals) {
        auto got = cimIntervalFromIso(c.iso);
        if (c.cim) {
            ASSERT_TRUE(got) << c.iso;
            EXPECT_EQ(*got, c.cim) << c.iso;
        } else {
            EXPECT_FALSE(got) << c.iso;
        }
    }
}

namespace {

HResult faultCode(const std::string& reply, std::string* text = nullptr) {
    try {
        readReply(reply, {}, "server1");
    } catch (const WbemError& e) {
        if (text) *text = e.what();
        return e.code();
    }
    return hr::Ok;
}

std::string envelope(const std::string& body) {
    return "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Body>" + body +
           "</s:Body></s:Envelope>";
}

std::string wmiErrorFault(const std::string& cimStatus, const std::string& errorCode) {
    return envelope(
        "<s:Fault><s:Code><s:Value>s:Sender</s:Value></s:Code><s:Reason><s:Text>outer</s:Text>"
        "</s:Reason><s:Detail><p:MSFT_WmiError xmlns:p=\"urn:x\"><p:CIMStatusCode>" +
        cimStatus + "</p:CIMStatusCode><p:Message>It went wrong. </p:Message><p:error_Code>" +
        errorCode + "</p:error_Code></p:MSFT_WmiError></s:Detail></s:Fault>");
}

}  // namespace

TEST(WinrmFaults, RecordedFaultsMapToWmiCodesWithTheServersReason) {
    SKIP_WITHOUT_WSMAN_FIXTURES();
    std::string text;
    // A WQL fault: no WMI code anywhere, the subcode says the filter failed;
    // the innermost WSManFault message is the reason.
    EXPECT_EQ(faultCode(test::readWsmanFixture("server2008r2/soap_fault_v2.xml"), &text),
              hr::InvalidQuery);
    EXPECT_EQ(text, "Invalid query. The specified class does not exist in the given namespace.");
    // MSFT_WmiError with CIM status 27 (no WMI counterpart) and a WinRM code.
    EXPECT_EQ(faultCode(test::readWsmanFixture("server2008r2/wmi_error_v2.xml"), &text),
              hr::Failed);
    EXPECT_NE(text.find("Generic failure. The WS-Management service cannot process the request. "
                        "This user is allowed a maximum number of 30 concurrent shells"),
              std::string::npos)
        << text;
}

TEST(WinrmFaults, WmiCodeWinsThenCimStatusThenSubcode) {
    struct Case {
        std::string reply;
        HResult code;
    };
    const Case cases[] = {
        {wmiErrorFault("6", "2147749904"), hr::InvalidClass},  // 0x80041010 beats status 6
        {wmiErrorFault("6", "2150859173"), hr::NotFound},      // not a WMI code: status 6
        {wmiErrorFault("5", "0"), hr::InvalidClass},
        {wmiErrorFault("3", "0"), hr::InvalidNamespace},
        {wmiErrorFault("17", "0"), hr::InvalidMethod},
        {wmiErrorFault("16", "0"), hr::MethodNotImplemented},
        {wmiErrorFault("11", "0"), hr::AlreadyExists},
        {wmiErrorFault("99", "0"), hr::Failed},
        {envelope("<s:Fault><s:Code><s:Value>s:Sender</s:Value><s:Subcode><s:Value "
                  "xmlns:w=\"urn:w\">w:AccessDenied</s:Value></s:Subcode></s:Code></s:Fault>"),
         hr::AccessDeniedSystem},
        {envelope("<s:Fault><s:Detail><f:WSManFault xmlns:f=\"urn:f\" Code=\"2147749889\">"
                  "<f:Message>wmi says</f:Message></f:WSManFault></s:Detail></s:Fault>"),
         hr::Failed},  // 0x80041001 in the WSManFault code
        {envelope("<s:Fault><s:Detail><p:__ExtendedStatus xmlns:p=\"urn:p\"><p:StatusCode>"
                  "2147749911</p:StatusCode></p:__ExtendedStatus></s:Detail></s:Fault>"),
         hr::InvalidQuery},
    };
    for (const Case& c : cases) EXPECT_EQ(faultCode(c.reply), c.code) << c.reply;
    std::string text;
    faultCode(wmiErrorFault("6", "0"), &text);
    EXPECT_EQ(text, "Not found. It went wrong.");
}

TEST(WinrmReplies, AnythingButASoapEnvelopeIsACleanError) {
    const std::string good = envelope("<x:Thing xmlns:x=\"urn:x\"/>");
    struct Case {
        std::string reply;
        const char* why;
    };
    const Case cases[] = {
        {"", "empty"},
        {"HTTP/1.1 200 OK", "not XML"},
        {"<html><body>Welcome</body></html>", "not SOAP"},
        {good.substr(0, good.size() / 2), "truncated"},
        {"<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body/></s:Envelope>",
         "SOAP 1.1 namespace"},
        {"<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"/>", "no body"},
        {"<?xml version=\"1.0\"?><!DOCTYPE s [<!ENTITY x \"y\">]>" + good, "DTD"},
        {"<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Body>" +
             std::string(200000, '<') + "</s:Body></s:Envelope>",
         "garbage"},
    };
    for (const Case& c : cases) {
        std::string text;
        EXPECT_EQ(faultCode(c.reply, &text), hr::Failed) << c.why;
        EXPECT_NE(text.find("server1 gave no WS-Management reply"), std::string::npos)
            << c.why << ": " << text;
    }
    // Any prefix will do: the namespace decides.
    EXPECT_EQ(faultCode("<env:Envelope xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\">"
                        "<env:Body><a/></env:Body></env:Envelope>"),
              hr::Ok);
    // A reply to another request is refused.
    const std::string other =
        "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" "
        "xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\"><s:Header><a:RelatesTo>"
        "uuid:1</a:RelatesTo></s:Header><s:Body><a/></s:Body></s:Envelope>";
    EXPECT_NO_THROW(readReply(other, "uuid:1", "h"));
    EXPECT_THROW(readReply(other, "uuid:2", "h"), WbemError);
}

namespace {

// The objects of a recorded Enumerate or Pull reply.
std::vector<WsmanObject> objectsOf(const std::string& file, ObjectReader& reader) {
    Reply r = readReply(test::readWsmanFixture(file), {}, "h");
    std::vector<WsmanObject> out;
    const xmlNode* items = xml::firstChild(r.payload(), "Items");
    for (const xmlNode* item : xml::children(items)) {
        const ItemParts parts = itemParts(item);
        out.push_back(reader.read(parts.object, parts.epr));
    }
    return out;
}

const CimValue& value(const WsmanObject& o, const char* name) {
    const CimValue* v = o.instance->find(name);
    if (!v) throw std::runtime_error(std::string("no property ") + name);
    return *v;
}

}  // namespace

TEST(WinrmObjects, TypedByTheClassDefinition) {
    SKIP_WITHOUT_WSMAN_FIXTURES();
    Reply schema = readReply(test::readWsmanFixture("server2016/03_Res_schema.xml"), {}, "h");
    auto diskDrive = cimxml::readClass(schema.payload());
    ObjectReader reader(
        [&](std::string_view name) { return name == "Win32_DiskDrive" ? diskDrive : nullptr; },
        "SRV");
    auto objects = objectsOf("server2016/02_Res_enum.xml", reader);
    ASSERT_EQ(objects.size(), 1u);
    const WsmanObject& d = objects[0];
    EXPECT_EQ(d.instance->classPtr(), diskDrive);
    EXPECT_FALSE(d.partial);
    EXPECT_EQ(value(d, "BytesPerSector").asUInt(), 512u);
    EXPECT_EQ(value(d, "Size").asUInt(), 54755688960u);  // uint64
    EXPECT_TRUE(value(d, "Availability").isNull());      // xsi:nil
    EXPECT_FALSE(value(d, "ConfigManagerUserConfig").asBool());
    ASSERT_EQ(value(d, "Capabilities").kind(), CimValue::Kind::Array);
    EXPECT_EQ(value(d, "Capabilities").asArray().size(), 2u);
    EXPECT_EQ(value(d, "Capabilities").asArray()[1].asUInt(), 4u);
    EXPECT_EQ(value(d, "DeviceID").asString(), "\\\\.\\PHYSICALDRIVE0");
    EXPECT_EQ(relPathOf(*d.instance), "Win32_DiskDrive.DeviceID=\"\\\\\\\\.\\\\PHYSICALDRIVE0\"");
}

TEST(WinrmObjects, TypedByTheXmlAloneWithoutClassDefinitions) {
    SKIP_WITHOUT_WSMAN_FIXTURES();
    ObjectReader reader({}, "SRV");
    auto disks = objectsOf("server2016/04_Res_pull.xml", reader);
    ASSERT_GE(disks.size(), 2u);
    // Keys come from the endpoint reference's selectors.
    EXPECT_EQ(relPathOf(*disks[0].instance).rfind("Win32_DiskDrive.DeviceID=", 0), 0u);
    EXPECT_EQ(value(disks[0], "BytesPerSector").asString(), "512");
    EXPECT_EQ(value(disks[0], "Capabilities").asArray().size(), 2u);
    // Objects of the same shape share one class.
    EXPECT_EQ(disks[0].instance->classPtr(), disks[1].instance->classPtr());

    auto processes = objectsOf("server2008r2/enumerate_1.xml", reader);
    ASSERT_GE(processes.size(), 2u);
    const auto& cls = processes[0].instance->cls();
    EXPECT_EQ(cls.name, "Win32_Process");
    EXPECT_TRUE(cls.keys.empty());  // no endpoint references, so no keys known
    // A date seen after a null one makes the property a datetime.
    bool sawDate = false;
    for (const auto& p : processes) {
        const CimValue& created = value(p, "CreationDate");
        if (created.isNull()) continue;
        EXPECT_EQ(created.asString(), "20130429114311.203125-420");
        EXPECT_EQ(p.instance->cls().property("CreationDate")->type.type, CimType::DateTime);
        sawDate = true;
        break;
    }
    EXPECT_TRUE(sawDate);
}

TEST(WinrmObjects, ReferencesEmbeddedObjectsAndBadValues) {
    const std::string reply = envelope(
        "<p:Thing xmlns:p=\"urn:thing\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
        "xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\" "
        "xmlns:w=\"http://schemas.dmtf.org/wbem/wsman/1/wsman.xsd\">"
        "<p:Owner><a:Address>anon</a:Address><a:ReferenceParameters><w:ResourceURI>"
        "http://schemas.microsoft.com/wbem/wsman/1/wmi/root/cimv2/Win32_ComputerSystem"
        "</w:ResourceURI><w:SelectorSet><w:Selector Name=\"Name\">PC1</w:Selector>"
        "</w:SelectorSet></a:ReferenceParameters></p:Owner>"
        "<p:Inner xsi:type=\"p:Part_Type\"><p:Size>7</p:Size></p:Inner>"
        "<p:Count>12x</p:Count><p:Flags>1</p:Flags><p:Flags>2</p:Flags></p:Thing>");
    Reply r = readReply(reply, {}, "h");
    auto cls = std::make_shared<ClassDef>();
    cls->name = "Thing";
    auto add = [&](const char* name, CimType t, bool array = false) {
        PropertyDef p;
        p.name = name;
        p.type.type = t;
        p.type.isArray = array;
        cls->properties.push_back(p);
    };
    add("Owner", CimType::Reference);
    add("Inner", CimType::Object);
    add("Count", CimType::UInt32);
    add("Flags", CimType::UInt8, true);
    add("Missing", CimType::String);
    cls->finalize();
    ObjectReader reader([&](std::string_view n) { return n == "Thing" ? cls : nullptr; }, "SRV");
    WsmanObject o = reader.read(r.payload(), nullptr);
    EXPECT_EQ(value(o, "Owner").asString(),
              "\\\\SRV\\root\\cimv2:Win32_ComputerSystem.Name=\"PC1\"");
    ASSERT_EQ(value(o, "Inner").kind(), CimValue::Kind::Object);
    EXPECT_EQ(value(o, "Inner").asObject()->cls().name, "Part");
    EXPECT_TRUE(value(o, "Count").isNull());  // does not fit uint32
    EXPECT_EQ(value(o, "Flags").asArray().size(), 2u);
    EXPECT_TRUE(o.partial);  // "Missing" was not sent
    EXPECT_EQ(o.projection.size(), 4u);
}

TEST(WinrmObjects, HostileNestingIsBounded) {
    std::string inner = "<p:V>1</p:V>";
    for (int i = 0; i < 40; ++i) inner = "<p:E xsi:type=\"p:E_Type\">" + inner + "</p:E>";
    const std::string reply = envelope(
        "<p:Thing xmlns:p=\"urn:thing\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">" +
        inner + "</p:Thing>");
    Reply r = readReply(reply, {}, "h");
    auto cls = std::make_shared<ClassDef>();
    cls->name = "Thing";
    PropertyDef p;
    p.name = "E";
    p.type.type = CimType::Object;
    cls->properties.push_back(p);
    cls->finalize();
    auto eClass = std::make_shared<ClassDef>(*cls);
    eClass->name = "E";
    eClass->finalize();
    ObjectReader reader(
        [&](std::string_view n) -> std::shared_ptr<const ClassDef> {
            return n == "Thing" ? cls : n == "E" ? eClass : nullptr;
        },
        "SRV");
    EXPECT_THROW(reader.read(r.payload(), nullptr), xml::XmlError);
}
