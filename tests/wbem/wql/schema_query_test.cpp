// SELECT * FROM meta_class: class definitions instead of instances.
#include <gtest/gtest.h>

#include "test_repository.h"

namespace wbem::wql {
namespace {

using namespace test;

TEST(WqlMetaClass, ReturnsClassObjectsFilteredBySystemProperties) {
    auto repo = sampleRepository();
    struct Case {
        const char* query;
        const char* expected;
    };
    const Case cases[] = {
        {"SELECT * FROM meta_class",
         "class:Base class:Derived class:Other class:Holder class:Link class:StrongLink "
         "class:Peer"},
        {"select * from META_CLASS where __CLASS = 'base'", "class:Base"},
        {"SELECT * FROM meta_class WHERE __SUPERCLASS = 'Base'", "class:Derived"},
        {"SELECT * FROM meta_class WHERE __DYNASTY = 'Link'", "class:Link class:StrongLink"},
        {"SELECT * FROM meta_class WHERE __this ISA 'Base'", "class:Base class:Derived"},
        {"SELECT * FROM meta_class WHERE __this ISA \"StrongLink\"", "class:StrongLink"},
        {"SELECT * FROM meta_class WHERE __CLASS LIKE '%link'", "class:Link class:StrongLink"},
        {"SELECT * FROM meta_class WHERE __SUPERCLASS IS NOT NULL",
         "class:Derived class:StrongLink"},
        {"SELECT * FROM meta_class WHERE __GENUS = 1 AND __CLASS = 'Peer'", "class:Peer"},
        {"SELECT * FROM meta_class WHERE __PROPERTY_COUNT = 10", "class:Derived"},
        {"SELECT * FROM meta_class WHERE __this ISA 'Base' AND NOT __CLASS = 'Base'",
         "class:Derived"},
        {"SELECT * FROM meta_class WHERE __CLASS = 'NoSuch'", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        auto rs = run(repo, c.query);
        EXPECT_EQ(show(rs), c.expected);
        for (const auto& r : rs) {
            EXPECT_EQ(r.instance, nullptr);
            EXPECT_FALSE(r.partial);
        }
    }
}

TEST(WqlMetaClass, Refusals) {
    auto repo = sampleRepository();
    struct Case {
        const char* query;
        HResult code;
    };
    const Case cases[] = {
        {"SELECT __CLASS FROM meta_class", hr::InvalidQuery},  // only * is allowed
        {"SELECT * FROM meta_class WHERE Name = 'x'", hr::InvalidQuery},
        {"SELECT * FROM meta_class WHERE __this ISA 'NoSuch'", hr::InvalidClass},
        {"SELECT * FROM meta_class WHERE __CLASS = 5 ORDER BY __CLASS", hr::InvalidQuery},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        EXPECT_EQ(hexCode(errorOf(repo, c.query)), hexCode(c.code));
    }
}

}  // namespace
}  // namespace wbem::wql
