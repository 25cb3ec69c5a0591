// A connection of the embedded service to one namespace of one host.
#pragma once

#include <memory>
#include <string>

#include "objects.h"
#include "wbem/api.h"
#include "wbem/repository/repository.h"

namespace wbem::service {

class Services : public ISWbemServices {
  public:
    Services(std::shared_ptr<Repository> repo, std::string nspace, std::string server);

    std::shared_ptr<ISWbemObjectSet> SubclassesOf(std::string_view superclass,
                                                  int32_t flags) override;
    std::shared_ptr<ISWbemObject> Get(std::string_view path, int32_t flags) override;
    std::shared_ptr<ISWbemObjectSet> InstancesOf(std::string_view className,
                                                 int32_t flags) override;
    std::shared_ptr<ISWbemObjectSet> ExecQuery(std::string_view query, std::string_view language,
                                               int32_t flags) override;
    // Carried out by the method providers of this machine; each in-parameter's
    // text is read as its declared type (readArguments).
    std::shared_ptr<ISWbemObject> ExecMethod(
        std::string_view objectPath, std::string_view method,
        const std::vector<std::pair<std::string, std::string>>& inParameters) override;

  private:
    // Each call reads the repository as it is now.
    const NamespaceState& current(std::shared_ptr<const RepositoryState>& snap) const;
    ObjectView view(std::shared_ptr<const ClassDef> cls,
                    std::shared_ptr<const Instance> inst = nullptr) const;

    std::shared_ptr<Repository> repo_;
    ObjectContext ctx_;
};

}  // namespace wbem::service
