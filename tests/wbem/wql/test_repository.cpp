#include "test_repository.h"

#include <gtest/gtest.h>

namespace wbem::wql::test {

PropertyDef prop(const std::string& name, CimType type, bool key, bool array,
                 const std::string& refClass) {
    PropertyDef p;
    p.name = name;
    p.type.type = type;
    p.type.isArray = array;
    p.type.refClass = refClass;
    p.isKey = key;
    return p;
}

std::shared_ptr<ClassDef> classDef(const std::string& name, const std::string& super,
                                   std::vector<PropertyDef> props) {
    auto c = std::make_shared<ClassDef>();
    c->name = name;
    c->superclass = super;
    c->properties = std::move(props);
    return c;
}

Qualifier flag(const std::string& name) {
    return Qualifier{name, CimType::Boolean, false, CimValue::boolean(true), 0, false};
}

namespace {

using Values = std::vector<std::pair<const char*, CimValue>>;

void add(Repository::Transaction& tx, const std::shared_ptr<const ClassDef>& cls,
         const Values& values) {
    auto inst = std::make_shared<Instance>(cls);
    for (const auto& [name, value] : values) inst->set(name, value);
    tx.addInstance(kNs, inst);
}

CimValue str(const char* s) { return CimValue::string(s); }

}  // namespace

std::shared_ptr<Repository> sampleRepository() {
    auto repo = std::make_shared<Repository>();
    Repository::Transaction tx(*repo);
    tx.ns(kNs, true);
    auto base = tx.addClass(
        kNs, classDef("Base", "",
                      {prop("Name", CimType::String, true), prop("Value", CimType::SInt32),
                       prop("Big", CimType::UInt64), prop("Small", CimType::SInt64),
                       prop("Ratio", CimType::Real64), prop("Enabled", CimType::Boolean),
                       prop("When", CimType::DateTime), prop("Tags", CimType::String, false, true),
                       prop("Note", CimType::String)}));
    auto derived = tx.addClass(kNs, classDef("Derived", "Base", {prop("Extra", CimType::String)}));
    auto otherDef = classDef("Other", "", {prop("Id", CimType::UInt32, true)});
    otherDef->qualifiers.push_back(flag("Special"));
    auto other = tx.addClass(kNs, otherDef);
    auto holder = tx.addClass(kNs, classDef("Holder", "",
                                            {prop("Id", CimType::UInt32, true),
                                             prop("Ref", CimType::Reference, false, false, "Base"),
                                             prop("Emb", CimType::Object)}));
    auto linkDef = classDef(
        "Link", "",
        {prop("Owner", CimType::Reference, true, false, "Base"),
         prop("Item", CimType::Reference, true, false, "Other"), prop("Label", CimType::String)});
    linkDef->qualifiers.push_back(flag("Association"));
    auto link = tx.addClass(kNs, linkDef);
    auto strongDef = classDef("StrongLink", "Link", {});
    strongDef->qualifiers.push_back(flag("Aggregation"));
    auto strong = tx.addClass(kNs, strongDef);
    auto peerDef = classDef(
        "Peer", "",
        {prop("Left", CimType::Reference, true, false, "Base"),
         prop("Right", CimType::Reference, true, false, "Base"), prop("Label", CimType::String)});
    peerDef->qualifiers.push_back(flag("Association"));
    auto peer = tx.addClass(kNs, peerDef);

    add(tx, base,
        {{"Name", str("alpha")},
         {"Value", CimValue::sint(10)},
         {"Big", CimValue::uint(18446744073709551615ull)},
         {"Small", CimValue::sint(-5)},
         {"Ratio", CimValue::real(0.5)},
         {"Enabled", CimValue::boolean(true)},
         {"When", str("20240101000000.000000+000")},
         {"Tags", CimValue::array({str("x"), str("y")})}});
    add(tx, base,
        {{"Name", str("Beta")},
         {"Value", CimValue::sint(600)},
         {"Big", CimValue::uint(5)},
         {"Small", CimValue::sint(9223372036854775807ll)},
         {"Ratio", CimValue::real(2.5)},
         {"Enabled", CimValue::boolean(false)},
         {"When", str("20250601000000.000000+000")},
         {"Note", str("note b")}});
    add(tx, derived,
        {{"Name", str("gamma_7")},
         {"Value", CimValue::sint(700)},
         {"Ratio", CimValue::real(-1)},
         {"Enabled", CimValue::boolean(true)},
         {"Note", str("7th")},
         {"Extra", str("e")}});
    for (uint64_t id : {1, 2, 3}) add(tx, other, {{"Id", CimValue::uint(id)}});

    auto embDerived = std::make_shared<Instance>(derived);
    embDerived->set("Name", str("inner"));
    auto embOther = std::make_shared<Instance>(other);
    embOther->set("Id", CimValue::uint(9));
    add(tx, holder,
        {{"Id", CimValue::uint(1)},
         {"Ref", str("Base.Name=\"alpha\"")},
         {"Emb", CimValue::object(embDerived)}});
    add(tx, holder,
        {{"Id", CimValue::uint(2)},
         {"Ref", str("Derived.Name=\"gamma_7\"")},
         {"Emb", CimValue::object(embOther)}});

    // One reference carries the full path, as providers often write them.
    add(tx, link,
        {{"Owner", str("\\\\HOST\\root\\test:Base.Name=\"alpha\"")},
         {"Item", str("Other.Id=1")},
         {"Label", str("L1")}});
    add(tx, link,
        {{"Owner", str("Base.Name=\"alpha\"")}, {"Item", str("Other.Id=2")}, {"Label", str("L2")}});
    add(tx, strong,
        {{"Owner", str("Base.Name=\"Beta\"")}, {"Item", str("Other.Id=3")}, {"Label", str("S1")}});
    add(tx, strong,
        {{"Owner", str("Base.Name=\"ALPHA\"")}, {"Item", str("Other.Id=1")}, {"Label", str("S2")}});
    add(tx, peer,
        {{"Left", str("Base.Name=\"alpha\"")},
         {"Right", str("Base.Name=\"Beta\"")},
         {"Label", str("P1")}});
    // gamma_7 is a Derived, named here through its base class.
    add(tx, peer,
        {{"Left", str("Base.Name=\"Beta\"")},
         {"Right", str("Base.Name=\"gamma_7\"")},
         {"Label", str("P2")}});
    tx.commit();
    return repo;
}

std::vector<ResultObject> run(const std::shared_ptr<Repository>& repo, const std::string& query) {
    return executeQuery(repo->snapshot(), kNs, ObjectContext{"HOST", kNs}, query);
}

std::string show(const std::vector<ResultObject>& results) {
    std::string out;
    for (const auto& r : results) {
        if (!out.empty()) out += ' ';
        if (!r.instance) {
            out += "class:" + r.cls->name;
            continue;
        }
        const CimValue* label = r.instance->find("Label");
        const CimValue* v =
            label ? label : (r.cls->keys.empty() ? nullptr : &r.instance->value(r.cls->keys[0]));
        if (!v || v->isNull())
            out += "?";
        else if (v->kind() == CimValue::Kind::String)
            out += v->asString();
        else if (v->kind() == CimValue::Kind::UInt)
            out += std::to_string(v->asUInt());
        else
            out += mofLiteral(*v, CimType::String);
    }
    return out;
}

void expectAll(const std::shared_ptr<Repository>& repo, const std::vector<QueryCase>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        try {
            EXPECT_EQ(show(run(repo, c.query)), c.expected);
        } catch (const QueryError& e) {
            ADD_FAILURE() << formatQueryError(e, c.query);
        }
    }
}

HResult errorOf(const std::shared_ptr<Repository>& repo, const std::string& query) {
    try {
        run(repo, query);
        return 0;
    } catch (const WbemError& e) {
        return e.code();
    }
}

}  // namespace wbem::wql::test
