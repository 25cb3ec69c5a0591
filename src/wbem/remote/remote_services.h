// What the remote back ends' services share: the scripting calls' argument
// checks and the choice of subclasses, over the exchanges each back end
// supplies.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "wbem/api.h"
#include "wbem/repository/class_def.h"
#include "wbem/repository/object_path.h"

namespace wbem::remote {

// A method's in-argument as a back end sends it: an argument that the
// method's declaration makes an array goes as its elements (one per line of
// the text), any other as its text whole.
struct MethodArgument {
    std::string name;
    std::vector<std::string> elements;  // one text unless `array`
    bool array = false;
};
// Each argument is named as the declaration names it, and one that names no
// in-parameter or one named before is refused as the embedded service
// refuses it (wbem::matchArguments). `declared` may be null (the server gave
// no declaration): every argument is then sent as text under its name
// without the blanks around it.
std::vector<MethodArgument> methodArguments(
    const MethodDef* declared, const std::vector<std::pair<std::string, std::string>>& in);

class RemoteServices : public ISWbemServices {
  public:
    // Flag 1 (wbemQueryFlagShallow): direct subclasses only.
    std::shared_ptr<ISWbemObjectSet> SubclassesOf(std::string_view superclass,
                                                  int32_t flags) override;
    std::shared_ptr<ISWbemObject> Get(std::string_view path, int32_t flags) override;
    std::shared_ptr<ISWbemObjectSet> InstancesOf(std::string_view className,
                                                 int32_t flags) override;
    std::shared_ptr<ISWbemObjectSet> ExecQuery(std::string_view query, std::string_view language,
                                               int32_t flags) override;
    std::shared_ptr<ISWbemObject> ExecMethod(
        std::string_view objectPath, std::string_view method,
        const std::vector<std::pair<std::string, std::string>>& inParameters) override;

  protected:
    // Every class of the namespace.
    virtual std::vector<std::shared_ptr<const ClassDef>> allClasses() = 0;
    // Whether a class missing from allClasses() exists all the same.
    virtual bool classExists(std::string_view name) {
        (void)name;
        return false;
    }
    virtual std::shared_ptr<const ClassDef> classDef(const std::string& name) = 0;
    virtual std::shared_ptr<ISWbemObject> wrapClass(std::shared_ptr<const ClassDef> cls) = 0;
    virtual std::shared_ptr<ISWbemObject> getInstance(const ObjectPath& path) = 0;
    // A WQL query, trimmed and not empty.
    virtual std::shared_ptr<ISWbemObjectSet> run(std::string wql, int32_t flags) = 0;
    virtual std::shared_ptr<ISWbemObject> invoke(
        const ObjectPath& path, std::string_view method,
        const std::vector<std::pair<std::string, std::string>>& inParameters) = 0;
};

}  // namespace wbem::remote
