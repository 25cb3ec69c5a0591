// The whole DMTF CIM Schema 2.49: real-world MOF from the standard's authors.
#include <gtest/gtest.h>

#include "mof_test_util.h"

namespace wbem::mof {
namespace {

class CimSchema : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        repo_ = new Repository();
        Repository::Transaction tx(*repo_);
        tx.ns("root\\dmtf", true);
        Options o;
        o.defaultNamespace = "root\\dmtf";
        compileFile(tx, CIMSCOPE_FIXTURES "/cim-schema-2.49/cim_schema_2.49.0.mof", o);
        tx.commit();
    }
    static void TearDownTestSuite() {
        delete repo_;
        repo_ = nullptr;
    }

    const NamespaceState& ns() const { return *repo_->snapshot()->find("root\\dmtf"); }
    std::shared_ptr<const ClassDef> cls(const char* name) const {
        auto c = ns().findClass(name);
        if (!c) ADD_FAILURE() << "no class " << name;
        return c;
    }

    static Repository* repo_;
};

Repository* CimSchema::repo_ = nullptr;

TEST_F(CimSchema, DeclaresEveryClass) {
    size_t count = 0;
    for (const auto& c : ns().classes)
        if (c->name.rfind("__", 0) != 0) ++count;
    EXPECT_EQ(count, 1631u);
    // Qualifier declarations from qualifiers.mof and qualifiers_optional.mof.
    EXPECT_TRUE(ns().qualifierDecls.count("Association"));
    EXPECT_TRUE(ns().qualifierDecls.count("Large"));
}

TEST_F(CimSchema, ClassesAndKeys) {
    auto cs = cls("CIM_ComputerSystem");
    ASSERT_TRUE(cs);
    EXPECT_EQ(cs->superclass, "CIM_System");
    ASSERT_FALSE(cs->derivation.empty());
    EXPECT_EQ(cs->derivation.back(), "CIM_ManagedElement");
    std::vector<std::string> keys;
    for (int slot : cs->keys) keys.push_back(cs->properties[size_t(slot)].name);
    EXPECT_EQ(keys, (std::vector<std::string>{"CreationClassName", "Name"}));
    EXPECT_EQ(cs->property("Name")->classOrigin, "CIM_ManagedSystemElement");
    EXPECT_EQ(cs->property("CreationClassName")->classOrigin, "CIM_System");
    EXPECT_TRUE(cls("CIM_ManagedElement")->isAbstract);
    EXPECT_FALSE(cs->isAbstract);
    EXPECT_TRUE(cls("CIM_Indication")->indication);
}

TEST_F(CimSchema, MethodParameters) {
    auto ele = cls("CIM_EnabledLogicalElement");
    ASSERT_TRUE(ele);
    const MethodDef* m = ele->findMethod("RequestStateChange");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->returnType, CimType::UInt32);
    ASSERT_EQ(m->parameters.size(), 3u);
    EXPECT_EQ(m->parameters[0].name, "RequestedState");
    EXPECT_EQ(m->parameters[0].type.type, CimType::UInt16);
    EXPECT_TRUE(m->parameters[0].in);
    EXPECT_FALSE(m->parameters[0].out);
    EXPECT_EQ(m->parameters[1].name, "Job");
    EXPECT_EQ(m->parameters[1].type.type, CimType::Reference);
    EXPECT_EQ(m->parameters[1].type.refClass, "CIM_ConcreteJob");
    EXPECT_FALSE(m->parameters[1].in);
    EXPECT_TRUE(m->parameters[1].out);
    EXPECT_EQ(m->parameters[2].type.type, CimType::DateTime);

    const MethodDef* errors = cls("CIM_ConcreteJob")->findMethod("GetErrors");
    ASSERT_TRUE(errors);
    ASSERT_EQ(errors->parameters.size(), 1u);
    EXPECT_TRUE(errors->parameters[0].type.isArray);
    EXPECT_TRUE(errors->parameters[0].out);
    const Qualifier* embedded = findQualifier(errors->parameters[0].qualifiers, "EmbeddedInstance");
    ASSERT_TRUE(embedded);
    EXPECT_TRUE(embedded->value == CimValue::string("CIM_Error"));
}

TEST_F(CimSchema, AssociationReferences) {
    auto comp = cls("CIM_Component");
    ASSERT_TRUE(comp);
    EXPECT_TRUE(comp->association);
    for (const char* ref : {"GroupComponent", "PartComponent"}) {
        const PropertyDef* p = comp->property(ref);
        ASSERT_TRUE(p) << ref;
        EXPECT_EQ(p->type.type, CimType::Reference);
        EXPECT_EQ(p->type.refClass, "CIM_ManagedElement");
        EXPECT_TRUE(p->isKey);
    }
    EXPECT_TRUE(hasTrueQualifier(comp->property("GroupComponent")->qualifiers, "Aggregate"));
    // A subclass narrows the class of an inherited reference.
    auto sys = cls("CIM_SystemComponent");
    ASSERT_TRUE(sys);
    EXPECT_TRUE(sys->association);
    EXPECT_EQ(sys->property("GroupComponent")->type.refClass, "CIM_System");
}

TEST_F(CimSchema, QualifierValuesAndDefaults) {
    auto me = cls("CIM_ManagedElement");
    ASSERT_TRUE(me);
    const Qualifier* version = me->qualifier("Version");
    ASSERT_TRUE(version);
    EXPECT_TRUE(version->value == CimValue::string("2.45.0"));
    const Qualifier* maxLen = findQualifier(me->property("Caption")->qualifiers, "MaxLen");
    ASSERT_TRUE(maxLen);
    EXPECT_EQ(maxLen->type, CimType::UInt32);  // from the declaration, not the literal
    EXPECT_TRUE(maxLen->value == CimValue::uint(64));
    const Qualifier* description =
        findQualifier(me->property("Caption")->qualifiers, "Description");
    ASSERT_TRUE(description);
    EXPECT_EQ(description->value.asString().rfind("The Caption property is a short", 0), 0u);
    EXPECT_TRUE(description->flavors & flavor::Translatable);

    auto text = cls("CIM_TextRedirectionService");
    ASSERT_TRUE(text);
    EXPECT_TRUE(text->property("RedirectionServiceType")->defaultValue ==
                CimValue::array({CimValue::uint(2)}));
}

}  // namespace
}  // namespace wbem::mof
