// SELECT over instances: which objects come back, what they hold, and which
// queries are refused with which code.
#include <gtest/gtest.h>

#include "test_repository.h"
#include "wbem/limits.h"

namespace wbem::wql {
namespace {

using namespace test;

class WqlSelect : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { repo_ = sampleRepository(); }
    static void TearDownTestSuite() { repo_.reset(); }
    static std::shared_ptr<Repository> repo_;
};
std::shared_ptr<Repository> WqlSelect::repo_;

TEST_F(WqlSelect, ResultsOfValidQueries) {
    const std::vector<QueryCase> cases = {
        // Classes, subclasses, case of keywords, names and strings.
        {"SELECT * FROM Base", "alpha Beta gamma_7"},
        {"SELECT * FROM Derived", "gamma_7"},
        {"select * from base where name = 'ALPHA'", "alpha"},
        {"SeLeCt * FrOm BASE wHeRe NAME = \"beta\"", "Beta"},
        {"SELECT * FROM Base WHERE Name <> 'alpha'", "Beta gamma_7"},
        {"SELECT * FROM Base WHERE Name != 'alpha'", "Beta gamma_7"},
        {"SELECT * FROM Base WHERE Name > 'b'", "Beta gamma_7"},
        {"SELECT * FROM Base WHERE Name <= 'BETA'", "alpha Beta"},
        {"SELECT * FROM Base WHERE Name = 5", ""},
        {"SELECT * FROM Derived WHERE Extra = 'E'", "gamma_7"},
        // Numbers: both orders, strings holding numbers, reals, 64-bit edges.
        {"SELECT * FROM Base WHERE Value > 500", "Beta gamma_7"},
        {"SELECT * FROM Base WHERE 500 < Value", "Beta gamma_7"},
        {"SELECT * FROM Base WHERE 600 >= Value", "alpha Beta"},
        {"SELECT * FROM Base WHERE Value <= 10", "alpha"},
        {"SELECT * FROM Base WHERE Value <> 600", "alpha gamma_7"},
        {"SELECT * FROM Base WHERE Value >= 600", "Beta gamma_7"},
        {"SELECT * FROM Base WHERE Value < 600", "alpha"},
        {"SELECT * FROM Base WHERE Value > 600", "gamma_7"},
        {"SELECT * FROM Base WHERE Value <= 600", "alpha Beta"},
        {"SELECT * FROM Base WHERE Value = '600'", "Beta"},
        {"SELECT * FROM Base WHERE Value = 600.0", "Beta"},
        {"SELECT * FROM Base WHERE Value > 599.5", "Beta gamma_7"},
        {"SELECT * FROM Base WHERE Value = 0x258", "Beta"},
        {"SELECT * FROM Base WHERE Value > -1", "alpha Beta gamma_7"},
        {"SELECT * FROM Base WHERE Big = 18446744073709551615", "alpha"},
        {"SELECT * FROM Base WHERE Big = '18446744073709551615'", "alpha"},
        {"SELECT * FROM Base WHERE Big > -1", "alpha Beta"},
        {"SELECT * FROM Base WHERE Big > 9223372036854775807", "alpha"},
        {"SELECT * FROM Base WHERE Small < 0", "alpha"},
        {"SELECT * FROM Base WHERE Small = 9223372036854775807", "Beta"},
        {"SELECT * FROM Base WHERE Small > 18446744073709551615", ""},
        {"SELECT * FROM Base WHERE Small > 1e18", "Beta"},
        {"SELECT * FROM Base WHERE Small < -4.5", "alpha"},
        {"SELECT * FROM Base WHERE Ratio = 0.5", "alpha"},
        {"SELECT * FROM Base WHERE Ratio < 0", "gamma_7"},
        {"SELECT * FROM Base WHERE Ratio >= 2.5", "Beta"},
        // Booleans: TRUE/FALSE, 1/0, their text.
        {"SELECT * FROM Base WHERE Enabled = TRUE", "alpha gamma_7"},
        {"SELECT * FROM Base WHERE Enabled = FALSE", "Beta"},
        {"SELECT * FROM Base WHERE Enabled <> TRUE", "Beta"},
        {"SELECT * FROM Base WHERE Enabled = 1", "alpha gamma_7"},
        {"SELECT * FROM Base WHERE Enabled = 'false'", "Beta"},
        // Datetimes compare as text.
        {"SELECT * FROM Base WHERE When = '20240101000000.000000+000'", "alpha"},
        {"SELECT * FROM Base WHERE When > '2025'", "Beta"},
        // Nulls match nothing but a null test; NOT flips the outcome.
        {"SELECT * FROM Base WHERE Note IS NULL", "alpha"},
        {"SELECT * FROM Base WHERE Note IS NOT NULL", "Beta gamma_7"},
        {"SELECT * FROM Base WHERE Note = NULL", "alpha"},
        {"SELECT * FROM Base WHERE Note <> NULL", "Beta gamma_7"},
        {"SELECT * FROM Base WHERE Note <> 'x'", "Beta gamma_7"},
        {"SELECT * FROM Base WHERE Note < 'zzz'", "Beta gamma_7"},
        {"SELECT * FROM Base WHERE NOT Note = 'note b'", "alpha gamma_7"},
        {"SELECT * FROM Base WHERE Big < 100", "Beta"},
        // Arrays never match a comparison; they can be null-tested.
        {"SELECT * FROM Base WHERE Tags = 'x'", ""},
        {"SELECT * FROM Base WHERE Tags <> 'x'", ""},
        {"SELECT * FROM Base WHERE Tags IS NOT NULL", "alpha"},
        // LIKE.
        {"SELECT * FROM Base WHERE Name LIKE '%A%'", "alpha Beta gamma_7"},
        {"SELECT * FROM Base WHERE Name LIKE 'b%'", "Beta"},
        {"SELECT * FROM Base WHERE Name LIKE '_ETA'", "Beta"},
        {"SELECT * FROM Base WHERE Name LIKE '%[_]7'", "gamma_7"},
        {"SELECT * FROM Base WHERE Name LIKE '[^a]%'", "Beta gamma_7"},
        {"SELECT * FROM Base WHERE NOT Name LIKE '%a'", "gamma_7"},
        {"SELECT * FROM Base WHERE Value LIKE '6%'", "Beta"},
        {"SELECT * FROM Base WHERE Note LIKE '%'", "Beta gamma_7"},
        // AND, OR, NOT, parentheses.
        {"SELECT * FROM Base WHERE Name LIKE '%7%' AND Value > 500", "gamma_7"},
        {"SELECT * FROM Base WHERE Name = 'alpha' OR Name = 'Beta'", "alpha Beta"},
        {"SELECT * FROM Base WHERE Name = 'alpha' OR Value > 500 AND Enabled = TRUE",
         "alpha gamma_7"},
        {"SELECT * FROM Base WHERE (Name = 'alpha' OR Value > 500) AND Enabled = FALSE", "Beta"},
        {"SELECT * FROM Base WHERE NOT (Value > 500 OR Note IS NULL)", ""},
        {"SELECT * FROM Base WHERE NOT NOT Name = 'alpha'", "alpha"},
        // System properties.
        {"SELECT * FROM Base WHERE __CLASS = 'derived'", "gamma_7"},
        {"SELECT * FROM Base WHERE __SUPERCLASS = 'Base'", "gamma_7"},
        {"SELECT * FROM Base WHERE __SUPERCLASS IS NULL", "alpha Beta"},
        {"SELECT * FROM Base WHERE __DYNASTY = 'Base'", "alpha Beta gamma_7"},
        {"SELECT * FROM Base WHERE __RELPATH = 'Base.Name=\"Beta\"'", "Beta"},
        {"SELECT * FROM Base WHERE __PATH LIKE '\\\\\\\\HOST\\\\root\\\\test:Derived%'", "gamma_7"},
        {"SELECT * FROM Base WHERE __GENUS = 2", "alpha Beta gamma_7"},
        {"SELECT * FROM Base WHERE __PROPERTY_COUNT > 9", "gamma_7"},
        {"SELECT * FROM Base WHERE __DERIVATION = 'Base'", ""},
        {"SELECT * FROM Base WHERE __this ISA 'Derived'", "gamma_7"},
        {"SELECT * FROM Base WHERE __this ISA 'base'", "alpha Beta gamma_7"},
        // References and embedded objects.
        {"SELECT * FROM Holder WHERE Ref ISA 'Derived'", "2"},
        {"SELECT * FROM Holder WHERE Ref ISA 'Base'", "1 2"},
        {"SELECT * FROM Holder WHERE Emb ISA 'Derived'", "1"},
        {"SELECT * FROM Holder WHERE Emb ISA 'Base'", "1"},
        {"SELECT * FROM Holder WHERE Emb ISA 'Other'", "2"},
        {"SELECT * FROM Holder WHERE Emb IS NOT NULL", "1 2"},
        {"SELECT * FROM Holder WHERE Ref = 'base.name=\"ALPHA\"'", "1"},
        {"SELECT * FROM Holder WHERE Ref = '\\\\\\\\HOST\\\\root\\\\test:Base.Name=\"alpha\"'",
         "1"},
        {"SELECT * FROM Holder WHERE Ref <> 'Base.Name=\"alpha\"'", "2"},
        {"SELECT * FROM Link WHERE Item = 'Other.Id=1'", "L1 S2"},
        {"SELECT * FROM Link", "L1 L2 S1 S2"},
    };
    expectAll(repo_, cases);
}

TEST_F(WqlSelect, RefusedQueriesAndTheirCodes) {
    struct Bad {
        const char* query;
        HResult code;
    };
    const Bad cases[] = {
        {"SELECT * FROM NoSuch", hr::InvalidClass},
        {"SELECT Name FROM NoSuch", hr::InvalidClass},
        {"SELECT * FROM NoSuch WHERE Bogus = 1", hr::InvalidClass},
        {"SELECT * FROM NoSuch WHERE", hr::InvalidQuery},  // syntax comes first
        {"SELECT Bogus FROM Base", hr::InvalidQuery},
        {"SELECT Extra FROM Base", hr::InvalidQuery},  // a subclass's property
        {"SELECT __this FROM Base", hr::InvalidQuery},
        {"SELECT * FROM Base WHERE Bogus = 1", hr::InvalidQuery},
        {"SELECT * FROM Base WHERE Bogus IS NULL", hr::InvalidQuery},
        {"SELECT * FROM Base WHERE Value = 'abc'", hr::InvalidQuery},
        {"SELECT * FROM Base WHERE Value = '12abc'", hr::InvalidQuery},
        {"SELECT * FROM Base WHERE Ratio = 'x'", hr::InvalidQuery},
        {"SELECT * FROM Base WHERE Enabled > TRUE", hr::InvalidQuery},
        {"SELECT * FROM Base WHERE Enabled = 'maybe'", hr::InvalidQuery},
        {"SELECT * FROM Base WHERE Enabled = 1.5", hr::InvalidQuery},
        {"SELECT * FROM Base WHERE Ratio LIKE '1%'", hr::InvalidQuery},
        {"SELECT * FROM Base WHERE Enabled LIKE 'T%'", hr::InvalidQuery},
        {"SELECT * FROM Base WHERE Name LIKE '[abc'", hr::InvalidQuery},
        {"SELECT * FROM Base WHERE Name ISA 'Base'", hr::InvalidQuery},
        {"SELECT * FROM Base WHERE __CLASS ISA 'Base'", hr::InvalidQuery},
        {"SELECT * FROM Base WHERE __this = 'Base'", hr::InvalidQuery},
        {"SELECT * FROM Base WHERE __this IS NULL", hr::InvalidQuery},
        {"SELECT * FROM Base WHERE __this ISA 'NoSuch'", hr::InvalidClass},
        {"SELECT * FROM Holder WHERE Ref ISA 'NoSuch'", hr::InvalidClass},
        {"SELECT * FROM Holder WHERE Emb = 'x'", hr::InvalidQuery},
        {"SELECT * FROM Base JOIN Other", hr::InvalidQuery},
        {"SELECT * FROM Base ORDER BY Name", hr::InvalidQuery},
        {"SELECT COUNT(*) FROM Base", hr::InvalidQuery},
        {"SELECT DISTINCT Name FROM Base", hr::InvalidQuery},
        {"SELECT Name FROM Base GROUP BY Name", hr::InvalidQuery},
        {"SELECT Name FROM Base HAVING Value > 1", hr::InvalidQuery},
        {"SELECT * FROM Base WHERE Name IN (SELECT Name FROM Derived)", hr::InvalidQuery},
        {"SELECT * Base", hr::InvalidQuery},
        {"SELECT * FROM Base garbage", hr::InvalidQuery},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        EXPECT_EQ(hexCode(errorOf(repo_, c.query)), hexCode(c.code));
    }
}

TEST_F(WqlSelect, LikePatternsAreCappedAtTheirLimit) {
    // Matching costs text length × pattern length at worst: patterns are capped.
    auto query = [](size_t length) {
        return "SELECT * FROM Base WHERE Name LIKE '%" + std::string(length - 1, '_') + "'";
    };
    EXPECT_EQ(hexCode(errorOf(repo_, query(limits::likePatternLength + 1))),
              hexCode(hr::InvalidQuery));
    EXPECT_EQ(errorOf(repo_, query(limits::likePatternLength)), hr::Ok);
}

TEST_F(WqlSelect, ErrorTextIsWmisOwn) {
    try {
        run(repo_, "SELECT * FROM Base WHERE Value = 'abc'");
        FAIL();
    } catch (const QueryError& e) {
        EXPECT_STREQ(e.what(), "Invalid query");
        EXPECT_EQ(e.offset(), 33u);  // the constant
    }
    try {
        run(repo_, "SELECT * FROM NoSuch");
        FAIL();
    } catch (const QueryError& e) {
        EXPECT_STREQ(e.what(), "Invalid class");
        EXPECT_EQ(e.offset(), 14u);
    }
}

TEST_F(WqlSelect, NamedPropertiesGivePartialObjects) {
    auto snap = repo_->snapshot();
    auto base = snap->find(kNs)->findClass("Base");
    const int name = base->findProperty("Name");
    const int value = base->findProperty("Value");
    const int note = base->findProperty("Note");

    auto all = run(repo_, "SELECT * FROM Base");
    ASSERT_EQ(all.size(), 3u);
    for (const auto& r : all) {
        EXPECT_FALSE(r.partial);
        EXPECT_TRUE(r.projection.empty());
        EXPECT_EQ(r.cls.get(), &r.instance->cls());
    }

    struct P {
        const char* query;
        std::vector<int> projection;
    };
    const P cases[] = {
        {"SELECT Value, name FROM Base", {name, value}},  // slot order, the class's spelling
        {"SELECT Note, Note, NOTE FROM Base", {note}},
        {"SELECT __PATH, Note FROM Base", {note}},
        {"SELECT __CLASS FROM Base", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        auto rs = run(repo_, c.query);
        ASSERT_EQ(rs.size(), 3u);  // the subclass instance included
        for (const auto& r : rs) {
            EXPECT_TRUE(r.partial);
            EXPECT_EQ(r.projection, c.projection);
            ASSERT_TRUE(r.instance);
        }
        EXPECT_EQ(rs[2].cls->name, "Derived");
    }
}

// Instances made before their class was redefined keep the old definition,
// whose slots differ; each is read through its own class.
TEST(WqlSelectLayouts, InstancesOfAnOlderDefinitionAreReadByTheirOwnSlots) {
    auto repo = std::make_shared<Repository>();
    {
        Repository::Transaction tx(*repo);
        tx.ns(kNs, true);
        auto v1 = tx.addClass(
            kNs, classDef("Item", "",
                          {prop("Name", CimType::String, true), prop("Size", CimType::UInt32)}));
        auto old = std::make_shared<Instance>(v1);
        old->set("Name", CimValue::string("old"));
        old->set("Size", CimValue::uint(50));
        tx.addInstance(kNs, old);
        auto v2 = tx.addClass(
            kNs, classDef("Item", "",
                          {prop("Size", CimType::UInt32), prop("Color", CimType::String),
                           prop("Name", CimType::String, true)}));
        auto fresh = std::make_shared<Instance>(v2);
        fresh->set("Name", CimValue::string("new"));
        fresh->set("Size", CimValue::uint(70));
        fresh->set("Color", CimValue::string("red"));
        tx.addInstance(kNs, fresh);
        tx.commit();
    }
    EXPECT_EQ(show(run(repo, "SELECT * FROM Item WHERE Size > 40 AND Name <> 'x'")), "old new");
    EXPECT_EQ(show(run(repo, "SELECT * FROM Item WHERE Size = 70")), "new");
    auto rs = run(repo, "SELECT Name FROM Item");
    ASSERT_EQ(rs.size(), 2u);
    EXPECT_EQ(rs[0].projection, std::vector<int>{0});
    EXPECT_EQ(rs[1].projection, std::vector<int>{2});
}

TEST(WqlSelectNamespace, UnknownNamespaceFails) {
    auto repo = sampleRepository();
    try {
        executeQuery(repo->snapshot(), "root\\nowhere", ObjectContext{}, "SELECT * FROM Base");
        FAIL();
    } catch (const WbemError& e) {
        EXPECT_EQ(e.code(), hr::InvalidNamespace);
    }
}

}  // namespace
}  // namespace wbem::wql
