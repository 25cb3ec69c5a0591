#include <gtest/gtest.h>
#include <unistd.h>

#include "test_host.h"
#include "wbem/api.h"
#include "wbem/service/hosts.h"

using namespace wbem;

namespace {

class Service : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        registerTestHost("shapes", testhost::kMof, "alice", "secret");
        registerTestHost("open", testhost::kMof);
    }
    static void TearDownTestSuite() {
        unregisterTestHost("shapes");
        unregisterTestHost("open");
    }

    static std::shared_ptr<ISWbemServices> connect(const std::string& host = "open",
                                                   const std::string& ns = "root\\cimv2",
                                                   const std::string& user = {},
                                                   const std::string& pw = {}) {
        return CreateLocator()->ConnectServer(host, ns, user, pw);
    }
};

HResult connectError(const std::string& host, const std::string& ns, const std::string& user = {},
                     const std::string& pw = {}, std::string* text = nullptr) {
    try {
        CreateLocator()->ConnectServer(host, ns, user, pw);
    } catch (const WbemError& e) {
        if (text) *text = e.what();
        return e.code();
    }
    return hr::Ok;
}

template <class T>
std::vector<std::shared_ptr<T>> all(IEnumVariant& e) {
    std::vector<std::shared_ptr<T>> out;
    ElementPtr el;
    while (e.Next(el) == hr::Ok) out.push_back(std::dynamic_pointer_cast<T>(el));
    return out;
}

std::vector<std::string> names(ISWbemPropertySet& set) {
    std::vector<std::string> out;
    for (const auto& p : all<ISWbemProperty>(*set.NewEnum())) out.push_back(p->Name());
    return out;
}

}  // namespace

TEST_F(Service, ConnectsToLocalHostUnderEveryNameAndNothingElse) {
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    for (const std::string& h : std::vector<std::string>{".", "localhost", "LOCALHOST", "127.0.0.1",
                                                         "127.8.9.10", "::1", host, ""})
        EXPECT_EQ(connectError(h, "root\\cimv2"), hr::Ok) << h;
    std::string text;
    EXPECT_EQ(connectError("no-such-host.invalid", "root\\cimv2", {}, {}, &text),
              hr::RpcUnavailable);
    EXPECT_EQ(text, "The RPC server is unavailable.");
    EXPECT_EQ(connectError(".", "root\\cimv2", "bob", {}, &text), hr::LocalCredentials);
    EXPECT_EQ(text, "User credentials cannot be used for local connections");
    EXPECT_EQ(connectError("localhost", "root\\cimv2", {}, "pw"), hr::LocalCredentials);
}

TEST_F(Service, NamespacesIgnoreCaseAndSeparatorStyle) {
    for (const char* ns : {"root\\cimv2", "ROOT/CIMV2", "\\\\.\\root\\cimv2", "//./root/cimv2",
                           "root"})
        EXPECT_EQ(connectError(".", ns), hr::Ok) << ns;
    std::string text;
    for (const char* ns : {"", "root\\", "root\\\\cimv2", "root\\nothing", "cimv2"}) {
        EXPECT_EQ(connectError(".", ns, {}, {}, &text), hr::InvalidNamespace) << ns;
        EXPECT_EQ(text, "Invalid namespace");
    }
}

TEST_F(Service, TestHostChecksItsCredentials) {
    std::string text;
    EXPECT_EQ(connectError("shapes", "root\\cimv2", "ALICE", "secret"), hr::Ok);
    EXPECT_EQ(connectError("shapes", "root\\cimv2", "alice", "Secret", &text), hr::AccessDenied);
    EXPECT_EQ(text, "Access denied");
    EXPECT_EQ(connectError("shapes", "root\\cimv2"), hr::AccessDenied);
}

TEST_F(Service, AuthenticationLevelOutsideZeroToSixIsRefused) {
    auto locator = CreateLocator();
    for (int level = 0; level <= 6; ++level) EXPECT_NO_THROW(locator->Security_().SetAuthenticationLevel(level));
    for (int level : {-1, 7, 100}) {
        try {
            locator->Security_().SetAuthenticationLevel(level);
            ADD_FAILURE() << level;
        } catch (const WbemError& e) {
            EXPECT_EQ(e.code(), hr::InvalidParameter);
            EXPECT_STREQ(e.what(), "Invalid parameter");
        }
    }
    EXPECT_EQ(locator->Security_().AuthenticationLevel(), 6);
}

TEST_F(Service, LocatorCanBeMadeUnavailable) {
    setLocatorAvailable(false);
    try {
        CreateLocator();
        ADD_FAILURE();
    } catch (const WbemError& e) {
        EXPECT_EQ(e.code(), 0x80040154u);
    }
    setLocatorAvailable(true);
    EXPECT_NO_THROW(CreateLocator());
}

TEST_F(Service, SubclassesOfEmptyListsEveryClassAtEveryDepth) {
    auto set = connect()->SubclassesOf("", 0);
    std::vector<std::string> classes;
    for (const auto& o : all<ISWbemObject>(*set->NewEnum())) classes.push_back(o->Path_()->Class());
    for (const char* want : {"Shape", "Circle", "Square", "__SystemClass", "__NAMESPACE",
                             "__Win32Provider", "__EventFilter", "__PARAMETERS"})
        EXPECT_NE(std::find(classes.begin(), classes.end(), want), classes.end()) << want;
    auto sub = connect()->SubclassesOf("shape", 0);
    EXPECT_EQ(sub->Count(), 2);
}

TEST_F(Service, GetAndInstancesOfReportMissingClassesAtTheCall) {
    auto services = connect();
    try {
        services->Get("NoSuchClass");
        ADD_FAILURE();
    } catch (const WbemError& e) {
        EXPECT_EQ(e.code(), hr::NotFound);
        EXPECT_STREQ(e.what(), "Not found");
    }
    try {
        services->InstancesOf("NoSuchClass", 48);
        ADD_FAILURE();
    } catch (const WbemError& e) {
        EXPECT_EQ(e.code(), hr::InvalidClass);
        EXPECT_STREQ(e.what(), "Invalid class");
    }
    auto circle = services->Get(R"(Circle.Id="C2")");
    EXPECT_EQ(circle->Properties_()->Item("label")->Value().asString(), "second");
    EXPECT_THROW(services->Get(R"(Circle.Id="zz")"), WbemError);
}

TEST_F(Service, InstancesOfWithFlags48IsForwardOnlyAndIncludesSubclasses) {
    auto set = connect()->InstancesOf("Shape", 48);
    auto e = set->NewEnum();
    auto objects = all<ISWbemObject>(*e);
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[2]->Path_()->Class(), "Square");
    EXPECT_EQ(e->Reset(), hr::InvalidOperation);
    EXPECT_THROW(set->Count(), WbemError);
}

TEST_F(Service, ExecQueryChecksLanguageAndTextAndCanBeWalkedAgain) {
    auto services = connect();
    auto code = [&](const char* q, const char* lang) {
        try {
            services->ExecQuery(q, lang, 0);
        } catch (const WbemError& e) {
            return e.code();
        }
        return hr::Ok;
    };
    EXPECT_EQ(code("select * from Shape", "SQL"), hr::InvalidQueryType);
    EXPECT_EQ(code("   ", "WQL"), hr::InvalidParameter);
    EXPECT_EQ(code("select * from Nope", "wql"), hr::InvalidClass);
    EXPECT_EQ(code("select * from Shape order by Id", "WQL"), hr::InvalidQuery);
    auto e = services->ExecQuery("select * from Circle", "WQL", 0)->NewEnum();
    EXPECT_EQ(all<ISWbemObject>(*e).size(), 2u);
    EXPECT_EQ(e->Reset(), hr::Ok);
    EXPECT_EQ(all<ISWbemObject>(*e).size(), 2u);
}

TEST_F(Service, PropertiesAreAlphabeticalWithoutSystemPropertiesAndItemIgnoresCase) {
    auto obj = connect()->Get(R"(Circle.Id="c1")");
    EXPECT_EQ(names(*obj->Properties_()), (std::vector<std::string>{"Id", "Label", "Radius"}));
    EXPECT_DOUBLE_EQ(obj->Properties_()->Item("RADIUS")->Value().asReal(), 1.5);
    try {
        obj->Properties_()->Item("__CLASS");
        ADD_FAILURE();
    } catch (const WbemError& e) {
        EXPECT_EQ(e.code(), hr::NotFound);
    }
    auto sys = obj->SystemProperties_();
    EXPECT_EQ(sys->Item("__RELPATH")->Value().asString(), R"(Circle.Id="c1")");
    EXPECT_EQ(sys->Item("__PATH")->Value().asString(), R"(\\OPEN\root\cimv2:Circle.Id="c1")");
    EXPECT_EQ(sys->Item("__GENUS")->Value().asInt(), 2);
    EXPECT_EQ(sys->Item("__DYNASTY")->Value().asString(), "Shape");
    EXPECT_EQ(obj->Path_()->Class(), "Circle");
}

TEST_F(Service, MethodParametersInDeclarationOrderWithReturnValueLast) {
    auto cls = connect()->Get("Circle");
    auto methods = all<ISWbemMethod>(*cls->Methods_()->NewEnum());
    ASSERT_EQ(methods.size(), 2u);
    EXPECT_EQ(methods[0]->Name(), "Draw");
    EXPECT_EQ(names(*methods[0]->InParameters()->Properties_()),
              (std::vector<std::string>{"Scale", "Note"}));
    EXPECT_EQ(names(*methods[0]->OutParameters()->Properties_()),
              (std::vector<std::string>{"Note", "Result", "ReturnValue"}));
    EXPECT_EQ(methods[1]->Name(), "Clear");
    EXPECT_EQ(methods[1]->InParameters(), nullptr);
    EXPECT_EQ(names(*methods[1]->OutParameters()->Properties_()),
              std::vector<std::string>{"ReturnValue"});
    auto square = connect()->Get("Square");
    auto paint = square->Methods_()->Item("PAINT");
    EXPECT_EQ(paint->InParameters(), nullptr);
    EXPECT_EQ(names(*paint->OutParameters()->Properties_()),
              (std::vector<std::string>{"Color", "ReturnValue"}));
}

TEST_F(Service, ObjectTextIsMof) {
    auto services = connect();
    std::string text = services->Get(R"(Circle.Id="c1")")->GetObjectText_(0);
    EXPECT_EQ(text, "\ninstance of Circle\n{\n\tId = \"c1\";\n\tLabel = \"first\";\n\tRadius = 1.5;\n};\n");
    std::string cls = services->Get("Circle")->GetObjectText_(0);
    EXPECT_NE(cls.find("class Circle : Shape"), std::string::npos) << cls;
    EXPECT_NE(cls.find("uint32 Draw([in] uint32 Scale, [in, out] string Note, [out] string Result);"),
              std::string::npos)
        << cls;
    EXPECT_EQ(cls.find("Label"), std::string::npos);  // inherited members are not repeated
}

TEST_F(Service, ClassInstancesAndNamespaceInstances) {
    auto services = connect("open", "root");
    std::vector<std::string> children;
    for (const auto& o : all<ISWbemObject>(*services->InstancesOf("__NAMESPACE", 0)->NewEnum()))
        children.push_back(o->Properties_()->Item("Name")->Value().asString());
    EXPECT_EQ(children, std::vector<std::string>{"cimv2"});
    auto cls = connect()->Get("Shape");
    EXPECT_EQ(cls->Instances_(0)->Count(), 3);
}
