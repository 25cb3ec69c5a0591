// Instances, top-level and embedded.
#include "builder.h"

namespace wbem::mof {

std::shared_ptr<Instance> Builder::instance(InstanceAst& ast, std::string_view nspace,
                                            std::vector<size_t>* deferred) {
    const NamespaceState& ns = nsOf(nspace);
    std::shared_ptr<const ClassDef> cls = ns.findClass(ast.className);
    if (!cls) {
        fail(ast.classPos, "unknown class '" + std::string(ast.className) + "'", hr::InvalidClass);
    }
    if (cls->isAbstract) {
        fail(ast.classPos, "class '" + cls->name + "' is abstract and cannot have instances",
             hr::InvalidOperation);
    }
    auto inst = std::make_shared<Instance>(cls);
    std::vector<bool> assigned(cls->properties.size(), false);
    std::vector<const ValueAst*> aliases;
    for (size_t i = 0; i < ast.assignments.size(); ++i) {
        AssignmentAst& a = ast.assignments[i];
        int slot = cls->findProperty(a.name);
        if (slot < 0) {
            fail(a.namePos,
                 "class '" + cls->name + "' has no property '" + std::string(a.name) + "'",
                 hr::NotFound);
        }
        if (assigned[static_cast<size_t>(slot)]) {
            fail(a.namePos, "property '" + std::string(a.name) + "' is set twice");
        }
        assigned[static_cast<size_t>(slot)] = true;
        if (deferred) {
            aliases.clear();
            collectAliases(a.value, aliases);
            if (!aliases.empty()) {
                deferred->push_back(i);
                continue;
            }
        }
        assign(*inst, a, nspace);
    }
    return inst;
}

void Builder::assign(Instance& inst, AssignmentAst& a, std::string_view nspace) {
    int slot = inst.cls().findProperty(a.name);
    const PropertyDef& prop = inst.cls().properties[static_cast<size_t>(slot)];
    inst.setSlot(slot, value(a.value, prop.type, ValueTarget{"property", a.name}, nspace));
}

void Builder::assignWithAliases(Instance& inst, AssignmentAst& a, std::string_view nspace) {
    aliasesAllowed_ = true;
    try {
        assign(inst, a, nspace);
    } catch (...) {
        aliasesAllowed_ = false;
        throw;
    }
    aliasesAllowed_ = false;
}

}  // namespace wbem::mof
