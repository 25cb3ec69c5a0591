// ASSOCIATORS OF and REFERENCES OF over the sample's Link, StrongLink and Peer
// associations, with each WHERE keyword.
#include <gtest/gtest.h>

#include "test_repository.h"

namespace wbem::wql {
namespace {

using namespace test;

TEST(WqlAssociators, EndpointsWithEachKeyword) {
    auto repo = sampleRepository();
    expectAll(
        repo,
        {
            // alpha: L1 -> 1, L2 -> 2, S2 -> 1 (again: once per association), P1 -> Beta.
            {"ASSOCIATORS OF {Base.Name=\"alpha\"}", "1 2 1 Beta"},
            {"associators of {base.name=\"ALPHA\"}", "1 2 1 Beta"},
            {"ASSOCIATORS OF {\\\\HOST\\root\\test:Base.Name=\"alpha\"}", "1 2 1 Beta"},
            {"ASSOCIATORS OF {Base.Name=\"alpha\"} WHERE AssocClass = Link", "1 2 1"},
            {"ASSOCIATORS OF {Base.Name=\"alpha\"} WHERE AssocClass = StrongLink", "1"},
            {"ASSOCIATORS OF {Base.Name=\"alpha\"} WHERE AssocClass = Peer", "Beta"},
            {"ASSOCIATORS OF {Base.Name=\"alpha\"} WHERE AssocClass = Other", ""},
            {"ASSOCIATORS OF {Base.Name=\"alpha\"} WHERE ResultClass = Base", "Beta"},
            {"ASSOCIATORS OF {Base.Name=\"alpha\"} WHERE ResultClass = Other", "1 2 1"},
            {"ASSOCIATORS OF {Base.Name=\"alpha\"} WHERE ResultClass = Derived", ""},
            {"ASSOCIATORS OF {Base.Name=\"alpha\"} WHERE Role = Left", "Beta"},
            {"ASSOCIATORS OF {Base.Name=\"alpha\"} WHERE Role = Right", ""},
            {"ASSOCIATORS OF {Base.Name=\"alpha\"} WHERE Role = Owner", "1 2 1"},
            {"ASSOCIATORS OF {Base.Name=\"alpha\"} WHERE ResultRole = Item", "1 2 1"},
            {"ASSOCIATORS OF {Base.Name=\"alpha\"} WHERE ResultRole = right", "Beta"},
            {"ASSOCIATORS OF {Base.Name=\"alpha\"} WHERE ResultRole = Owner", ""},
            {"ASSOCIATORS OF {Base.Name=\"alpha\"} WHERE RequiredQualifier = Special", "1 2 1"},
            {"ASSOCIATORS OF {Base.Name=\"alpha\"} WHERE RequiredQualifier = Nothing", ""},
            {"ASSOCIATORS OF {Base.Name=\"alpha\"} WHERE RequiredAssocQualifier = Aggregation",
             "1"},
            {"ASSOCIATORS OF {Base.Name=\"alpha\"} WHERE ClassDefsOnly", "class:Other class:Base"},
            {"ASSOCIATORS OF {Base.Name=\"alpha\"} WHERE AssocClass = Link ResultRole = Item "
             "Role = Owner RequiredQualifier = Special RequiredAssocQualifier = Association",
             "1 2 1"},
            // Other 1 is linked to alpha twice; a reference may name a base class
            // of the object it means.
            {"ASSOCIATORS OF {Other.Id=1}", "alpha alpha"},
            {"ASSOCIATORS OF {Other=1}", "alpha alpha"},
            {"ASSOCIATORS OF {Derived.Name=\"gamma_7\"}", "Beta"},
            {"ASSOCIATORS OF {Base.Name=\"gamma_7\"}", "Beta"},
            {"ASSOCIATORS OF {Base.Name=\"Beta\"} WHERE Role = Left", "gamma_7"},
            {"ASSOCIATORS OF {Base.Name=\"Beta\"} WHERE Role = Right", "alpha"},
            {"ASSOCIATORS OF {Base.Name=\"Beta\"} WHERE ResultClass = Derived", "gamma_7"},
            {"ASSOCIATORS OF {Holder.Id=1}", ""},
        });
}

TEST(WqlAssociators, KeysOnlyGivesPartialObjectsWithTheKeys) {
    auto repo = sampleRepository();
    auto rs = run(repo, "ASSOCIATORS OF {Base.Name=\"alpha\"} WHERE KeysOnly");
    ASSERT_EQ(show(rs), "1 2 1 Beta");
    for (const auto& r : rs) {
        EXPECT_TRUE(r.partial);
        EXPECT_EQ(r.projection, r.cls->keys);
    }
}

TEST(WqlReferences, AssociationsWithEachKeyword) {
    auto repo = sampleRepository();
    expectAll(
        repo,
        {
            {"REFERENCES OF {Base.Name=\"alpha\"}", "L1 L2 S2 P1"},
            {"REFERENCES OF {Base.Name=\"alpha\"} WHERE ResultClass = StrongLink", "S2"},
            {"REFERENCES OF {Base.Name=\"alpha\"} WHERE ResultClass = Link", "L1 L2 S2"},
            {"REFERENCES OF {Base.Name=\"alpha\"} WHERE Role = Owner", "L1 L2 S2"},
            {"REFERENCES OF {Base.Name=\"alpha\"} WHERE Role = Left", "P1"},
            {"REFERENCES OF {Base.Name=\"alpha\"} WHERE RequiredQualifier = Aggregation", "S2"},
            {"REFERENCES OF {Base.Name=\"alpha\"} WHERE ClassDefsOnly",
             "class:Link class:StrongLink class:Peer"},
            {"REFERENCES OF {Base.Name=\"Beta\"}", "S1 P1 P2"},
            {"REFERENCES OF {Base.Name=\"Beta\"} WHERE Role = Right", "P1"},
            {"REFERENCES OF {Other.Id=3}", "S1"},
            {"REFERENCES OF {Derived.Name=\"gamma_7\"}", "P2"},
        });
}

// What a client needs to group associated objects by association class and
// role: each association whole, as its own class, with its references as written.
TEST(WqlReferences, AssociationsComeWholeAsTheirOwnClassWithTheirReferences) {
    auto repo = sampleRepository();
    std::vector<std::string> seen;
    for (const auto& r : run(repo, "REFERENCES OF {Base.Name=\"alpha\"}")) {
        ASSERT_TRUE(r.instance);
        EXPECT_FALSE(r.partial);
        std::string line = r.cls->name;
        for (const char* role : {"Owner", "Item", "Left", "Right"})
            if (const CimValue* v = r.instance->find(role))
                line += std::string(" ") + role + "=" + v->asString();
        seen.push_back(line);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "Link Owner=\\\\HOST\\root\\test:Base.Name=\"alpha\" Item=Other.Id=1",
                        "Link Owner=Base.Name=\"alpha\" Item=Other.Id=2",
                        "StrongLink Owner=Base.Name=\"ALPHA\" Item=Other.Id=1",
                        "Peer Left=Base.Name=\"alpha\" Right=Base.Name=\"Beta\"",
                    }));
}

TEST(WqlSchemaAssociations, ClassSourcesGiveClasses) {
    auto repo = sampleRepository();
    expectAll(
        repo,
        {
            {"ASSOCIATORS OF {Base}", "class:Other class:Base"},
            {"ASSOCIATORS OF {Base} WHERE SchemaOnly", "class:Other class:Base"},
            {"ASSOCIATORS OF {Derived} WHERE SchemaOnly", "class:Other class:Base"},
            {"ASSOCIATORS OF {Other} WHERE SchemaOnly", "class:Base"},
            {"ASSOCIATORS OF {Base} WHERE AssocClass = Peer SchemaOnly", "class:Base"},
            {"ASSOCIATORS OF {Base} WHERE ResultRole = Item", "class:Other"},
            {"ASSOCIATORS OF {Base} WHERE ResultClass = Other", "class:Other"},
            {"ASSOCIATORS OF {Base} WHERE RequiredQualifier = Special", "class:Other"},
            {"ASSOCIATORS OF {Base} WHERE RequiredAssocQualifier = Aggregation", "class:Other"},
            {"REFERENCES OF {Base} WHERE SchemaOnly", "class:Link class:StrongLink class:Peer"},
            {"REFERENCES OF {Other}", "class:Link class:StrongLink"},
            {"REFERENCES OF {Base} WHERE Role = Left", "class:Peer"},
            {"REFERENCES OF {Holder}", ""},
        });
}

TEST(WqlAssociators, Refusals) {
    auto repo = sampleRepository();
    struct Bad {
        const char* query;
        HResult code;
    };
    const Bad cases[] = {
        {"ASSOCIATORS OF {NoSuch.Id=1}", hr::InvalidClass},
        {"ASSOCIATORS OF {NoSuch}", hr::InvalidClass},
        {"REFERENCES OF {NoSuch.Id=1}", hr::InvalidClass},
        {"ASSOCIATORS OF {Base.Name=\"zzz\"}", hr::NotFound},
        {"REFERENCES OF {Other.Id=99}", hr::NotFound},
        {"ASSOCIATORS OF {Base.Name=}", hr::InvalidQuery},
        {"ASSOCIATORS OF {.Name=\"a\"}", hr::InvalidQuery},
        {"ASSOCIATORS OF {Base.Name=\"alpha\"} WHERE AssocClass = NoSuch", hr::InvalidClass},
        {"ASSOCIATORS OF {Base.Name=\"alpha\"} WHERE ResultClass = NoSuch", hr::InvalidClass},
        {"ASSOCIATORS OF {Base.Name=\"alpha\"} WHERE ClassDefsOnly ResultClass = Other",
         hr::InvalidQuery},
        {"ASSOCIATORS OF {Base.Name=\"alpha\"} WHERE SchemaOnly", hr::InvalidQuery},
        {"ASSOCIATORS OF {Base} WHERE KeysOnly", hr::InvalidQuery},
        {"REFERENCES OF {Base.Name=\"alpha\"} WHERE AssocClass = Link", hr::InvalidQuery},
        {"ASSOCIATORS OF {Base.Name=\"alpha\"} WHERE Name = 'x'", hr::InvalidQuery},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        EXPECT_EQ(hexCode(errorOf(repo, c.query)), hexCode(c.code));
    }
}

}  // namespace
}  // namespace wbem::wql

namespace wbem::wql {
namespace {

using namespace test;

// An object with thousands of associations: endpoints are found through one
// walk of their class, with the same answers as one lookup each (dangling
// references name nothing, key values compare ignoring case, a reference to
// a base class finds the subclass instance).
TEST(WqlAssociators, ManyAssociationsGiveEveryEndpointInOrder) {
    constexpr int kItems = 3000;
    auto repo = std::make_shared<Repository>();
    Repository::Transaction tx(*repo);
    tx.ns(kNs, true);
    auto hub = tx.addClass(kNs, classDef("Hub", "", {prop("Id", CimType::UInt32, true)}));
    auto item = tx.addClass(kNs, classDef("Item", "", {prop("Name", CimType::String, true)}));
    auto special = tx.addClass(kNs, classDef("SpecialItem", "Item", {}));
    auto linkDef = classDef("HubLink", "",
                            {prop("Hub", CimType::Reference, true, false, "Hub"),
                             prop("Member", CimType::Reference, true, false, "Item")});
    linkDef->qualifiers.push_back(flag("Association"));
    auto link = tx.addClass(kNs, linkDef);
    auto h = std::make_shared<Instance>(hub);
    h->set("Id", CimValue::uint(1));
    tx.addInstance(kNs, h);
    std::string expected;
    for (int i = 0; i < kItems; ++i) {
        const std::string name = "item" + std::to_string(i);
        auto it = std::make_shared<Instance>(i == 7 ? special : item);
        it->set("Name", CimValue::string(name));
        if (i % 500 != 3) tx.addInstance(kNs, it);  // some links dangle
        auto l = std::make_shared<Instance>(link);
        l->set("Hub", CimValue::string("Hub.Id=1"));
        // Some references spell the key in another case.
        l->set("Member",
               CimValue::string("Item.Name=\"" + (i % 2 ? name : "ITEM" + name.substr(4)) + "\""));
        tx.addInstance(kNs, l);
        if (i % 500 != 3) expected += (expected.empty() ? "" : " ") + name;
    }
    tx.commit();
    EXPECT_EQ(show(run(repo, "ASSOCIATORS OF {Hub.Id=1}")), expected);
    EXPECT_EQ(run(repo, "REFERENCES OF {Hub.Id=1}").size(), size_t(kItems));
}

}  // namespace
}  // namespace wbem::wql
