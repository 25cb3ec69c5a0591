// The agent's one HTTP resource: CIM-XML operation requests on /cimom (or /),
// authenticated with Basic credentials, answered by the operations.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "http_server.h"
#include "operations.h"
#include "password_check.h"

namespace agent {

class CimxmlEndpoint {
  public:
    // `requestTime`: how long one operation may run; `maxBusy`: how many
    // password checks and operations run at once (the costly part of a
    // request); others wait for a turn, up to a minute.
    CimxmlEndpoint(Operations& operations, LoginGuard& guard,
                   std::chrono::milliseconds requestTime = std::chrono::seconds(120),
                   unsigned maxBusy = 8);

    HttpResponse handle(const HttpRequest& request);

  private:
    class Turns {
      public:
        explicit Turns(unsigned count) : free_(count) {}
        bool take(std::chrono::milliseconds wait);
        void give();

      private:
        std::mutex mutex_;
        std::condition_variable freed_;
        unsigned free_;
    };

    Operations& operations_;
    LoginGuard& guard_;
    std::chrono::milliseconds requestTime_;
    Turns turns_;
};

}  // namespace agent
