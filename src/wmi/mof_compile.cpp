#include "wmi/mof_compile.h"

#include "wbem/api.h"
#include "wbem/errors.h"
#include "wbem/service/hosts.h"

namespace wmi {

void CompileMofFiles(std::string_view host, const std::vector<std::string>& files,
                     std::string_view nspace) {
    wbem::CreateLocator();  // the local schema must be loaded first
    auto entry = wbem::findHost(host);
    if (!entry) wbem::fail(wbem::hr::RpcUnavailable);
    for (const auto& f : files) wbem::compileMofFile(*entry->repository, f, nspace);
}

}  // namespace wmi
