// Feeds arbitrary bytes to the WQL engine as a query: parsed, then run against
// a tiny fixed repository (a class hierarchy, an association, a reference and
// an embedded object). Refusals are WbemError; anything else is a bug.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "wbem/errors.h"
#include "wbem/repository/repository.h"
#include "wbem/wql/wql.h"

namespace {

using namespace wbem;

constexpr const char* kNs = "root\\fuzz";

PropertyDef prop(const char* name, CimType type, bool key = false, const char* refClass = "") {
    PropertyDef p;
    p.name = name;
    p.type.type = type;
    p.type.refClass = refClass;
    p.isKey = key;
    return p;
}

std::shared_ptr<ClassDef> classDef(const char* name, const char* super,
                                   std::vector<PropertyDef> props, bool association = false) {
    auto c = std::make_shared<ClassDef>();
    c->name = name;
    c->superclass = super;
    c->properties = std::move(props);
    if (association)
        c->qualifiers.push_back(
            {"Association", CimType::Boolean, false, CimValue::boolean(true), 0, false});
    return c;
}

std::shared_ptr<const RepositoryState> fixture() {
    static const std::shared_ptr<const RepositoryState> state = [] {
        Repository repo;
        Repository::Transaction tx(repo);
        tx.ns(kNs, true);
        auto base = tx.addClass(
            kNs, classDef("Base", "",
                          {prop("Name", CimType::String, true), prop("Value", CimType::SInt32),
                           prop("Big", CimType::UInt64), prop("Ratio", CimType::Real64),
                           prop("On", CimType::Boolean), prop("When", CimType::DateTime)}));
        auto derived = tx.addClass(kNs, classDef("Derived", "Base",
                                                 {prop("Ref", CimType::Reference, false, "Base"),
                                                  prop("Emb", CimType::Object)}));
        auto link = tx.addClass(kNs, classDef("Link", "",
                                              {prop("A", CimType::Reference, true, "Base"),
                                               prop("B", CimType::Reference, true, "Base")},
                                              true));
        auto a = std::make_shared<Instance>(base);
        a->set("Name", CimValue::string("a"));
        a->set("Value", CimValue::sint(-3));
        a->set("Big", CimValue::uint(UINT64_MAX));
        a->set("Ratio", CimValue::real(0.25));
        a->set("On", CimValue::boolean(true));
        tx.addInstance(kNs, a);
        auto b = std::make_shared<Instance>(derived);
        b->set("Name", CimValue::string("B_7"));
        b->set("Value", CimValue::sint(700));
        b->set("When", CimValue::string("20240101000000.000000+000"));
        b->set("Ref", CimValue::string("Base.Name=\"a\""));
        b->set("Emb", CimValue::object(a));
        tx.addInstance(kNs, b);
        auto l = std::make_shared<Instance>(link);
        l->set("A", CimValue::string("Base.Name=\"a\""));
        l->set("B", CimValue::string("\\\\H\\root\\fuzz:Derived.Name=\"B_7\""));
        tx.addInstance(kNs, l);
        tx.commit();
        return repo.snapshot();
    }();
    return state;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view query(reinterpret_cast<const char*>(data), size);
    try {
        wql::parseQuery(query);
    } catch (const wql::QueryError& e) {
        // The diagnostic formatter must cope with any offset and text.
        (void)wql::formatQueryError(e, query);
        return 0;
    } catch (const WbemError&) {
        return 0;
    }
    try {
        auto results = wql::executeQuery(fixture(), kNs, ObjectContext{"H", kNs}, query);
        for (const auto& r : results) {
            if (!r.cls) __builtin_trap();
            for (int slot : r.projection)
                if (slot < 0 || size_t(slot) >= r.cls->properties.size()) __builtin_trap();
        }
    } catch (const WbemError&) {
    }
    return 0;
}
