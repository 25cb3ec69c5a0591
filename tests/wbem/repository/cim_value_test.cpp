#include <gtest/gtest.h>

#include "wbem/errors.h"
#include "wbem/repository/cim_value.h"

using namespace wbem;

namespace {

CimTypeDecl decl(CimType t, bool array = false) {
    CimTypeDecl d;
    d.type = t;
    d.isArray = array;
    return d;
}

}  // namespace

TEST(CoerceTo, IntegersAreRangeCheckedAgainstTheirType) {
    struct Case {
        CimType type;
        CimValue in;
        bool ok;
    } cases[] = {
        {CimType::UInt8, CimValue::sint(255), true},
        {CimType::UInt8, CimValue::sint(256), false},
        {CimType::UInt8, CimValue::sint(-1), false},
        {CimType::SInt8, CimValue::sint(-128), true},
        {CimType::SInt8, CimValue::sint(-129), false},
        {CimType::UInt32, CimValue::uint(4294967295u), true},
        {CimType::UInt32, CimValue::uint(4294967296u), false},
        {CimType::SInt64, CimValue::uint(9223372036854775808u), false},
        {CimType::UInt64, CimValue::uint(18446744073709551615u), true},
        {CimType::SInt32, CimValue::real(3.0), true},
        {CimType::SInt32, CimValue::real(3.5), false},
        {CimType::SInt32, CimValue::string("3"), false},
        {CimType::Boolean, CimValue::sint(1), false},
        {CimType::Real32, CimValue::sint(-7), true},
        {CimType::String, CimValue::sint(7), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(cimTypeName(c.type)));
        if (c.ok) {
            EXPECT_NO_THROW(coerceTo(c.in, decl(c.type)));
        } else {
            try {
                coerceTo(c.in, decl(c.type));
                ADD_FAILURE() << "accepted";
            } catch (const WbemError& e) {
                EXPECT_EQ(e.code(), hr::TypeMismatch);
            }
        }
    }
}

TEST(CoerceTo, UsesThePayloadKindOfTheDeclaredType) {
    EXPECT_EQ(coerceTo(CimValue::sint(5), decl(CimType::UInt16)).kind(), CimValue::Kind::UInt);
    EXPECT_EQ(coerceTo(CimValue::uint(5), decl(CimType::SInt16)).kind(), CimValue::Kind::SInt);
    EXPECT_EQ(coerceTo(CimValue::sint(5), decl(CimType::Real64)).kind(), CimValue::Kind::Real);
    CimValue arr = coerceTo(CimValue::array({CimValue::sint(1), CimValue::sint(2)}),
                            decl(CimType::UInt8, true));
    ASSERT_EQ(arr.kind(), CimValue::Kind::Array);
    EXPECT_EQ(arr.asArray()[1].asUInt(), 2u);
    EXPECT_TRUE(coerceTo(CimValue(), decl(CimType::UInt8)).isNull());
}

TEST(MofLiteral, WritesEachKindAsMofDoes) {
    EXPECT_EQ(mofLiteral(CimValue::string("a\"b\\c"), CimType::String), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(mofLiteral(CimValue::boolean(true), CimType::Boolean), "TRUE");
    EXPECT_EQ(mofLiteral(CimValue::sint(-3), CimType::SInt32), "-3");
    EXPECT_EQ(mofLiteral(CimValue::real(2), CimType::Real64), "2.0");
    EXPECT_EQ(mofLiteral(CimValue::array({CimValue::uint(1), CimValue::uint(2)}), CimType::UInt8),
              "{1, 2}");
    EXPECT_EQ(mofLiteral(CimValue(), CimType::String), "NULL");
}
