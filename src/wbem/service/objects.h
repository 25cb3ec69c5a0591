// The scripting objects over repository classes and instances: the embedded
// service's, and the remote back ends', which map what servers send onto the
// same classes and instances.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "wbem/api.h"
#include "wbem/repository/instance.h"
#include "wbem/repository/provider.h"
#include "wbem/repository/repository.h"
#include "wbem/repository/system_properties.h"

namespace wbem::service {

// What one scripting object shows.
struct ObjectView {
    std::shared_ptr<const ClassDef> cls;
    std::shared_ptr<const Instance> inst;  // null for a class object
    std::vector<int> projection;           // slots of a partial object
    bool partial = false;
    bool declarationOrder = false;  // method parameter objects list parameters as declared
    ObjectContext ctx;
    std::shared_ptr<Repository> repo;  // to reach the class's instances and subclasses
    // A remote back end's services, which answer Instances_ and Subclasses_
    // in place of the repository.
    std::shared_ptr<ISWbemServices> owner;
};

std::shared_ptr<ISWbemObject> makeObject(ObjectView view);

// An object of a remote back end, whose services answer Instances_ and
// Subclasses_; a class object when `inst` is null.
std::shared_ptr<ISWbemObject> makeOwnedObject(std::shared_ptr<ISWbemServices> owner,
                                              const ObjectContext& ctx,
                                              std::shared_ptr<const ClassDef> cls,
                                              std::shared_ptr<const Instance> inst = nullptr,
                                              std::vector<int> projection = {},
                                              bool partial = false);

// A complete set that can be walked again after Reset.
std::shared_ptr<ISWbemObjectSet> makeObjectSet(std::vector<std::shared_ptr<ISWbemObject>> items);

// A set whose objects are produced while it is walked. `open` is called at the
// first Next; `wrap` turns each instance into its object. A forward-only set
// refuses Reset and Count; otherwise the produced objects are kept for a replay.
std::shared_ptr<ISWbemObjectSet> makeStreamSet(
    std::function<std::unique_ptr<InstanceCursor>()> open,
    std::function<std::shared_ptr<ISWbemObject>(std::shared_ptr<const Instance>)> wrap,
    bool forwardOnly);

// Objects produced one at a time; null at the end. May throw WbemError.
class ObjectCursor {
  public:
    virtual ~ObjectCursor() = default;
    virtual std::shared_ptr<ISWbemObject> next() = 0;
};
using ObjectCursorOpener = std::function<std::unique_ptr<ObjectCursor>()>;

// The same over any producer of objects: `open` is called at the first Next
// of each enumerator (and by Count).
std::shared_ptr<ISWbemObjectSet> makeObjectStream(ObjectCursorOpener open, bool forwardOnly);

// A repository value as the scripting API hands it out.
Variant toVariant(const CimValue& value, const CimTypeDecl& type, const ObjectView& owner);

// The object in MOF form, as GetObjectText_ returns it.
std::string objectText(const ObjectView& view);

}  // namespace wbem::service
