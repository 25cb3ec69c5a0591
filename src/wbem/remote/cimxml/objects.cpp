#include "objects.h"

#include "wbem/text.h"

namespace wbem::cimxml {

namespace {

// Names of the KEYBINDINGs of an INSTANCENAME (or of one inside a path).
std::vector<std::string> keyNames(const xmlNode* path) {
    std::vector<std::string> names;
    if (!path) return names;
    const xmlNode* name = xml::localName(path) == "INSTANCENAME" ? path : nullptr;
    for (int depth = 0; !name && path && depth < 3; ++depth) {
        name = xml::firstChild(path, "INSTANCENAME");
        if (!name) path = xml::firstChild(path, "LOCALINSTANCEPATH");
    }
    if (!name) return names;
    for (const xmlNode* k : xml::children(name, "KEYBINDING"))
        if (auto n = xml::attribute(k, "NAME")) names.push_back(*n);
    return names;
}

}  // namespace

std::shared_ptr<const Instance> withKeys(std::shared_ptr<const Instance> inst,
                                         const std::vector<std::string>& keys) {
    if (!inst->cls().keys.empty() || keys.empty()) return inst;
    auto cls = std::make_shared<ClassDef>(inst->cls());
    bool marked = false;
    for (const std::string& k : keys)
        if (int slot = cls->findProperty(k); slot >= 0) {
            cls->properties[size_t(slot)].isKey = true;
            marked = true;
        }
    if (!marked) return inst;
    cls->finalize();
    auto keyed = std::make_shared<Instance>(cls);
    for (size_t i = 0; i < inst->values().size(); ++i) keyed->setSlot(int(i), inst->value(int(i)));
    return keyed;
}

std::shared_ptr<const Instance> readObject(const xmlNode* item, const ClassLookup& lookup) {
    const std::string_view element = xml::localName(item);
    const xmlNode* instance = nullptr;
    const xmlNode* path = nullptr;
    if (element == "INSTANCE") {
        instance = item;
    } else if (element == "VALUE.NAMEDINSTANCE") {
        path = xml::firstChild(item, "INSTANCENAME");
        instance = xml::firstChild(item, "INSTANCE");
    } else if (element == "VALUE.INSTANCEWITHPATH" || element == "VALUE.OBJECTWITHPATH" ||
               element == "VALUE.OBJECTWITHLOCALPATH") {
        path = xml::firstChild(item, "INSTANCEPATH");
        if (!path) path = xml::firstChild(item, "LOCALINSTANCEPATH");
        instance = xml::firstChild(item, "INSTANCE");
    }
    if (!instance) return nullptr;  // a class or a bare path: not an instance
    auto inst = readInstance(instance, lookup);
    return withKeys(std::move(inst), keyNames(path));
}

}  // namespace wbem::cimxml
