// MOF compilation into a namespace of a host this process serves (the local
// machine or a test host), for wql -mof:.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wmi {

// Compiles each file into `nspace` (created when missing), replacing classes
// of the same name; each file all or nothing. Throws wbem::WbemError, RPC
// unavailable when nothing answers at `host` in this process.
void CompileMofFiles(std::string_view host, const std::vector<std::string>& files,
                     std::string_view nspace);

}  // namespace wmi
