#include "hosts.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <set>

#include "wbem/errors.h"
#include "wbem/mof/mof_compiler.h"
#include "wbem/providers/local_providers.h"
#include "wbem/schema/embedded_schema.h"
#include "wbem/text.h"

namespace wbem {

namespace {

std::string hostName() {
    char buf[256] = {};
    if (gethostname(buf, sizeof buf - 1) != 0) return "localhost";
    return buf;
}

// Names and addresses by which this machine knows itself, lowered.
std::set<std::string> ownNames() {
    std::set<std::string> names{".", "localhost", "::1", "[::1]"};
    std::string host = hostName();
    names.insert(lowered(host));
    names.insert(lowered(host.substr(0, host.find('.'))));
    addrinfo hints{};
    hints.ai_flags = AI_CANONNAME;
    addrinfo* res = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &res) == 0) {
        for (addrinfo* p = res; p; p = p->ai_next) {
            if (p->ai_canonname) names.insert(lowered(p->ai_canonname));
            char text[INET6_ADDRSTRLEN] = {};
            if (p->ai_family == AF_INET)
                inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(p->ai_addr)->sin_addr, text,
                          sizeof text);
            else if (p->ai_family == AF_INET6)
                inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(p->ai_addr)->sin6_addr, text,
                          sizeof text);
            if (text[0]) names.insert(lowered(text));
        }
        freeaddrinfo(res);
    }
    ifaddrs* ifs = nullptr;
    if (getifaddrs(&ifs) == 0) {
        for (ifaddrs* p = ifs; p; p = p->ifa_next) {
            if (!p->ifa_addr) continue;
            char text[INET6_ADDRSTRLEN] = {};
            if (p->ifa_addr->sa_family == AF_INET)
                inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(p->ifa_addr)->sin_addr, text,
                          sizeof text);
            else if (p->ifa_addr->sa_family == AF_INET6)
                inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(p->ifa_addr)->sin6_addr, text,
                          sizeof text);
            if (text[0]) names.insert(lowered(text));
        }
        freeifaddrs(ifs);
    }
    return names;
}

bool isLoopbackV4(std::string_view host) {
    in_addr addr{};
    std::string h(host);
    return inet_pton(AF_INET, h.c_str(), &addr) == 1 && (ntohl(addr.s_addr) >> 24) == 127;
}

struct Registry {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<const HostEntry>, ILess> testHosts;
    bool available = true;
};

Registry& registry() {
    static Registry r;
    return r;
}

mof::FileLoader embeddedLoader() {
    return [](const std::string& path) -> std::optional<std::string> {
        std::string_view name = path;
        if (auto slash = name.find_last_of("/\\"); slash != std::string_view::npos)
            name = name.substr(slash + 1);
        for (const auto& f : embeddedSchemaFiles())
            if (f.name == name) return std::string(f.text);
        return std::nullopt;
    };
}

std::string embeddedText(std::string_view name) {
    for (const auto& f : embeddedSchemaFiles())
        if (f.name == name) return std::string(f.text);
    fail(hr::ProviderLoadFailure, "Schema file missing: " + std::string(name));
}

}  // namespace

bool isLocalHost(std::string_view host) {
    static const std::set<std::string> names = ownNames();
    std::string h = lowered(trimmed(host));
    return names.count(h) > 0 || isLoopbackV4(h);
}

const std::string& localServerName() {
    static const std::string name = [] {
        std::string h = hostName();
        h = h.substr(0, h.find('.'));
        for (char& c : h)
            if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
        return h;
    }();
    return name;
}

std::shared_ptr<Repository> newRepository() {
    auto repo = std::make_shared<Repository>();
    Repository::Transaction tx(*repo);
    tx.ns("root", true);
    mof::Options options;
    options.defaultNamespace = "root";
    options.loader = embeddedLoader();
    mof::compileText(tx, embeddedText("system.mof"), "system.mof", options);
    tx.ns("root\\cimv2", true);
    tx.commit();
    return repo;
}

std::shared_ptr<Repository> localRepository() {
    static std::once_flag once;
    static std::shared_ptr<Repository> repo;
    static std::string error;
    std::call_once(once, [] {
        try {
            auto r = std::make_shared<Repository>();
            Repository::Transaction tx(*r);
            mof::Options options;
            options.defaultNamespace = "root";
            options.loader = embeddedLoader();
            mof::compileText(tx, embeddedText("cimscope.mof"), "cimscope.mof", options);
            installLocalProviders(tx);
            tx.commit();
            repo = std::move(r);
        } catch (const std::exception& e) {
            error = e.what();
        }
    });
    if (!repo) fail(hr::ClassNotRegistered, error);
    return repo;
}

void compileMofFile(Repository& repo, const std::string& path, std::string_view nspace) {
    Repository::Transaction tx(repo);
    tx.ns(nspace, true);
    mof::Options options;
    options.defaultNamespace = std::string(nspace);
    mof::compileFile(tx, path, options);
    tx.commit();
}

void registerTestHost(const std::string& name, std::shared_ptr<Repository> repo,
                      const std::string& user, const std::string& password) {
    auto entry = std::make_shared<HostEntry>();
    entry->repository = std::move(repo);
    entry->serverName = name;
    for (char& c : entry->serverName)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    entry->user = user;
    entry->password = password;
    std::lock_guard<std::mutex> lock(registry().mutex);
    registry().testHosts[name] = std::move(entry);
}

std::shared_ptr<Repository> registerTestHost(const std::string& name, std::string_view mofText,
                                             const std::string& user, const std::string& password) {
    auto repo = newRepository();
    {
        Repository::Transaction tx(*repo);
        mof::Options options;
        options.defaultNamespace = "root\\cimv2";
        mof::compileText(tx, mofText, name + ".mof", options);
        tx.commit();
    }
    registerTestHost(name, repo, user, password);
    return repo;
}

void unregisterTestHost(const std::string& name) {
    std::lock_guard<std::mutex> lock(registry().mutex);
    registry().testHosts.erase(name);
}

void setLocatorAvailable(bool available) {
    std::lock_guard<std::mutex> lock(registry().mutex);
    registry().available = available;
}

bool locatorAvailable() {
    std::lock_guard<std::mutex> lock(registry().mutex);
    return registry().available;
}

std::shared_ptr<const HostEntry> findHost(std::string_view host) {
    {
        std::lock_guard<std::mutex> lock(registry().mutex);
        auto it = registry().testHosts.find(trimmed(host));
        if (it != registry().testHosts.end()) return it->second;
    }
    if (trimmed(host).empty() || isLocalHost(host)) {
        static const std::shared_ptr<const HostEntry> local = [] {
            auto e = std::make_shared<HostEntry>();
            e->repository = localRepository();
            e->serverName = localServerName();
            e->local = true;
            return e;
        }();
        return local;
    }
    return nullptr;
}

}  // namespace wbem
