#include "hosts.h"
#include "services.h"
#include "wbem/api.h"
#include "wbem/remote/backend_choice.h"
#include "wbem/remote/cimxml/services.h"
#include "wbem/remote/winrm/services.h"
#include "wbem/remote_options.h"
#include "wbem/text.h"

namespace wbem {

namespace {

class Security : public ISWbemSecurity {
  public:
    int32_t AuthenticationLevel() const override { return level_; }
    void SetAuthenticationLevel(int32_t level) override {
        if (level < 0 || level > 6) fail(hr::InvalidParameter);
        level_ = level;
    }
    int32_t ImpersonationLevel() const override { return 3; }  // Impersonate, WMI's default

  private:
    int32_t level_ = 0;
};

class Locator : public ISWbemLocator {
  public:
    ISWbemSecurity& Security_() override { return security_; }

    std::shared_ptr<ISWbemServices> ConnectServer(std::string_view server, std::string_view nspace,
                                                  std::string_view user, std::string_view password,
                                                  std::string_view, std::string_view, int32_t,
                                                  const IDispatchLike* context) override {
        int32_t level = security_.AuthenticationLevel();
        if (level < 0 || level > 6) fail(hr::InvalidParameter);
        auto host = findHost(server);
        if (!host) {
            // Every other host is a WBEM server over CIM-XML when its address
            // says so, else a Windows host reached over WinRM.
            const auto* options = dynamic_cast<const RemoteOptions*>(context);
            RemoteOptions remote = options ? *options : RemoteOptions{};
            remote.requirePrivacy = level == 6;
            if (remote::backendFor(server) == remote::Backend::CimXml)
                return cimxml::connect(server, nspace, user, password, remote);
            return winrm::connect(server, nspace, user, password, remote);
        }
        if (host->local) {
            if (!user.empty() || !password.empty()) fail(hr::LocalCredentials);
        } else if (!host->user.empty() || !host->password.empty()) {
            if (!iequals(user, host->user) || password != host->password) fail(hr::AccessDenied);
        }
        std::string key = namespaceKey(nspace);
        if (key.empty()) fail(hr::InvalidNamespace);
        const NamespaceState* ns = host->repository->snapshot()->find(key);
        if (!ns) fail(hr::InvalidNamespace);
        return std::make_shared<service::Services>(host->repository, ns->path, host->serverName);
    }

  private:
    Security security_;
};

}  // namespace

std::shared_ptr<ISWbemLocator> CreateLocator() {
    if (!locatorAvailable()) fail(hr::ClassNotRegistered);
    // The local host's schema loads here, so that a broken schema shows as a
    // service that cannot be created.
    localRepository();
    return std::make_shared<Locator>();
}

}  // namespace wbem
