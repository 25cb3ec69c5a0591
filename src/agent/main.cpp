// cimscope-agent: serves this machine's embedded WMI service to other
// machines over CIM-XML on HTTPS.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "agent_options.h"
#include "app/product.h"
#include "cimxml_endpoint.h"
#include "enumeration_contexts.h"
#include "http_server.h"
#include "operations.h"
#include "password_check.h"
#include "tls_identity.h"
#include "wbem/service/hosts.h"

namespace {

int addUser(const agent::AgentOptions& o) {
    std::string password;
    if (!std::getline(std::cin, password)) {
        std::cerr << "cimscope-agent: give the password as one line on standard input\n";
        return 2;
    }
    if (!password.empty() && password.back() == '\r') password.pop_back();
    agent::UsersFile::addUser(o.usersFile, o.addUser, password);
    std::fill(password.begin(), password.end(), '\0');
    std::cout << "cimscope-agent: " << o.addUser << " can log in (" << o.usersFile << ")\n";
    return 0;
}

int serve(const agent::AgentOptions& o) {
    agent::SslCtxPtr tls;
    std::string certFile = o.certFile;
    if (!o.insecureHttp) {
        std::string keyFile = o.keyFile;
        if (certFile.empty()) {
            const auto files = agent::selfSignedCertificate(
                o.stateDir.empty() ? agent::defaultStateDir() : o.stateDir);
            certFile = files.cert;
            keyFile = files.key;
            if (files.made) std::cout << "cimscope-agent: made a self-signed certificate\n";
        }
        tls = agent::makeServerContext(certFile, keyFile);
    }

    std::unique_ptr<agent::PasswordCheck> check;
    if (!o.usersFile.empty()) {
        check = std::make_unique<agent::UsersFile>(o.usersFile);
    } else {
        check = std::make_unique<agent::PamCheck>(o.pamService);
        if (::geteuid() != 0)
            std::cerr << "cimscope-agent: not running as root: PAM can check only this user's "
                         "own password\n";
    }
    agent::LoginGuard guard(std::move(check), {});

    auto repo = wbem::localRepository();
    agent::addInteropNamespace(repo);
    agent::EnumerationContexts contexts(256, 32);
    agent::Operations operations(repo, wbem::localServerName(), contexts);
    agent::CimxmlEndpoint endpoint(operations, guard, std::chrono::seconds(120), o.workers);

    agent::ServerLimits limits;
    if (o.requestTime) limits.requestTime = *o.requestTime;
    agent::HttpServer server(o.listenAddress, o.port(), tls.get(), limits,
                             [&](const agent::HttpRequest& r) { return endpoint.handle(r); });

    // Stop on SIGINT/SIGTERM: wait for them on this thread.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    server.start();

    const bool v6 = o.listenAddress.find(':') != std::string::npos;
    std::cout << "cimscope-agent " << product::kVersion << ": serving "
              << (o.insecureHttp ? "http" : "https") << "://" << (v6 ? "[" : "") << o.listenAddress
              << (v6 ? "]" : "") << ":" << server.port() << "/cimom\n";
    if (!o.insecureHttp)
        std::cout << "cimscope-agent: certificate " << certFile << ", SHA-256 fingerprint "
                  << agent::certificateFingerprint(certFile) << "\n";
    std::cout.flush();

    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.stop();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    ::signal(SIGPIPE, SIG_IGN);
    agent::AgentOptions o;
    try {
        o = agent::parseAgentOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::cerr << "cimscope-agent: " << e.what() << "\n" << agent::kAgentUsage;
        return 2;
    }
    if (o.help) {
        std::cout << agent::kAgentUsage;
        return 0;
    }
    if (o.version) {
        std::cout << "cimscope-agent " << product::kVersion << "\n";
        return 0;
    }
    try {
        return o.addUser.empty() ? serve(o) : addUser(o);
    } catch (const std::exception& e) {
        std::cerr << "cimscope-agent: " << e.what() << "\n";
        return 1;
    }
}
