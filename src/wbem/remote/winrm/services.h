// The scripting object model over a WinRM session: what the access layer
// and the windows call, answered by a Windows host.
#pragma once

#include <memory>
#include <string_view>

#include "wbem/api.h"
#include "wbem/remote_options.h"

namespace wbem::winrm {

// Connects to the WinRM service that `host` names (see endpoint.h) and checks
// with Identify that it is one, with the credentials given. Throws WbemError:
// The RPC server is unavailable for a host that is no host or does not
// answer, Access is denied for refused credentials, a security error for a
// certificate that does not verify.
std::shared_ptr<ISWbemServices> connect(std::string_view host, std::string_view nspace,
                                        std::string_view user, std::string_view password,
                                        const RemoteOptions& options);

}  // namespace wbem::winrm
