// The agent's one HTTP resource: CIM-XML operation requests on /cimom (or /),
// authenticated with Basic credentials, answered by the operations.
#pragma once

#include <chrono>

#include "http_server.h"
#include "operations.h"
#include "password_check.h"

namespace agent {

class CimxmlEndpoint {
  public:
    // `requestTime`: how long one operation may run.
    CimxmlEndpoint(Operations& operations, LoginGuard& guard,
                   std::chrono::milliseconds requestTime = std::chrono::seconds(120));

    HttpResponse handle(const HttpRequest& request);

  private:
    Operations& operations_;
    LoginGuard& guard_;
    std::chrono::milliseconds requestTime_;
};

}  // namespace agent
