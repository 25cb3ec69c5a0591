// The scripting object model over a CIM-XML session: what the access layer
// and the windows call, answered by a WBEM server (OpenPegasus, SFCB, ...).
#pragma once

#include <memory>
#include <string_view>

#include "wbem/api.h"
#include "wbem/remote_options.h"

namespace wbem::cimxml {

// Connects to the CIM-XML server that `host` names (see endpoint.h) and
// checks that it answers, with the credentials given (Basic; Negotiate, the
// default, means Basic here, as WBEM servers do not take it). Throws
// WbemError: The RPC server is unavailable for a host that is no host or
// does not answer, Access is denied for refused credentials, a security
// error for a certificate that does not verify, Invalid namespace.
std::shared_ptr<ISWbemServices> connect(std::string_view host, std::string_view nspace,
                                        std::string_view user, std::string_view password,
                                        const RemoteOptions& options);

}  // namespace wbem::cimxml
