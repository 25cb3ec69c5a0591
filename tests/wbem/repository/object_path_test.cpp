#include <gtest/gtest.h>

#include "wbem/errors.h"
#include "wbem/repository/object_path.h"

using namespace wbem;

TEST(ObjectPath, ParsesEveryForm) {
    ObjectPath p = parseObjectPath(R"(\\HOST\root\cimv2:Win32_Process.Handle="12")");
    EXPECT_EQ(p.server, "HOST");
    EXPECT_EQ(p.nspace, "root\\cimv2");
    EXPECT_EQ(p.className, "Win32_Process");
    ASSERT_EQ(p.keys.size(), 1u);
    EXPECT_EQ(p.keys[0].name, "Handle");
    EXPECT_EQ(p.keys[0].value, "12");
    EXPECT_TRUE(p.keys[0].quoted);

    p = parseObjectPath("Win32_OperatingSystem=@");
    EXPECT_TRUE(p.singleton);
    EXPECT_FALSE(p.isClass());

    p = parseObjectPath("Win32_Process");
    EXPECT_TRUE(p.isClass());

    p = parseObjectPath(R"(//./root/cimv2:Win32_GroupUser.GroupComponent="Win32_Group.Domain=\"D\",Name=\"root\"",PartComponent="x")");
    EXPECT_EQ(p.nspace, "root\\cimv2");
    ASSERT_EQ(p.keys.size(), 2u);
    EXPECT_EQ(p.keys[0].value, "Win32_Group.Domain=\"D\",Name=\"root\"");

    p = parseObjectPath("C.Id=5");
    EXPECT_FALSE(p.keys[0].quoted);
    EXPECT_EQ(p.keys[0].value, "5");
}

TEST(ObjectPath, RejectsMalformedPaths) {
    for (const char* bad : {"", ".Key=1", "C.", "C.Key", "C.Key=\"open", "C.K=1,", "C K=1",
                            "\\\\server:C"}) {
        SCOPED_TRACE(bad);
        try {
            parseObjectPath(bad);
            ADD_FAILURE() << "accepted";
        } catch (const WbemError& e) {
            EXPECT_EQ(e.code(), hr::InvalidParameter);
        }
    }
}

TEST(ObjectPath, SamePathIgnoresCaseKeyOrderAndMissingNamespace) {
    struct Case {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {R"(C.A="x",B=1)", R"(c.b=1,a="X")", true},
        {R"(C.A='x y',B=1)", R"(c.b=1,a="X Y")", true},  // WQL paths often use single quotes
        {R"(\\S\root:C.A="x")", R"(C.A="x")", true},
        {R"(\\S\root:C.A="x")", R"(\\S\other:C.A="x")", false},
        {R"(C.A="x")", R"(C.A="y")", false},
        {R"(C.A="x")", R"(D.A="x")", false},
        {"C=@", "c=@", true},
        {R"(A.R="B.K=\"1\"")", R"(a.r="\\\\S\\root:b.k=\"1\"")", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        EXPECT_EQ(samePath(parseObjectPath(c.a), parseObjectPath(c.b)), c.same);
    }
}

TEST(ObjectPath, PathValueQuotesAndEscapes) {
    EXPECT_EQ(pathValue("12", false), "12");
    EXPECT_EQ(pathValue(R"(a"b\c)", true), R"("a\"b\\c")");
}
