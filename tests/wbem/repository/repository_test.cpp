#include "wbem/repository/repository.h"

#include <gtest/gtest.h>

#include "wbem/errors.h"
#include "wbem/repository/instance_source.h"

using namespace wbem;

namespace {

PropertyDef prop(const std::string& name, CimType type, bool key = false) {
    PropertyDef p;
    p.name = name;
    p.type.type = type;
    if (key) p.qualifiers.push_back({"key", CimType::Boolean, false, CimValue::boolean(true)});
    return p;
}

std::shared_ptr<ClassDef> cls(const std::string& name, const std::string& super,
                              std::vector<PropertyDef> props) {
    auto c = std::make_shared<ClassDef>();
    c->name = name;
    c->superclass = super;
    c->properties = std::move(props);
    return c;
}

// root with one system class, root\test with Base <- Derived.
std::shared_ptr<Repository> sample() {
    auto repo = std::make_shared<Repository>();
    Repository::Transaction tx(*repo);
    tx.ns("root", true);
    tx.addClass("root", cls("__SystemClass", "", {}));
    tx.addClass("root", cls("__NAMESPACE", "__SystemClass", {prop("Name", CimType::String, true)}));
    tx.ns("root\\test", true);
    auto base = cls("Base", "", {prop("Id", CimType::UInt32, true), prop("Name", CimType::String)});
    base->qualifiers.push_back(
        {"Secret", CimType::Boolean, false, CimValue::boolean(true), flavor::Restricted});
    base->qualifiers.push_back({"Description", CimType::String, false, CimValue::string("b")});
    tx.addClass("root\\test", base);
    auto derived =
        cls("Derived", "Base", {prop("name", CimType::String), prop("Extra", CimType::SInt64)});
    tx.addClass("root\\test", derived);
    tx.commit();
    return repo;
}

}  // namespace

TEST(NamespaceKey, AcceptsWmiFormsAndRejectsBrokenPaths) {
    for (const char* good : {"root\\cimv2", "ROOT/CIMV2", "\\\\.\\root\\cimv2", "//./root/cimv2"})
        EXPECT_EQ(namespaceKey(good), "root\\cimv2") << good;
    for (const char* bad : {"", "root\\", "root\\\\cimv2", "\\root", "\\\\.", "/"})
        EXPECT_EQ(namespaceKey(bad), "") << bad;
}

TEST(Repository, DerivedClassInheritsAndOverridesInPlace) {
    auto snap = sample()->snapshot();
    const NamespaceState* ns = snap->find("ROOT/Test");
    ASSERT_NE(ns, nullptr);
    auto d = ns->findClass("derived");
    ASSERT_TRUE(d);
    ASSERT_EQ(d->properties.size(), 3u);
    EXPECT_EQ(d->properties[0].name, "Id");
    EXPECT_TRUE(d->properties[0].isKey);
    EXPECT_EQ(d->properties[1].classOrigin, "Base");  // the override keeps its slot and origin
    EXPECT_EQ(d->properties[2].classOrigin, "Derived");
    EXPECT_EQ(d->derivation, std::vector<std::string>{"Base"});
    EXPECT_EQ(d->keys, std::vector<int>{0});
    EXPECT_TRUE(d->qualifier("Description"));
    EXPECT_FALSE(d->qualifier("Secret"));  // restricted qualifiers stay with their class
    // Alphabetical order ignores case: Extra, Id, name.
    EXPECT_EQ(d->alphabetical, (std::vector<int>{2, 0, 1}));
}

TEST(Repository, NewNamespacesGetTheSystemClassesAndAreListedAsChildren) {
    auto snap = sample()->snapshot();
    const NamespaceState* ns = snap->find("root\\test");
    EXPECT_TRUE(ns->findClass("__NAMESPACE"));
    EXPECT_EQ(snap->childNames("root"), std::vector<std::string>{"test"});
    EXPECT_TRUE(snap->childNames("root\\test").empty());
}

TEST(Repository, TransactionIsInvisibleUntilCommitAndAbortsCleanly) {
    auto repo = sample();
    {
        Repository::Transaction tx(*repo);
        tx.addClass("root\\test", cls("Other", "", {}));
        EXPECT_FALSE(repo->snapshot()->find("root\\test")->findClass("Other"));
        try {
            tx.addClass("root\\test", cls("Broken", "NoSuchClass", {}));
            ADD_FAILURE();
        } catch (const WbemError& e) {
            EXPECT_EQ(e.code(), hr::InvalidSuperclass);
        }
        // dropped without commit
    }
    EXPECT_FALSE(repo->snapshot()->find("root\\test")->findClass("Other"));
    Repository::Transaction tx(*repo);
    EXPECT_THROW(tx.ns("root\\missing", false), WbemError);
}

TEST(Repository, ReplacingAClassDerivesItsSubclassesAnew) {
    auto repo = sample();
    Repository::Transaction tx(*repo);
    tx.addClass("root\\test", cls("Base", "",
                                  {prop("Id", CimType::UInt32, true), prop("Name", CimType::String),
                                   prop("Added", CimType::Boolean)}));
    // A class may not become its own ancestor.
    EXPECT_THROW(tx.addClass("root\\test", cls("Base", "Derived", {})), WbemError);
    tx.commit();
    auto d = repo->snapshot()->find("root\\test")->findClass("Derived");
    EXPECT_GE(d->findProperty("Added"), 0);
    EXPECT_GE(d->findProperty("Extra"), 0);
}

namespace {

class CountingProvider : public InstanceProvider {
  public:
    mutable int opened = 0;
    mutable QueryHints lastHints;
    std::unique_ptr<InstanceCursor> open(const std::shared_ptr<const ClassDef>& c,
                                         const QueryHints& hints) const override {
        ++opened;
        lastHints = hints;
        std::vector<std::shared_ptr<const Instance>> items;
        for (uint32_t id : {10u, 11u}) {
            auto inst = std::make_shared<Instance>(c);
            inst->set("Id", CimValue::uint(id));
            items.push_back(inst);
        }
        return std::make_unique<VectorCursor>(std::move(items));
    }
};

}  // namespace

// Static Base instances with these ids, and the provider for Derived.
void addStaticsAndProvider(Repository& repo, std::initializer_list<uint32_t> ids,
                           std::shared_ptr<InstanceProvider> provider) {
    Repository::Transaction tx(repo);
    auto base = tx.ns("root\\test", false).findClass("Base");
    for (uint32_t id : ids) {
        auto inst = std::make_shared<Instance>(base);
        inst->set("Id", CimValue::uint(id));
        inst->set("Name", CimValue::string("one"));
        tx.addInstance("root\\test", inst);
    }
    tx.setProvider("root\\test", "Derived", std::move(provider));
    tx.commit();
}

TEST(InstanceSource, WalksStaticThenLiveInstancesOfTheWholeFamily) {
    auto repo = sample();
    auto provider = std::make_shared<CountingProvider>();
    addStaticsAndProvider(*repo, {1}, provider);
    auto snap = repo->snapshot();
    const NamespaceState& ns = *snap->find("root\\test");
    EXPECT_EQ(provider->opened, 0);  // nothing runs before the walk starts
    auto cursor = openInstances(snap, ns, "Base");
    std::vector<std::string> paths;
    while (auto i = cursor->next()) paths.push_back(relPathOf(*i));
    EXPECT_EQ(paths, (std::vector<std::string>{"Base.Id=1", "Derived.Id=10", "Derived.Id=11"}));

    auto found = findInstance(snap, ns, parseObjectPath("Base.Id=11"));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->cls().name, "Derived");
    ASSERT_NE(provider->lastHints.equalTo("id"), nullptr);
    EXPECT_EQ(provider->lastHints.equalTo("id")->asUInt(), 11u);
    EXPECT_FALSE(findInstance(snap, ns, parseObjectPath("Base.Id=99")));
    // A key that is a number only in part names nothing.
    EXPECT_FALSE(findInstance(snap, ns, parseObjectPath("Base.Id=11abc")));
    EXPECT_FALSE(findInstance(snap, ns, parseObjectPath("Base.Id=-11")));
    EXPECT_THROW(openInstances(snap, ns, "Nope"), WbemError);
}

// Runs lend what next() gives, in the same order, and either call takes up
// where the other left off.
TEST(InstanceSource, RunsLendTheSameWalkAsNext) {
    auto repo = sample();
    addStaticsAndProvider(*repo, {1, 2, 3}, std::make_shared<CountingProvider>());
    auto snap = repo->snapshot();
    const NamespaceState& ns = *snap->find("root\\test");
    const std::vector<std::string> whole{"Base.Id=1", "Base.Id=2", "Base.Id=3", "Derived.Id=10",
                                         "Derived.Id=11"};

    auto byRuns = openInstances(snap, ns, "Base");
    std::vector<std::string> paths;
    size_t runs = 0;
    for (auto run = byRuns->nextRun(); !run.empty(); run = byRuns->nextRun(), ++runs)
        for (const auto& inst : run) paths.push_back(relPathOf(*inst));
    EXPECT_EQ(paths, whole);
    EXPECT_EQ(runs, 3u) << "the statics in one run, the provider's one by one";
    EXPECT_TRUE(byRuns->nextRun().empty());

    auto mixed = openInstances(snap, ns, "Base");
    paths = {relPathOf(*mixed->next())};
    for (const auto& inst : mixed->nextRun()) paths.push_back(relPathOf(*inst));
    EXPECT_EQ(paths, (std::vector<std::string>(whole.begin(), whole.begin() + 3)));
    while (auto inst = mixed->next()) paths.push_back(relPathOf(*inst));
    EXPECT_EQ(paths, whole);
}

TEST(InstanceSource, NamespaceInstancesNameTheChildNamespaces) {
    auto repo = sample();
    auto snap = repo->snapshot();
    auto cursor = openInstances(snap, *snap->find("root"), "__NAMESPACE");
    auto first = cursor->next();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->find("Name")->asString(), "test");
    EXPECT_EQ(relPathOf(*first), "__NAMESPACE.Name=\"test\"");
    EXPECT_FALSE(cursor->next());
}

TEST(RelPath, KeysInNameOrderQuotedByType) {
    auto c =
        cls("K", "", {prop("Zed", CimType::String, true), prop("Alpha", CimType::SInt32, true)});
    c->finalize();
    Instance inst(c);
    EXPECT_EQ(relPathOf(inst), "");  // a null key leaves no path
    inst.set("Zed", CimValue::string("a\"b"));
    inst.set("Alpha", CimValue::sint(-4));
    EXPECT_EQ(relPathOf(inst), "K.Alpha=-4,Zed=\"a\\\"b\"");
    EXPECT_EQ(fullPath("SRV", "root\\x", relPathOf(inst)),
              "\\\\SRV\\root\\x:K.Alpha=-4,Zed=\"a\\\"b\"");
}

TEST(RelPath, EachKeyTypeAsAPathWritesIt) {
    auto c = cls("T", "",
                 {prop("Big", CimType::UInt64, true), prop("Flag", CimType::Boolean, true),
                  prop("Letter", CimType::Char16, true), prop("Low", CimType::SInt64, true),
                  prop("Text", CimType::String, true)});
    c->finalize();
    Instance inst(c);
    inst.set("Big", CimValue::uint(18446744073709551615ull));
    inst.set("Flag", CimValue::boolean(true));
    inst.set("Letter", CimValue::uint('q'));
    inst.set("Low", CimValue::sint(INT64_MIN));
    inst.set("Text", CimValue::string("C:\\dir"));
    EXPECT_EQ(relPathOf(inst),
              "T.Big=18446744073709551615,Flag=TRUE,Letter=\"q\",Low=-9223372036854775808,"
              "Text=\"C:\\\\dir\"");
}
