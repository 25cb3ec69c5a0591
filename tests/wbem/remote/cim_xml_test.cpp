// The CIM-XML object reader against recorded replies (WinRM's class metadata,
// OpenPegasus) and small hand-written elements for each value form.
#include "wbem/remote/xml/cim_xml.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <vector>

namespace wbem::cimxml {
namespace {

namespace fs = std::filesystem;
using xml::Document;
using xml::escape;
using xml::XmlError;

const std::string kFixtures = CIMSCOPE_FIXTURES;

#define SKIP_WITHOUT_FIXTURES() \
    if (!fs::is_directory(kFixtures)) GTEST_SKIP() << "shared fixtures not found at " << kFixtures

// A recorded reply; an HTTP status line and headers before the XML are dropped.
std::string readReply(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    std::string text = s.str();
    if (text.rfind("HTTP/", 0) == 0) {
        size_t blank = text.find("\r\n\r\n");
        size_t skip = 4;
        if (blank == std::string::npos) {
            blank = text.find("\n\n");
            skip = 2;
        }
        text = blank == std::string::npos ? std::string() : text.substr(blank + skip);
    }
    return text;
}

// Elements of that name in document order, at any depth.
std::vector<const xmlNode*> findAll(const xmlNode* root, std::string_view name) {
    std::vector<const xmlNode*> out;
    std::vector<const xmlNode*> stack{root};
    while (!stack.empty()) {
        const xmlNode* n = stack.back();
        stack.pop_back();
        if (xml::localName(n) == name) out.push_back(n);
        std::vector<const xmlNode*> kids;
        for (const xmlNode* c : xml::children(n)) kids.push_back(c);
        stack.insert(stack.end(), kids.rbegin(), kids.rend());
    }
    return out;
}

const xmlNode* findFirst(const xmlNode* root, std::string_view name) {
    auto all = findAll(root, name);
    return all.empty() ? nullptr : all.front();
}

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \r\n\t");
    size_t e = s.find_last_not_of(" \r\n\t");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

std::string errorOf(const std::function<void()>& read) {
    try {
        read();
    } catch (const XmlError& e) {
        return e.what();
    }
    return "(read)";
}

std::shared_ptr<const ClassDef> classFrom(const std::string& text) {
    Document doc = Document::parse(text);
    return readClass(doc.root());
}

std::shared_ptr<const Instance> instanceFrom(const std::string& text,
                                             const ClassLookup& lookup = {}) {
    Document doc = Document::parse(text);
    return readInstance(doc.root(), lookup);
}

std::string referenceFrom(const std::string& text) {
    Document doc = Document::parse(text);
    return readReference(doc.root());
}

// ---- classes

TEST(CimXmlClassTest, ReadsWin32DiskDriveFromWinRmMetadata) {
    SKIP_WITHOUT_FIXTURES();
    Document doc = Document::parse(readReply(kFixtures + "/wsman/server2016/03_Res_schema.xml"));
    const xmlNode* element = findFirst(doc.root(), "CLASS");
    ASSERT_NE(element, nullptr);
    auto cls = readClass(element);

    EXPECT_EQ(cls->name, "Win32_DiskDrive");
    EXPECT_EQ(cls->superclass, "CIM_DiskDrive");
    EXPECT_EQ(cls->derivation, (std::vector<std::string>{"CIM_DiskDrive", "CIM_MediaAccessDevice",
                                                         "CIM_LogicalDevice", "CIM_LogicalElement",
                                                         "CIM_ManagedSystemElement"}));
    ASSERT_EQ(cls->properties.size(), 51u);
    EXPECT_EQ(cls->properties.front().name, "Availability");  // the element order
    EXPECT_EQ(cls->properties.back().name, "TracksPerCylinder");

    // Only Key makes a key; CIM_Key does not.
    ASSERT_EQ(cls->keys.size(), 1u);
    EXPECT_EQ(cls->properties[size_t(cls->keys[0])].name, "DeviceID");

    struct Prop {
        const char* name;
        CimType type;
        bool isArray;
        const char* origin;
    } props[] = {
        {"Availability", CimType::UInt16, false, "CIM_LogicalDevice"},
        {"BytesPerSector", CimType::UInt32, false, "Win32_DiskDrive"},
        {"Capabilities", CimType::UInt16, true, "CIM_MediaAccessDevice"},
        {"CapabilityDescriptions", CimType::String, true, "CIM_MediaAccessDevice"},
        {"ConfigManagerUserConfig", CimType::Boolean, false, "CIM_LogicalDevice"},
        {"Size", CimType::UInt64, false, "Win32_DiskDrive"},
        {"InstallDate", CimType::DateTime, false, "CIM_ManagedSystemElement"},
    };
    for (const Prop& p : props) {
        const PropertyDef* def = cls->property(p.name);
        ASSERT_NE(def, nullptr) << p.name;
        EXPECT_EQ(def->type.type, p.type) << p.name;
        EXPECT_EQ(def->type.isArray, p.isArray) << p.name;
        EXPECT_EQ(def->classOrigin, p.origin) << p.name;
        EXPECT_TRUE(def->defaultValue.isNull()) << p.name;
    }

    const Qualifier* dynamic = cls->qualifier("dynamic");
    ASSERT_NE(dynamic, nullptr);
    EXPECT_EQ(dynamic->value, CimValue::boolean(true));
    EXPECT_EQ(dynamic->flavors, flavor::Restricted | flavor::ToInstance);
    EXPECT_EQ(cls->qualifier("Locale")->value, CimValue::sint(1033));

    const PropertyDef* deviceId = cls->property("DeviceID");
    const Qualifier* key = findQualifier(deviceId->qualifiers, "key");
    EXPECT_EQ(key->flavors, flavor::DisableOverride | flavor::ToInstance);
    EXPECT_FALSE(key->propagated);
    EXPECT_TRUE(findQualifier(deviceId->qualifiers, "CIM_Key")->propagated);

    const auto& availability = cls->property("Availability")->qualifiers;
    const Qualifier* mapping = findQualifier(availability, "MappingStrings");
    EXPECT_TRUE(mapping->isArray);
    EXPECT_EQ(mapping->value,
              CimValue::array({CimValue::string("MIF.DMTF|Operational State|003.5"),
                               CimValue::string("MIB.IETF|HOST-RESOURCES-MIB.hrDeviceStatus")}));
    const Qualifier* arrayType =
        findQualifier(cls->property("Capabilities")->qualifiers, "ArrayType");
    EXPECT_FALSE(arrayType->isArray);
    EXPECT_EQ(arrayType->value, CimValue::string("Indexed"));

    ASSERT_EQ(cls->methods.size(), 2u);
    const MethodDef* setPower = cls->findMethod("SetPowerState");
    ASSERT_NE(setPower, nullptr);
    EXPECT_EQ(setPower->returnType, CimType::UInt32);
    EXPECT_EQ(setPower->classOrigin, "CIM_LogicalDevice");
    ASSERT_EQ(setPower->parameters.size(), 2u);
    EXPECT_EQ(setPower->parameters[0].name, "PowerState");
    EXPECT_EQ(setPower->parameters[0].type.type, CimType::UInt16);
    EXPECT_EQ(setPower->parameters[1].type.type, CimType::DateTime);
    for (const ParameterDef& p : setPower->parameters) {
        EXPECT_TRUE(p.in) << p.name;
        EXPECT_FALSE(p.out) << p.name;
    }
    EXPECT_TRUE(cls->findMethod("Reset")->parameters.empty());
}

TEST(CimXmlClassTest, ReadsMethodsParametersAndDefaults) {
    auto cls = classFrom(R"(
<CLASS NAME="Ex_Service" SUPERCLASS="Ex_Base">
  <QUALIFIER NAME="Association" TYPE="boolean"><VALUE>true</VALUE></QUALIFIER>
  <QUALIFIER NAME="Description" TYPE="string" TRANSLATABLE="true"><VALUE>d</VALUE></QUALIFIER>
  <PROPERTY NAME="Name" TYPE="string"><QUALIFIER NAME="Key" TYPE="boolean"><VALUE>TRUE</VALUE></QUALIFIER></PROPERTY>
  <PROPERTY NAME="Count" TYPE="uint16"><VALUE>7</VALUE></PROPERTY>
  <PROPERTY.ARRAY NAME="Codes" TYPE="sint8" ARRAYSIZE="3"><VALUE.ARRAY><VALUE>-1</VALUE><VALUE.NULL/><VALUE>2</VALUE></VALUE.ARRAY></PROPERTY.ARRAY>
  <PROPERTY.REFERENCE NAME="Owner" REFERENCECLASS="Ex_Owner"/>
  <PROPERTY NAME="Detail" TYPE="string" EmbeddedObject="object"/>
  <PROPERTY NAME="Setting" TYPE="string"><QUALIFIER NAME="EmbeddedInstance" TYPE="string"><VALUE>Ex_Setting</VALUE></QUALIFIER></PROPERTY>
  <METHOD NAME="Run" TYPE="string">
    <PARAMETER NAME="Plain" TYPE="uint32"/>
    <PARAMETER NAME="Input" TYPE="boolean"><QUALIFIER NAME="In" TYPE="boolean"><VALUE>true</VALUE></QUALIFIER></PARAMETER>
    <PARAMETER.ARRAY NAME="Result" TYPE="string" ARRAYSIZE="4"><QUALIFIER NAME="Out" TYPE="boolean"><VALUE>true</VALUE></QUALIFIER></PARAMETER.ARRAY>
    <PARAMETER.REFERENCE NAME="Job" REFERENCECLASS="Ex_Job">
      <QUALIFIER NAME="In" TYPE="boolean"><VALUE>false</VALUE></QUALIFIER>
      <QUALIFIER NAME="Out" TYPE="boolean"><VALUE>true</VALUE></QUALIFIER>
    </PARAMETER.REFERENCE>
    <PARAMETER.REFARRAY NAME="Both" REFERENCECLASS="Ex_Thing">
      <QUALIFIER NAME="In" TYPE="boolean"/><QUALIFIER NAME="Out" TYPE="boolean"/>
    </PARAMETER.REFARRAY>
  </METHOD>
</CLASS>)");
    EXPECT_EQ(cls->derivation, std::vector<std::string>{"Ex_Base"});
    EXPECT_TRUE(cls->association);
    EXPECT_EQ(cls->qualifier("Description")->flavors, flavor::Translatable);
    ASSERT_EQ(cls->keys.size(), 1u);
    EXPECT_TRUE(cls->property("Name")->isKey);
    EXPECT_EQ(cls->property("Name")->classOrigin, "Ex_Service");
    EXPECT_EQ(cls->property("Count")->defaultValue, CimValue::uint(7));
    const PropertyDef* codes = cls->property("Codes");
    EXPECT_EQ(codes->type.arraySize, 3);
    EXPECT_EQ(codes->defaultValue,
              CimValue::array({CimValue::sint(-1), CimValue(), CimValue::sint(2)}));
    EXPECT_EQ(cls->property("Owner")->type.type, CimType::Reference);
    EXPECT_EQ(cls->property("Owner")->type.refClass, "Ex_Owner");
    EXPECT_EQ(cls->property("Detail")->type.type, CimType::Object);
    EXPECT_EQ(cls->property("Setting")->type.type, CimType::Object);
    EXPECT_EQ(cls->property("Setting")->type.refClass, "Ex_Setting");

    const MethodDef* run = cls->findMethod("Run");
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(run->returnType, CimType::String);
    struct Param {
        const char* name;
        CimType type;
        bool isArray;
        bool in, out;
    } params[] = {
        {"Plain", CimType::UInt32, false, true, false},
        {"Input", CimType::Boolean, false, true, false},
        {"Result", CimType::String, true, false, true},
        {"Job", CimType::Reference, false, false, true},
        {"Both", CimType::Reference, true, true, true},
    };
    ASSERT_EQ(run->parameters.size(), std::size(params));
    for (size_t i = 0; i < std::size(params); ++i) {
        const ParameterDef& p = run->parameters[i];
        EXPECT_EQ(p.name, params[i].name);
        EXPECT_EQ(p.type.type, params[i].type) << p.name;
        EXPECT_EQ(p.type.isArray, params[i].isArray) << p.name;
        EXPECT_EQ(p.in, params[i].in) << p.name;
        EXPECT_EQ(p.out, params[i].out) << p.name;
    }
    EXPECT_EQ(run->parameters[2].type.arraySize, 4);
    EXPECT_EQ(run->parameters[3].type.refClass, "Ex_Job");
}

TEST(CimXmlClassTest, RefusesMalformedClasses) {
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {"<CLASS NAME=\"C\">\n<PROPERTY NAME=\"P\" TYPE=\"uint9\"/></CLASS>",
         "line 2 in <PROPERTY NAME=\"P\">: unknown TYPE 'uint9'"},
        {"<CLASS NAME=\"C\"><PROPERTY NAME=\"P\" TYPE=\"string\"/>"
         "<PROPERTY NAME=\"p\" TYPE=\"string\"/></CLASS>",
         "given twice"},
        {"<CLASS NAME=\"C\"><METHOD NAME=\"M\"><PARAMETER NAME=\"A\" TYPE=\"uint8\"/>"
         "<PARAMETER NAME=\"A\" TYPE=\"uint8\"/></METHOD></CLASS>",
         "given twice"},
        {"<CLASS NAME=\"C\"><PROPERTY TYPE=\"string\"/></CLASS>", "NAME is missing"},
        {"<CLASS NAME=\"C\"><QUALIFIER NAME=\"Q\" TYPE=\"boolean\" TOSUBCLASS=\"maybe\"/></CLASS>",
         "not true or false"},
        {"<CLASS NAME=\"C\"><PROPERTY.ARRAY NAME=\"A\" TYPE=\"uint8\" ARRAYSIZE=\"-2\"/></CLASS>",
         "ARRAYSIZE"},
        {"<CLASS NAME=\"C\"><PROPERTY NAME=\"P\" TYPE=\"uint8\"><VALUE>300</VALUE></PROPERTY>"
         "</CLASS>",
         "'300' is out of range for uint8"},
        {"<CLASS NAME=\"C\"><PROPERTY NAME=\"P\" TYPE=\"uint8\"><VALUE.ARRAY/></PROPERTY></CLASS>",
         "an array value for a uint8"},
        {"<INSTANCE CLASSNAME=\"C\"/>", "expected a CLASS element"},
    };
    for (const Case& c : cases) {
        std::string error = errorOf([&] { classFrom(c.text); });
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.text << "\n -> " << error;
    }
}

TEST(CimXmlClassTest, ReadsOpenPegasusAssociationClass) {
    SKIP_WITHOUT_FIXTURES();
    Document doc = Document::parse(
        readReply(kFixtures + "/cimxml/openpegasus/cimv2/GetClass/GetClass00014rspgood.xml"));
    auto cls = readClass(findFirst(doc.root(), "CLASS"));
    EXPECT_EQ(cls->name, "CIM_InstalledProductImage");
    EXPECT_TRUE(cls->association);
    EXPECT_TRUE(cls->derivation.empty());
    EXPECT_EQ(cls->qualifier("Association")->flavors, flavor::DisableOverride);
    EXPECT_EQ(cls->qualifier("Description")->flavors, flavor::Translatable);
    ASSERT_EQ(cls->properties.size(), 2u);
    const PropertyDef* product = cls->property("Product");
    EXPECT_EQ(product->type.type, CimType::Reference);
    EXPECT_EQ(product->type.refClass, "CIM_Product");
    EXPECT_EQ(findQualifier(product->qualifiers, "Max")->value, CimValue::uint(1));
}

// Every recorded OpenPegasus reply reads: classes, instances and paths.
TEST(CimXmlClassTest, ReadsEveryOpenPegasusReply) {
    SKIP_WITHOUT_FIXTURES();
    int classes = 0, instances = 0, paths = 0;
    for (const auto& entry : fs::recursive_directory_iterator(kFixtures + "/cimxml/openpegasus")) {
        const std::string name = entry.path().filename().string();
        if (name.size() < 11 || name.substr(name.size() - 11) != "rspgood.xml") continue;
        SCOPED_TRACE(entry.path().string());
        std::string text = readReply(entry.path());
        if (text.empty()) continue;  // an HTTP error without a body
        Document doc = Document::parse(text);
        for (const xmlNode* c : findAll(doc.root(), "CLASS")) {
            EXPECT_FALSE(readClass(c)->name.empty());
            ++classes;
        }
        for (const xmlNode* i : findAll(doc.root(), "INSTANCE")) {
            auto inst = readInstance(i);
            EXPECT_FALSE(inst->cls().properties.empty());
            ++instances;
        }
        for (const char* path : {"INSTANCENAME", "INSTANCEPATH"}) {
            for (const xmlNode* p : findAll(doc.root(), path)) {
                EXPECT_NE(readReference(p).find("PG_TestPropertyTypes.CreationClassName="),
                          std::string::npos);
                ++paths;
            }
        }
    }
    EXPECT_GT(classes, 100);
    EXPECT_GT(instances, 5);
    EXPECT_GT(paths, 5);
}

// ---- instances

TEST(CimXmlInstanceTest, SynthesizesClassFromPropertyTypes) {
    SKIP_WITHOUT_FIXTURES();
    Document doc = Document::parse(readReply(
        kFixtures + "/cimxml/openpegasus/static/GetInstance/GetInstance52004rspgood.xml"));
    auto inst = readInstance(findFirst(doc.root(), "INSTANCE"));
    const ClassDef& cls = inst->cls();
    EXPECT_EQ(cls.name, "PG_TestPropertyTypes");
    EXPECT_EQ(cls.properties.size(), 15u);
    EXPECT_TRUE(cls.keys.empty());
    EXPECT_EQ(cls.property("InstanceId")->type.type, CimType::UInt64);
    EXPECT_EQ(*inst->find("InstanceId"), CimValue::uint(1));
    EXPECT_EQ(*inst->find("PropertyUint8"), CimValue::uint(120));
    EXPECT_EQ(*inst->find("PropertySint8"), CimValue::sint(-120));
    EXPECT_EQ(*inst->find("PropertySint64"), CimValue::sint(-6400));
    EXPECT_EQ(*inst->find("PropertyBoolean"), CimValue::boolean(true));
    EXPECT_DOUBLE_EQ(inst->find("PropertyReal64")->asReal(), 1.1234567890654321);
    EXPECT_EQ(*inst->find("PropertyDatetime"), CimValue::string("20010515104354.000000:000"));
    // The recording's line breaks around strings are the reformatting's, not the value's.
    EXPECT_EQ(trim(inst->find("PropertyString")->asString()), "PG_TestPropertyTypes_Instance1");
}

TEST(CimXmlInstanceTest, TypesValuesByTheLookupClass) {
    auto cls = classFrom(R"(
<CLASS NAME="Ex_Item">
  <PROPERTY NAME="Name" TYPE="string"><QUALIFIER NAME="Key" TYPE="boolean"><VALUE>true</VALUE></QUALIFIER></PROPERTY>
  <PROPERTY NAME="Count" TYPE="uint16"/>
  <PROPERTY NAME="Level" TYPE="sint32"><VALUE>5</VALUE></PROPERTY>
  <PROPERTY.ARRAY NAME="Tags" TYPE="string"/>
  <PROPERTY NAME="Gone" TYPE="string"><VALUE>default</VALUE></PROPERTY>
</CLASS>)");
    int asked = 0;
    ClassLookup lookup = [&](std::string_view name) -> std::shared_ptr<const ClassDef> {
        ++asked;
        return name == "Ex_Item" ? cls : nullptr;
    };
    auto inst = instanceFrom(R"(
<INSTANCE CLASSNAME="Ex_Item">
  <PROPERTY NAME="name" TYPE="string"><VALUE>one</VALUE></PROPERTY>
  <PROPERTY NAME="Count" TYPE="string"><VALUE>42</VALUE></PROPERTY>
  <PROPERTY NAME="Unknown" TYPE="uint8"><VALUE>1</VALUE></PROPERTY>
  <PROPERTY.ARRAY NAME="Tags" TYPE="string"><VALUE.ARRAY><VALUE>a</VALUE><VALUE>b</VALUE></VALUE.ARRAY></PROPERTY.ARRAY>
  <PROPERTY NAME="Gone" TYPE="string"/>
</INSTANCE>)",
                             lookup);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(inst->classPtr(), cls);
    EXPECT_EQ(*inst->find("Name"), CimValue::string("one"));
    EXPECT_EQ(*inst->find("Count"), CimValue::uint(42));  // the class's uint16, not the string
    EXPECT_EQ(*inst->find("Level"), CimValue::sint(5));   // not sent: the class default
    EXPECT_EQ(*inst->find("Tags"), CimValue::array({CimValue::string("a"), CimValue::string("b")}));
    EXPECT_TRUE(inst->find("Gone")->isNull());  // sent without a value
    EXPECT_EQ(relPathOf(*inst), "Ex_Item.Name=\"one\"");

    struct Case {
        const char* text;
        const char* expected;
    } bad[] = {
        {"<INSTANCE CLASSNAME=\"Ex_Item\"><PROPERTY NAME=\"Count\" TYPE=\"uint16\">"
         "<VALUE>70000</VALUE></PROPERTY></INSTANCE>",
         "out of range for uint16"},
        {"<INSTANCE CLASSNAME=\"Ex_Item\"><PROPERTY NAME=\"Count\" TYPE=\"uint16\"><VALUE>1</VALUE>"
         "</PROPERTY><PROPERTY NAME=\"COUNT\" TYPE=\"uint16\"/></INSTANCE>",
         "given twice"},
        {"<INSTANCE CLASSNAME=\"Ex_Item\"><PROPERTY NAME=\"Count\" TYPE=\"word\"/></INSTANCE>",
         "unknown TYPE 'word'"},
        {"<INSTANCE CLASSNAME=\"Other\"><PROPERTY NAME=\"A\" TYPE=\"string\"/>"
         "<PROPERTY NAME=\"a\" TYPE=\"uint8\"/></INSTANCE>",
         "given twice"},
        {"<INSTANCE CLASSNAME=\"Other\"><PROPERTY NAME=\"A\"/></INSTANCE>", "TYPE is missing"},
    };
    for (const Case& c : bad) {
        std::string error = errorOf([&] { instanceFrom(c.text, lookup); });
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.text << "\n -> " << error;
    }
}

TEST(CimXmlInstanceTest, ReadsAllTypesWithReferencesAndEmbeddedInstance) {
    // The reply of pywbem's GetAllTypes1 case, shortened.
    auto inst = instanceFrom(R"(
<INSTANCE CLASSNAME="PyWBEM_AllTypes">
  <PROPERTY NAME="ID" TYPE="string"><VALUE>42</VALUE></PROPERTY>
  <PROPERTY NAME="PChar16" TYPE="char16"><VALUE>F</VALUE></PROPERTY>
  <PROPERTY NAME="PUint64" TYPE="uint64"><VALUE>64</VALUE></PROPERTY>
  <PROPERTY NAME="PReal32" TYPE="real32"><VALUE>-32.1</VALUE></PROPERTY>
  <PROPERTY NAME="PDatetime2" TYPE="datetime"><VALUE>00001234567890.123456:000</VALUE></PROPERTY>
  <PROPERTY.REFERENCE NAME="pRef1" REFERENCECLASS="PyWBEM_End1">
    <VALUE.REFERENCE>
      <INSTANCENAME CLASSNAME="PyWBEM_End1">
        <KEYBINDING NAME="ID"><KEYVALUE VALUETYPE="string" TYPE="string">1</KEYVALUE></KEYBINDING>
      </INSTANCENAME>
    </VALUE.REFERENCE>
  </PROPERTY.REFERENCE>
  <PROPERTY NAME="pEmbeddedInst" TYPE="string" EmbeddedObject="instance">
    <VALUE>
      &lt;INSTANCE CLASSNAME="PyWBEM_Embedded1"&gt;
        &lt;PROPERTY NAME="ID" TYPE="string"&gt;
          &lt;VALUE&gt;2&lt;/VALUE&gt;
        &lt;/PROPERTY&gt;
      &lt;/INSTANCE&gt;
    </VALUE>
  </PROPERTY>
</INSTANCE>)");
    const ClassDef& cls = inst->cls();
    EXPECT_EQ(cls.property("PChar16")->type.type, CimType::Char16);
    EXPECT_EQ(*inst->find("PChar16"), CimValue::uint('F'));
    EXPECT_EQ(*inst->find("PUint64"), CimValue::uint(64));
    EXPECT_FLOAT_EQ(float(inst->find("PReal32")->asReal()), -32.1f);
    EXPECT_EQ(*inst->find("PDatetime2"), CimValue::string("00001234567890.123456:000"));
    EXPECT_EQ(cls.property("pRef1")->type.type, CimType::Reference);
    EXPECT_EQ(cls.property("pRef1")->type.refClass, "PyWBEM_End1");
    EXPECT_EQ(*inst->find("pRef1"), CimValue::string("PyWBEM_End1.ID=\"1\""));

    EXPECT_EQ(cls.property("pEmbeddedInst")->type.type, CimType::Object);
    const CimValue& embedded = *inst->find("pEmbeddedInst");
    ASSERT_EQ(embedded.kind(), CimValue::Kind::Object);
    EXPECT_EQ(embedded.asObject()->cls().name, "PyWBEM_Embedded1");
    EXPECT_EQ(*embedded.asObject()->find("ID"), CimValue::string("2"));
}

TEST(CimXmlInstanceTest, ReadsEmbeddedObjectsByQualifierAndLookup) {
    auto address = classFrom(R"(<CLASS NAME="Ex_Address">
  <PROPERTY NAME="Number" TYPE="uint32"/><PROPERTY NAME="Street" TYPE="string"/></CLASS>)");
    ClassLookup lookup = [&](std::string_view name) -> std::shared_ptr<const ClassDef> {
        return name == "Ex_Address" ? address : nullptr;
    };
    const std::string inner =
        "<INSTANCE CLASSNAME=\"Ex_Address\"><PROPERTY NAME=\"Number\" TYPE=\"string\">"
        "<VALUE>12</VALUE></PROPERTY></INSTANCE>";
    const std::string innerClass =
        "<CLASS NAME=\"Ex_Shape\"><PROPERTY NAME=\"Sides\" "
        "TYPE=\"uint8\"><VALUE>4</VALUE></PROPERTY></CLASS>";
    auto inst = instanceFrom(
        "<INSTANCE CLASSNAME=\"Ex_Person\">"
        "<PROPERTY NAME=\"Home\" TYPE=\"string\"><QUALIFIER NAME=\"EmbeddedInstance\" "
        "TYPE=\"string\"><VALUE>Ex_Address</VALUE></QUALIFIER><VALUE>" +
            escape(inner) +
            "</VALUE></PROPERTY>"
            "<PROPERTY.ARRAY NAME=\"Past\" TYPE=\"string\" EMBEDDEDOBJECT=\"object\">"
            "<VALUE.ARRAY><VALUE>" +
            escape(inner) + "</VALUE><VALUE>" + escape(innerClass) +
            "</VALUE></VALUE.ARRAY></PROPERTY.ARRAY>"
            "<PROPERTY NAME=\"None\" TYPE=\"string\" EmbeddedObject=\"object\"><VALUE></VALUE>"
            "</PROPERTY></INSTANCE>",
        lookup);
    EXPECT_EQ(inst->cls().property("Home")->type.refClass, "Ex_Address");
    const CimValue& home = *inst->find("Home");
    ASSERT_EQ(home.kind(), CimValue::Kind::Object);
    EXPECT_EQ(home.asObject()->classPtr(), address);
    EXPECT_EQ(*home.asObject()->find("Number"), CimValue::uint(12));  // typed by Ex_Address

    const CimValue& past = *inst->find("Past");
    ASSERT_EQ(past.kind(), CimValue::Kind::Array);
    ASSERT_EQ(past.asArray().size(), 2u);
    EXPECT_EQ(past.asArray()[0].asObject()->classPtr(), address);
    // An embedded class reads as an object of that class with its defaults.
    EXPECT_EQ(past.asArray()[1].asObject()->cls().name, "Ex_Shape");
    EXPECT_EQ(*past.asArray()[1].asObject()->find("Sides"), CimValue::uint(4));
    EXPECT_TRUE(inst->find("None")->isNull());

    std::string error = errorOf([&] {
        instanceFrom(
            "<INSTANCE CLASSNAME=\"X\"><PROPERTY NAME=\"P\" TYPE=\"string\" "
            "EmbeddedObject=\"instance\"><VALUE>&lt;INSTANCE CLASSNAME=\"Y\"&gt;"
            "</VALUE></PROPERTY></INSTANCE>");
    });
    EXPECT_NE(error.find("in <VALUE>: XML error at line 1"), std::string::npos) << error;
}

TEST(CimXmlInstanceTest, BoundsNestedEmbedding) {
    // `levels` embedded documents, each inside the VALUE of the one above.
    auto nestedDocument = [](int levels) {
        std::string doc =
            "<INSTANCE CLASSNAME=\"Leaf\"><PROPERTY NAME=\"N\" TYPE=\"uint8\">"
            "<VALUE>1</VALUE></PROPERTY></INSTANCE>";
        for (int i = 0; i < levels; ++i) {
            doc =
                "<INSTANCE CLASSNAME=\"Wrap\"><PROPERTY NAME=\"Inner\" TYPE=\"string\" "
                "EmbeddedObject=\"instance\"><VALUE>" +
                escape(doc) + "</VALUE></PROPERTY></INSTANCE>";
        }
        return doc;
    };
    auto inst = instanceFrom(nestedDocument(8));
    int depth = 0;
    for (auto at = inst; at->cls().name == "Wrap"; at = at->find("Inner")->asObject()) ++depth;
    EXPECT_EQ(depth, 8);

    std::string error = errorOf([&] { instanceFrom(nestedDocument(9)); });
    EXPECT_NE(error.find("embedded objects are nested deeper than 8 levels"), std::string::npos)
        << error;
    EXPECT_THROW(parseScalar(nestedDocument(8), CimType::Object), XmlError);
}

// ---- values

TEST(CimXmlValueTest, ParsesScalarsOfEveryType) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* text;
        CimType type;
        CimValue expected;
    } cases[] = {
        {"TRUE", CimType::Boolean, CimValue::boolean(true)},
        {" fAlSe\n", CimType::Boolean, CimValue::boolean(false)},
        {"255", CimType::UInt8, CimValue::uint(255)},
        {"-128", CimType::SInt8, CimValue::sint(-128)},
        {"+7", CimType::SInt16, CimValue::sint(7)},
        {"-0", CimType::UInt16, CimValue::uint(0)},
        {"0x1F", CimType::UInt16, CimValue::uint(31)},
        {"-0X10", CimType::SInt32, CimValue::sint(-16)},
        {"\n 4294967295 \n", CimType::UInt32, CimValue::uint(4294967295u)},
        {"18446744073709551615", CimType::UInt64,
         CimValue::uint(std::numeric_limits<uint64_t>::max())},
        {"-9223372036854775808", CimType::SInt64,
         CimValue::sint(std::numeric_limits<int64_t>::min())},
        {"F", CimType::Char16, CimValue::uint('F')},
        {" ", CimType::Char16, CimValue::uint(' ')},
        {"\xC3\xA9", CimType::Char16, CimValue::uint(0xE9)},
        {"\xE2\x82\xAC", CimType::Char16, CimValue::uint(0x20AC)},
        {"64.125", CimType::Real64, CimValue::real(64.125)},
        {"-1.5e3", CimType::Real32, CimValue::real(-1500.0)},
        {".5", CimType::Real64, CimValue::real(0.5)},
        {"INF", CimType::Real64, CimValue::real(inf)},
        {"-INF", CimType::Real32, CimValue::real(-inf)},
        {"20160318201500.123456-060", CimType::DateTime,
         CimValue::string("20160318201500.123456-060")},
        {"  as <written>\n", CimType::String, CimValue::string("  as <written>\n")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseScalar(c.text, c.type), c.expected)
            << "'" << c.text << "' as " << cimTypeName(c.type);
    }
    EXPECT_TRUE(std::isnan(parseScalar("NaN", CimType::Real64).asReal()));
}

TEST(CimXmlValueTest, RefusesTextThatDoesNotFitTheType) {
    struct Case {
        const char* text;
        CimType type;
        const char* expected;
    } cases[] = {
        {"256", CimType::UInt8, "out of range"},
        {"-129", CimType::SInt8, "out of range"},
        {"-1", CimType::UInt32, "out of range"},
        {"18446744073709551616", CimType::UInt64, "out of range"},
        {"9223372036854775808", CimType::SInt64, "out of range"},
        {"-9223372036854775809", CimType::SInt64, "out of range"},
        {"1e39", CimType::Real32, "out of range"},
        {"1e999", CimType::Real64, "out of range"},
        {"\xF0\x9F\x98\x80", CimType::Char16, "out of range"},
        {"12abc", CimType::UInt32, "not a valid uint32"},
        {"1.5", CimType::UInt32, "not a valid"},
        {"", CimType::SInt32, "not a valid"},
        {"0x", CimType::UInt8, "not a valid"},
        {"--1", CimType::SInt32, "not a valid"},
        {"1 2", CimType::SInt32, "not a valid"},
        {"yes", CimType::Boolean, "not a valid boolean"},
        {"1", CimType::Boolean, "not a valid boolean"},
        {"AB", CimType::Char16, "not a valid char16"},
        {"", CimType::Char16, "not a valid char16"},
        {"infinity", CimType::Real64, "not a valid real64"},
        {"0x1p3", CimType::Real64, "not a valid real64"},
        {"1.0.0", CimType::Real32, "not a valid real32"},
    };
    for (const Case& c : cases) {
        std::string error = errorOf([&] { parseScalar(c.text, c.type); });
        EXPECT_NE(error.find(c.expected), std::string::npos)
            << "'" << c.text << "' as " << cimTypeName(c.type) << " -> " << error;
    }
}

TEST(CimXmlValueTest, ReadsValueElements) {
    auto read = [](const std::string& text, CimTypeDecl type) {
        Document doc = Document::parse(text);
        return readValue(doc.root(), type);
    };
    const CimTypeDecl uint8Array{CimType::UInt8, true, -1, {}};
    EXPECT_EQ(read("<VALUE.ARRAY><VALUE>1</VALUE><VALUE.NULL/><VALUE> 3 </VALUE></VALUE.ARRAY>",
                   uint8Array),
              CimValue::array({CimValue::uint(1), CimValue(), CimValue::uint(3)}));
    EXPECT_EQ(read("<VALUE.ARRAY/>", uint8Array), CimValue::array({}));
    EXPECT_EQ(read("<VALUE>9</VALUE>", uint8Array), CimValue::array({CimValue::uint(9)}));
    EXPECT_TRUE(read("<VALUE.NULL/>", {CimType::String, false, -1, {}}).isNull());
    EXPECT_EQ(read("<VALUE.REFARRAY><VALUE.REFERENCE><CLASSNAME NAME=\"A\"/></VALUE.REFERENCE>"
                   "<VALUE.NULL/></VALUE.REFARRAY>",
                   {CimType::Reference, true, -1, {}}),
              CimValue::array({CimValue::string("A"), CimValue()}));

    struct Case {
        const char* text;
        CimTypeDecl type;
        const char* expected;
    } bad[] = {
        {"<VALUE.ARRAY><VALUE>1</VALUE></VALUE.ARRAY>",
         {CimType::UInt8, false, -1, {}},
         "an array value for a uint8"},
        {"<VALUE.ARRAY><VALUE.REFERENCE/></VALUE.ARRAY>", uint8Array, "not an element of"},
        {"<VALUE.ARRAY>\n<VALUE>1</VALUE>\n<VALUE>x</VALUE></VALUE.ARRAY>", uint8Array,
         "line 3 in <VALUE>: 'x' is not a valid uint8"},
        {"<VALUE.REFERENCE><CLASSNAME NAME=\"A\"/></VALUE.REFERENCE>",
         {CimType::UInt32, false, -1, {}},
         "a reference where the type is uint32"},
        {"<KEYVALUE>1</KEYVALUE>", uint8Array, "not a value element"},
    };
    for (const Case& c : bad) {
        std::string error = errorOf([&] { read(c.text, c.type); });
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.text << " -> " << error;
    }
}

// ---- references

TEST(CimXmlReferenceTest, WritesWmiPathText) {
    const std::string keys =
        "<INSTANCENAME CLASSNAME=\"CIM_Foo\">"
        "<KEYBINDING NAME=\"Name\"><KEYVALUE VALUETYPE=\"string\">a\"b\\c</KEYVALUE></KEYBINDING>"
        "<KEYBINDING NAME=\"Num\"><KEYVALUE VALUETYPE=\"numeric\"> 5 </KEYVALUE></KEYBINDING>"
        "<KEYBINDING NAME=\"On\"><KEYVALUE VALUETYPE=\"boolean\">true</KEYVALUE></KEYBINDING>"
        "<KEYBINDING NAME=\"Plain\"><KEYVALUE>x</KEYVALUE></KEYBINDING>"
        "</INSTANCENAME>";
    const std::string rel = "CIM_Foo.Name=\"a\\\"b\\\\c\",Num=5,On=TRUE,Plain=\"x\"";
    const std::string ns =
        "<LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"/><NAMESPACE NAME=\"cimv2\"/>"
        "</LOCALNAMESPACEPATH>";
    struct Case {
        std::string xml;
        std::string path;
    } cases[] = {
        {"<VALUE.REFERENCE><INSTANCEPATH><NAMESPACEPATH><HOST>srv1</HOST>" + ns +
             "</NAMESPACEPATH>" + keys + "</INSTANCEPATH></VALUE.REFERENCE>",
         "\\\\srv1\\root\\cimv2:" + rel},
        {"<INSTANCEPATH><NAMESPACEPATH><HOST>srv1:5989</HOST><LOCALNAMESPACEPATH>"
         "<NAMESPACE NAME=\"root/interop\"/></LOCALNAMESPACEPATH></NAMESPACEPATH>" +
             keys + "</INSTANCEPATH>",
         "\\\\srv1\\root\\interop:" + rel},
        {"<LOCALINSTANCEPATH>" + ns + keys + "</LOCALINSTANCEPATH>", "root\\cimv2:" + rel},
        {keys, rel},
        // Empty host and namespace, as OpenPegasus sends them in pulled paths.
        {"<INSTANCEPATH><NAMESPACEPATH><HOST>\n</HOST><LOCALNAMESPACEPATH>\n"
         "</LOCALNAMESPACEPATH></NAMESPACEPATH>" +
             keys + "</INSTANCEPATH>",
         rel},
        {"<INSTANCENAME CLASSNAME=\"Single\"/>", "Single=@"},
        {"<INSTANCENAME CLASSNAME=\"C\"><KEYVALUE VALUETYPE=\"numeric\">-0x1F</KEYVALUE>"
         "</INSTANCENAME>",
         "C=-0x1F"},
        {"<INSTANCENAME CLASSNAME=\"Assoc\"><KEYBINDING NAME=\"Member\"><VALUE.REFERENCE>"
         "<INSTANCENAME CLASSNAME=\"P\"><KEYBINDING NAME=\"Id\"><KEYVALUE>a\"1</KEYVALUE>"
         "</KEYBINDING></INSTANCENAME></VALUE.REFERENCE></KEYBINDING></INSTANCENAME>",
         "Assoc.Member=\"P.Id=\\\"a\\\\\\\"1\\\"\""},
        {"<CLASSPATH><NAMESPACEPATH><HOST>h</HOST>" + ns +
             "</NAMESPACEPATH><CLASSNAME NAME=\"CIM_Bar\"/></CLASSPATH>",
         "\\\\h\\root\\cimv2:CIM_Bar"},
        {"<LOCALCLASSPATH>" + ns + "<CLASSNAME NAME=\"CIM_Bar\"/></LOCALCLASSPATH>",
         "root\\cimv2:CIM_Bar"},
        {"<VALUE.REFERENCE><CLASSNAME NAME=\"CIM_Bar\"/></VALUE.REFERENCE>", "CIM_Bar"},
    };
    for (const Case& c : cases) EXPECT_EQ(referenceFrom(c.xml), c.path) << c.xml;
}

TEST(CimXmlReferenceTest, RefusesPathsThatWouldNotReadBack) {
    struct Case {
        std::string xml;
        const char* expected;
    } cases[] = {
        {"<INSTANCENAME CLASSNAME=\"C\"><KEYBINDING NAME=\"K\"><KEYVALUE VALUETYPE=\"numeric\">"
         "1,X=2</KEYVALUE></KEYBINDING></INSTANCENAME>",
         "is not a number"},
        {"<INSTANCENAME CLASSNAME=\"C\"><KEYBINDING NAME=\"K\"><KEYVALUE VALUETYPE=\"boolean\">"
         "yes</KEYVALUE></KEYBINDING></INSTANCENAME>",
         "is not a boolean"},
        {"<INSTANCENAME CLASSNAME=\"C\"><KEYBINDING NAME=\"K\"><KEYVALUE VALUETYPE=\"date\">"
         "1</KEYVALUE></KEYBINDING></INSTANCENAME>",
         "unknown VALUETYPE"},
        {"<INSTANCENAME CLASSNAME=\"C.K=&quot;x&quot;\"/>", "is not a valid name"},
        {"<INSTANCENAME CLASSNAME=\"C\"><KEYBINDING NAME=\"K,L\"><KEYVALUE>1</KEYVALUE>"
         "</KEYBINDING></INSTANCENAME>",
         "is not a valid name"},
        {"<INSTANCENAME CLASSNAME=\"C\"><KEYBINDING NAME=\"K\"/></INSTANCENAME>",
         "a key without a value"},
        {"<INSTANCEPATH><NAMESPACEPATH><HOST>a\\b</HOST><LOCALNAMESPACEPATH/></NAMESPACEPATH>"
         "<INSTANCENAME CLASSNAME=\"C\"/></INSTANCEPATH>",
         "is not a host name"},
        {"<INSTANCEPATH><INSTANCENAME CLASSNAME=\"C\"/></INSTANCEPATH>",
         "NAMESPACEPATH is missing"},
        {"<LOCALCLASSPATH><LOCALNAMESPACEPATH><NAMESPACE NAME=\"root:x\"/></LOCALNAMESPACEPATH>"
         "<CLASSNAME NAME=\"C\"/></LOCALCLASSPATH>",
         "is not a namespace name"},
        {"<VALUE.REFERENCE/>", "an empty reference"},
        {"<VALUE>x</VALUE>", "not a reference"},
    };
    for (const Case& c : cases) {
        std::string error = errorOf([&] { referenceFrom(c.xml); });
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.xml << " -> " << error;
    }

    // Keys that are references, each inside the one before, are bounded.
    std::string deep = "<CLASSNAME NAME=\"End\"/>";
    for (int i = 0; i < 40; ++i) {
        deep = "<INSTANCENAME CLASSNAME=\"C\"><KEYBINDING NAME=\"K\"><VALUE.REFERENCE>" + deep +
               "</VALUE.REFERENCE></KEYBINDING></INSTANCENAME>";
    }
    EXPECT_NE(errorOf([&] { referenceFrom(deep); }).find("nested too deeply"), std::string::npos);
}

}  // namespace
}  // namespace wbem::cimxml
