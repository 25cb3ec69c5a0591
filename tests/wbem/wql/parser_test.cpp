// The parser alone: the tree it builds and the syntax it refuses.
#include <gtest/gtest.h>

#include "wbem/wql/ast.h"
#include "wbem/wql/wql.h"

namespace wbem::wql {
namespace {

using namespace ast;

const SelectQuery& asSelect(const std::unique_ptr<Query>& q) {
    EXPECT_EQ(q->kind, QueryKind::Select);
    return static_cast<const SelectQuery&>(*q);
}

TEST(WqlParser, SelectListClassAndOffsets) {
    auto q = parseQuery("select  Name, ProcessId FROM Win32_Process");
    const auto& s = asSelect(q);
    EXPECT_FALSE(s.star);
    ASSERT_EQ(s.columns.size(), 2u);
    EXPECT_EQ(s.columns[0].text, "Name");
    EXPECT_EQ(s.columns[0].offset, 8u);
    EXPECT_EQ(s.columns[1].text, "ProcessId");
    EXPECT_EQ(s.className.text, "Win32_Process");
    EXPECT_EQ(s.className.offset, 29u);
    EXPECT_EQ(s.where, nullptr);
}

TEST(WqlParser, AndBindsTighterThanOr) {
    auto q = parseQuery("SELECT * FROM C WHERE A = 1 OR B = 2 AND NOT C = 3");
    const auto& s = asSelect(q);
    ASSERT_EQ(s.where->kind, ExprKind::Or);
    const auto& orE = static_cast<const OrExpr&>(*s.where);
    ASSERT_EQ(orE.terms.size(), 2u);
    EXPECT_EQ(orE.terms[0]->kind, ExprKind::Compare);
    ASSERT_EQ(orE.terms[1]->kind, ExprKind::And);
    const auto& andE = static_cast<const AndExpr&>(*orE.terms[1]);
    EXPECT_EQ(andE.terms[1]->kind, ExprKind::Not);
}

TEST(WqlParser, ParenthesesGroup) {
    auto q = parseQuery("SELECT * FROM C WHERE (A = 1 OR B = 2) AND C = 3");
    const auto& s = asSelect(q);
    ASSERT_EQ(s.where->kind, ExprKind::And);
    EXPECT_EQ(static_cast<const AndExpr&>(*s.where).terms[0]->kind, ExprKind::Or);
}

TEST(WqlParser, ConstantFirstIsMirrored) {
    auto q = parseQuery("SELECT * FROM C WHERE 500 < Value");
    const auto& c = static_cast<const CompareExpr&>(*asSelect(q).where);
    EXPECT_EQ(c.property.text, "Value");
    EXPECT_EQ(c.op, CompareOp::Greater);
    EXPECT_TRUE(c.constantFirst);
    EXPECT_EQ(c.constant.value, CimValue::uint(500));
}

TEST(WqlParser, Constants) {
    struct Case {
        const char* text;
        CimValue value;
    };
    const Case cases[] = {
        {"'it\\'s'", CimValue::string("it's")},
        {"\"say \\\"hi\\\"\"", CimValue::string("say \"hi\"")},
        {"'a\\\\b'", CimValue::string("a\\b")},
        {"'he said \"x\"'", CimValue::string("he said \"x\"")},
        {"42", CimValue::uint(42)},
        {"-42", CimValue::sint(-42)},
        {"+7", CimValue::uint(7)},
        {"0x1F", CimValue::uint(31)},
        {"18446744073709551615", CimValue::uint(18446744073709551615ull)},
        {"-9223372036854775808", CimValue::sint(INT64_MIN)},
        {"1.5", CimValue::real(1.5)},
        {"-2.5e3", CimValue::real(-2500)},
        {"TRUE", CimValue::boolean(true)},
        {"false", CimValue::boolean(false)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto q = parseQuery(std::string("SELECT * FROM C WHERE P = ") + c.text);
        const auto& w = *asSelect(q).where;
        ASSERT_EQ(w.kind, ExprKind::Compare);
        EXPECT_EQ(static_cast<const CompareExpr&>(w).constant.value, c.value);
    }
}

TEST(WqlParser, NullTests) {
    struct Case {
        const char* where;
        bool negated;
    };
    const Case cases[] = {{"P IS NULL", false}, {"P is not null", true}, {"P = NULL", false},
                          {"P <> NULL", true},  {"P != NULL", true},     {"NULL = P", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        auto q = parseQuery(std::string("SELECT * FROM C WHERE ") + c.where);
        const auto& w = *asSelect(q).where;
        ASSERT_EQ(w.kind, ExprKind::IsNull);
        EXPECT_EQ(static_cast<const IsNullExpr&>(w).negated, c.negated);
    }
}

TEST(WqlParser, AssociatorsKeywords) {
    auto q = parseQuery(
        "associators of {Disk.Id=\"a}b\"} where assocclass = Link ResultClass=Part "
        "ROLE = Whole resultrole=Piece RequiredQualifier=Key RequiredAssocQualifier=Aggregation");
    ASSERT_EQ(q->kind, QueryKind::Associators);
    const auto& a = static_cast<const AssocQuery&>(*q);
    EXPECT_EQ(a.path.text, "Disk.Id=\"a}b\"");
    EXPECT_EQ(a.path.offset, 16u);  // where the path text starts
    EXPECT_EQ(a.assocClass->text, "Link");
    EXPECT_EQ(a.resultClass->text, "Part");
    EXPECT_EQ(a.role->text, "Whole");
    EXPECT_EQ(a.resultRole->text, "Piece");
    EXPECT_EQ(a.requiredQualifier->text, "Key");
    EXPECT_EQ(a.requiredAssocQualifier->text, "Aggregation");
    EXPECT_FALSE(a.classDefsOnly);
}

// Each of these is refused as "Invalid query"; the offset is where the
// parser gave up.
TEST(WqlParser, RejectsWhatWqlLacks) {
    struct Case {
        const char* query;
        size_t offset;
    };
    const Case cases[] = {
        {"", 0},
        {"SELECT", 6},
        {"SELECT * Win32_Process", 9},                           // no FROM
        {"SELECT FROM C", 7},                                    // empty select list
        {"SELECT *, Name FROM C", 8},                            // * with names
        {"SELECT Name, FROM C", 13},                             // dangling comma
        {"SELECT * FROM", 13},                                   // no class
        {"SELECT * FROM C WHERE", 21},                           // empty condition
        {"SELECT * FROM C extra", 16},                           // trailing text
        {"SELECT * FROM C;", 15},                                // stray character
        {"SELECT * FROM A JOIN B ON A.X = B.X", 16},             // JOIN
        {"SELECT * FROM C ORDER BY Name", 16},                   // ORDER BY
        {"SELECT * FROM C GROUP BY Name", 16},                   // GROUP BY
        {"SELECT * FROM C HAVING Name = 1", 16},                 // HAVING
        {"SELECT COUNT(*) FROM C", 12},                          // COUNT
        {"SELECT DISTINCT Name FROM C", 16},                     // DISTINCT
        {"SELECT * FROM (SELECT * FROM C)", 14},                 // subquery in FROM
        {"SELECT * FROM C WHERE P IN (SELECT P FROM D)", 24},    // subquery, IN
        {"SELECT * FROM C WHERE P = (SELECT P FROM D)", 26},     // subquery as constant
        {"SELECT * FROM C WHERE A = B", 26},                     // property vs property
        {"SELECT * FROM C WHERE 1 = 2", 26},                     // constant vs constant
        {"SELECT * FROM C WHERE P = 1 + 2", 28},                 // arithmetic
        {"SELECT * FROM C WHERE P IS 5", 27},                    // IS with a value
        {"SELECT * FROM C WHERE P IS NOT 'x'", 31},              // IS NOT with a value
        {"SELECT * FROM C WHERE P < NULL", 24},                  // ordering with NULL
        {"SELECT * FROM C WHERE P NOT LIKE 'x'", 24},            // NOT goes before
        {"SELECT * FROM C WHERE P LIKE Q", 29},                  // pattern not a string
        {"SELECT * FROM C WHERE P ISA Base", 28},                // class not quoted
        {"SELECT * FROM C WHERE P = 'abc", 26},                  // unterminated string
        {"SELECT * FROM C WHERE P = 'a\\nb'", 28},               // unknown escape
        {"SELECT * FROM C WHERE P = 12abc", 26},                 // malformed number
        {"SELECT * FROM C WHERE P = 18446744073709551616", 26},  // out of range
        {"SELECT * FROM C WHERE P = -9223372036854775809", 26},  // out of range
        {"SELECT * FROM C WHERE P = 0x", 26},                    // hex without digits
        {"SELECT * FROM C WHERE (P = 1", 28},                    // unclosed parenthesis
        {"SELECT * FROM C WHERE P = 1)", 27},                    // stray parenthesis
        {"SELECT * FROM C WHERE P == 1", 25},                    // no such operator
        {"SELECT * FROM C WHERE P ! 1", 24},                     // no such operator
        {"SELECT * FROM C WHERE P = 1 AND", 31},                 // dangling AND
        {"SELECT * FROM C WHERE Emb.Sub = 1", 25},               // dotted name
        {"SELECT * FROM SELECT", 14},                            // keyword as class
        {"SELECT from FROM C", 7},                               // keyword as property
        {"INSERT INTO C VALUES (1)", 0},                         // not a query
        {"ASSOCIATORS {C.K=1}", 12},                             // no OF
        {"ASSOCIATORS OF C.K=1", 15},                            // no braces
        {"ASSOCIATORS OF {C.K=1", 15},                           // unterminated path
        {"ASSOCIATORS OF { }", 15},                              // empty path
        {"ASSOCIATORS OF {C.K=1} WHERE", 28},                    // empty WHERE
        {"ASSOCIATORS OF {C.K=1} WHERE Bogus = X", 29},          // unknown keyword
        {"ASSOCIATORS OF {C.K=1} WHERE Role X", 34},             // missing =
        {"ASSOCIATORS OF {C.K=1} WHERE Role = 'X'", 36},         // quoted value
        {"ASSOCIATORS OF {C.K=1} WHERE Role = A Role = B", 38},  // keyword twice
        {"ASSOCIATORS OF {C.K=1} WHERE ClassDefsOnly ResultClass = D", 57},
        {"ASSOCIATORS OF {C.K=1} WHERE ClassDefsOnly KeysOnly", 43},
        {"REFERENCES OF {C.K=1} WHERE AssocClass = A", 28},  // not for REFERENCES
        {"REFERENCES OF {C.K=1} WHERE ResultRole = A", 28},
        {"REFERENCES OF {C.K=1} WHERE RequiredAssocQualifier = A", 28},
        {"ASSOCIATORS OF {C.K=1} extra", 23},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        try {
            parseQuery(c.query);
            ADD_FAILURE() << "accepted";
        } catch (const QueryError& e) {
            EXPECT_EQ(e.code(), hr::InvalidQuery);
            EXPECT_STREQ(e.what(), "Invalid query");
            EXPECT_EQ(e.offset(), c.offset) << e.detail();
        }
    }
}

TEST(WqlParser, DeepNestingIsRefusedNotACrash) {
    std::string deep =
        "SELECT * FROM C WHERE " + std::string(100000, '(') + "P = 1" + std::string(100000, ')');
    EXPECT_THROW(parseQuery(deep), QueryError);
    std::string nots = "SELECT * FROM C WHERE ";
    for (int i = 0; i < 50000; ++i) nots += "NOT ";
    EXPECT_THROW(parseQuery(nots + "P = 1"), QueryError);
    // Moderate nesting is fine.
    EXPECT_NO_THROW(parseQuery("SELECT * FROM C WHERE " + std::string(50, '(') + "P = 1" +
                               std::string(50, ')')));
}

TEST(WqlParser, ErrorIsFormattedWithItsPosition) {
    std::string query = "SELECT *\n  FRM C";
    try {
        parseQuery(query);
        FAIL() << "accepted";
    } catch (const QueryError& e) {
        EXPECT_EQ(formatQueryError(e, query),
                  "Invalid query: expected FROM (line 2, column 3)\n  FRM C\n  ^");
    }
}

}  // namespace
}  // namespace wbem::wql
