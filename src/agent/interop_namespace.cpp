#include <algorithm>

#include "operations.h"
#include "wbem/repository/provider.h"

namespace agent {

namespace {

// CIM_Namespace instances read from the repository at each enumeration, so
// namespaces made later are listed too.
class NamespaceList : public wbem::InstanceProvider {
  public:
    explicit NamespaceList(std::weak_ptr<wbem::Repository> repo) : repo_(std::move(repo)) {}

    std::unique_ptr<wbem::InstanceCursor> open(const std::shared_ptr<const wbem::ClassDef>& cls,
                                               const wbem::QueryHints&) const override {
        std::vector<std::shared_ptr<const wbem::Instance>> items;
        if (auto repo = repo_.lock()) {
            for (const auto& [key, ns] : repo->snapshot()->namespaces) {
                std::string name = ns->path;
                std::replace(name.begin(), name.end(), '\\', '/');
                auto inst = std::make_shared<wbem::Instance>(cls);
                inst->set("Name", wbem::CimValue::string(std::move(name)));
                inst->set("CreationClassName", wbem::CimValue::string(cls->name));
                items.push_back(std::move(inst));
            }
        }
        return std::make_unique<wbem::VectorCursor>(std::move(items));
    }

  private:
    std::weak_ptr<wbem::Repository> repo_;
};

wbem::PropertyDef keyProperty(std::string name) {
    wbem::PropertyDef p;
    p.name = std::move(name);
    p.type.type = wbem::CimType::String;
    p.qualifiers.push_back({"Key", wbem::CimType::Boolean, false, wbem::CimValue::boolean(true)});
    p.classOrigin = "CIM_Namespace";
    p.isKey = true;
    return p;
}

}  // namespace

void addInteropNamespace(const std::shared_ptr<wbem::Repository>& repo) {
    auto cls = std::make_shared<wbem::ClassDef>();
    cls->name = "CIM_Namespace";
    cls->qualifiers.push_back({"Description", wbem::CimType::String, false,
                               wbem::CimValue::string("A namespace of this agent's machine.")});
    cls->properties = {keyProperty("CreationClassName"), keyProperty("Name")};
    cls->finalize();
    wbem::Repository::Transaction t(*repo);
    if (t.hasNamespace("interop")) return;
    t.ns("interop", true);
    t.addClass("interop", cls);
    t.setProvider("interop", "CIM_Namespace", std::make_shared<NamespaceList>(repo));
    t.commit();
}

}  // namespace agent
