#include "wmi/bw_wmi.h"

#include <mutex>

#include "wbem/service/hosts.h"
#include "wbem/text.h"

namespace wmi {

namespace {

std::mutex g_factoryMutex;
LocatorFactory g_factory;

std::string unregisteredLocatorText(const wbem::WbemError& e) {
    return "Class \"ISWbemLocator\" is not registered on the system.\r\nError code: " +
           std::to_string(static_cast<int32_t>(e.code())) + "\r\nError message: " + e.what();
}

// The names of a class's properties, in WMI's order.
void propertyNames(wbem::ISWbemObject& cls, TextList& list, std::string& walkError) {
    auto props = cls.Properties_()->NewEnum();
    std::shared_ptr<wbem::ISWbemProperty> prop;
    while (NextObject(*props, prop, walkError)) list.push_back(prop->Name());
}

// "a, b, c" of a parameter object's properties; "" when there is none.
std::string parameterLine(const std::shared_ptr<wbem::ISWbemObject>& params,
                          std::string& walkError) {
    std::string line;
    if (!params) return line;
    auto props = params->Properties_()->NewEnum();
    std::shared_ptr<wbem::ISWbemProperty> prop;
    while (NextObject(*props, prop, walkError)) {
        if (!line.empty()) line += ", ";
        line += prop->Name();
    }
    return line;
}

}  // namespace

void SetLocatorFactory(LocatorFactory factory) {
    std::lock_guard lk(g_factoryMutex);
    g_factory = std::move(factory);
}

std::shared_ptr<wbem::ISWbemLocator> NewLocator() {
    LocatorFactory factory;
    {
        std::lock_guard lk(g_factoryMutex);
        factory = g_factory;
    }
    return factory ? factory() : wbem::CreateLocator();
}

std::shared_ptr<wbem::ISWbemServices> OpenServices(std::string_view host, std::string_view nspace,
                                                   std::string_view user, std::string_view password,
                                                   int32_t securityFlags,
                                                   std::shared_ptr<wbem::ISWbemLocator>* keep,
                                                   const wbem::RemoteOptions* options) {
    std::shared_ptr<wbem::ISWbemLocator> locator = NewLocator();
    if (const int32_t level = AuthenticationLevel.load(std::memory_order_relaxed); level != 0)
        locator->Security_().SetAuthenticationLevel(level);
    auto services =
        locator->ConnectServer(host, nspace, user, password, {}, {}, securityFlags, options);
    if (keep) *keep = std::move(locator);
    return services;
}

bool IsLocalHost(std::string_view host) {
    const std::string_view h = wbem::trimmed(host);
    return h.empty() || wbem::isLocalHost(h);
}

bool SameRemoteOptions(const wbem::RemoteOptions& a, const wbem::RemoteOptions& b) {
    return a.auth == b.auth && a.caFile == b.caFile && a.allowUnencrypted == b.allowUnencrypted &&
           a.connectTimeoutMs == b.connectTimeoutMs && a.operationTimeoutMs == b.operationTimeoutMs;
}

void ThrowIfBroken(const std::string& errorText) {
    if (!errorText.empty()) throw wbem::WbemError(wbem::hr::Failed, errorText);
}

std::string Trimmed(std::string_view text) { return std::string(wbem::trimmed(text)); }

std::shared_ptr<wbem::ISWbemServices> TWMI::OpenServices(int32_t securityFlags) const {
    return wmi::OpenServices(Host, Namespace, User, Password, securityFlags, nullptr, &remote);
}

void TWMI::SetHost(std::string_view host) { Host = host.empty() ? "." : std::string(host); }

void TWMI::SetNamespace(std::string_view nspace) {
    Namespace = nspace.empty() ? "root\\cimv2" : std::string(nspace);
}

bool TWMI::IsAvailable() {
    LastError.clear();
    try {
        NewLocator();
        return true;
    } catch (const wbem::WbemError& e) {
        LastError = e.code() == wbem::hr::ClassNotRegistered ? unregisteredLocatorText(e)
                                                             : std::string(e.what());
    } catch (const std::exception& e) {
        LastError = e.what();
    }
    return false;
}

bool TWMI::GetClasses(TextList& list) {
    LastError.clear();
    // Credentials cannot be used for a local connection; "." is the local
    // computer by its one unambiguous name, so forget them for good.
    if (Host == ".") {
        User.clear();
        Password.clear();
    }
    try {
        auto services = OpenServices();
        auto classes = services->SubclassesOf({}, 0)->NewEnum();
        std::string walkError;
        std::shared_ptr<wbem::ISWbemObject> cls;
        while (NextObject(*classes, cls, walkError)) list.push_back(cls->Path_()->Class());
        ThrowIfBroken(walkError);
        return true;
    } catch (const std::exception& e) {
        LastError = e.what();
        return false;
    }
}

bool TWMI::ClassPropertyNames(std::string_view className, TextList& list) {
    LastError.clear();
    list.clear();
    try {
        auto cls = OpenServices()->Get(className, 0);
        std::string walkError;
        propertyNames(*cls, list, walkError);
        ThrowIfBroken(walkError);
        return true;
    } catch (const std::exception& e) {
        LastError = e.what();
        return false;
    }
}

bool TWMI::ClassMethods(std::string_view className, TextList& names, TextList* inParams,
                        TextList* outParams) {
    LastError.clear();
    names.clear();
    try {
        auto cls = OpenServices()->Get(className, 0);
        auto methods = cls->Methods_()->NewEnum();
        std::string walkError;
        std::shared_ptr<wbem::ISWbemMethod> method;
        while (NextObject(*methods, method, walkError)) {
            names.push_back(method->Name());
            if (inParams) inParams->push_back(parameterLine(method->InParameters(), walkError));
            if (outParams) outParams->push_back(parameterLine(method->OutParameters(), walkError));
            ThrowIfBroken(walkError);
        }
        ThrowIfBroken(walkError);
        return true;
    } catch (const std::exception& e) {
        LastError = e.what();
        return false;
    }
}

}  // namespace wmi
