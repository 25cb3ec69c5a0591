// What a query tells a provider: key/property equalities every wanted
// instance satisfies, and the properties the caller reads.
#include <gtest/gtest.h>

#include <mutex>

#include "test_repository.h"

namespace wbem::wql {
namespace {

using namespace test;

// Records the hints of every open() and returns all its instances, whatever
// the hints say, so the tests also show that the query still filters.
class CountingProvider : public InstanceProvider {
  public:
    std::unique_ptr<InstanceCursor> open(const std::shared_ptr<const ClassDef>& cls,
                                         const QueryHints& hints) const override {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(hints);
        std::vector<std::shared_ptr<const Instance>> out;
        for (uint64_t handle : {4, 8, 12}) {
            auto inst = std::make_shared<Instance>(cls);
            inst->set("Handle", CimValue::uint(handle));
            inst->set("Name", CimValue::string("proc" + std::to_string(handle)));
            inst->set("Threads", CimValue::uint(handle / 4));
            inst->set("Expensive", CimValue::string("costly"));
            out.push_back(std::move(inst));
        }
        return std::make_unique<VectorCursor>(std::move(out));
    }

    QueryHints last() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_.empty() ? QueryHints{} : calls_.back();
    }
    size_t count() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_.size();
    }

  private:
    mutable std::mutex mutex_;
    mutable std::vector<QueryHints> calls_;
};

class WqlNarrowing : public ::testing::Test {
  protected:
    void SetUp() override {
        repo_ = std::make_shared<Repository>();
        provider_ = std::make_shared<CountingProvider>();
        Repository::Transaction tx(*repo_);
        tx.ns(kNs, true);
        tx.addClass(
            kNs, classDef("Proc", "",
                          {prop("Handle", CimType::UInt32, true), prop("Name", CimType::String),
                           prop("Threads", CimType::UInt32), prop("Expensive", CimType::String)}));
        tx.setProvider(kNs, "Proc", provider_);
        tx.commit();
    }

    std::string equalsOf(const QueryHints& h) {
        std::string out;
        for (const auto& [name, v] : h.equals) {
            if (!out.empty()) out += ", ";
            out += name + "=" + mofLiteral(v, CimType::String);
            if (v.kind() == CimValue::Kind::UInt) out += "u";
        }
        return out;
    }
    static std::string join(const std::vector<std::string>& names) {
        std::string out;
        for (const auto& n : names) out += (out.empty() ? "" : ",") + n;
        return out;
    }

    std::shared_ptr<Repository> repo_;
    std::shared_ptr<CountingProvider> provider_;
};

TEST_F(WqlNarrowing, HintsReachTheProvider) {
    struct Case {
        const char* query;
        const char* equals;    // hints.equals as name=value; u marks an unsigned value
        const char* selected;  // hints.selected, empty for all properties
        const char* results;
    };
    const Case cases[] = {
        {"SELECT Name FROM Proc WHERE Handle = 8", "Handle=8u", "Name,Handle", "8"},
        {"SELECT Name FROM Proc WHERE '8' = Handle", "Handle=8u", "Name,Handle", "8"},
        {"SELECT * FROM Proc WHERE handle = 8", "Handle=8u", "", "8"},
        {"SELECT * FROM Proc WHERE Handle = 8.0", "Handle=8u", "", "8"},
        {"SELECT Name FROM Proc WHERE Threads > 1 AND Name = 'proc12'", "Name=\"proc12\"",
         "Name,Threads,Handle", "12"},
        {"SELECT Name FROM Proc WHERE Name = 8 AND Handle = 4 AND (Threads = 1 OR Threads = 9)",
         "Name=\"8\", Handle=4u", "Name,Handle,Threads", ""},
        {"SELECT * FROM Proc WHERE Handle = 4 OR Handle = 8", "", "", "4 8"},
        {"SELECT * FROM Proc WHERE NOT Handle = 4", "", "", "8 12"},
        {"SELECT * FROM Proc WHERE Handle <> 4", "", "", "8 12"},
        {"SELECT * FROM Proc WHERE Handle = -1", "", "", ""},  // no uint32 is -1
        {"SELECT * FROM Proc WHERE Handle = 4.5", "", "", ""},
        {"SELECT __PATH FROM Proc", "", "Handle", "4 8 12"},
        {"SELECT Expensive FROM Proc WHERE Name LIKE '%1%'", "", "Expensive,Name,Handle", "12"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        size_t before = provider_->count();
        auto rs = run(repo_, c.query);
        EXPECT_EQ(provider_->count(), before + 1);
        QueryHints h = provider_->last();
        EXPECT_EQ(equalsOf(h), c.equals);
        EXPECT_EQ(join(h.selected), c.selected);
        EXPECT_EQ(show(rs), c.results);
    }
}

TEST_F(WqlNarrowing, UnselectedPropertyIsNotRequested) {
    run(repo_, "SELECT Name, Threads FROM Proc WHERE Handle = 4");
    QueryHints h = provider_->last();
    EXPECT_FALSE(h.wants("Expensive"));
    EXPECT_TRUE(h.wants("name"));
    ASSERT_NE(h.equalTo("HANDLE"), nullptr);
    EXPECT_EQ(*h.equalTo("HANDLE"), CimValue::uint(4));
}

}  // namespace
}  // namespace wbem::wql
