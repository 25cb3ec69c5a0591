#include "agent_options.h"

#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "http_server.h"

namespace agent {

const char* const kAgentUsage =
    "Usage: cimscope-agent [--listen ADDR:PORT] [--cert FILE --key FILE] [--state DIR]\n"
    "                      [--users FILE | --pam-service NAME] [--workers N]\n"
    "                      [--request-time SECONDS]\n"
    "       cimscope-agent --users FILE --add-user NAME   (reads the password from stdin)\n"
    "Serves this machine's WMI data to WBEM clients over CIM-XML on HTTPS.\n"
    "  --listen ADDR:PORT  where to listen (default 127.0.0.1:5989)\n"
    "  --cert, --key       the TLS certificate and key (PEM); without them a\n"
    "                      self-signed certificate is made in the state folder\n"
    "  --state DIR         the state folder (default /var/lib/cimscope-agent for\n"
    "                      root, else $XDG_STATE_HOME/cimscope-agent)\n"
    "  --users FILE        check logins against this file of users instead of PAM\n"
    "  --pam-service NAME  the PAM service for logins (default cimscope-agent)\n"
    "  --workers N         logins and operations run at once (1 to 64, default 8);\n"
    "                      up to 64 connections are served, 16 per remote address\n"
    "  --request-time SECONDS  tuning: how long a client may take to send one\n"
    "                      whole request before it is dropped (1 to 600, default 20)\n"
    "  --insecure-http     plain HTTP on a loopback address, for tests only\n";

uint16_t AgentOptions::port() const {
    return uint16_t(listenPort >= 0 ? listenPort : insecureHttp ? 5988 : 5989);
}

AgentOptions parseAgentOptions(const std::vector<std::string>& args) {
    AgentOptions o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size() || args[i + 1].empty())
                throw std::invalid_argument(a + " needs a value");
            return args[++i];
        };
        if (a == "--listen") {
            const auto [address, port] = parseListenAddress(value());
            o.listenAddress = address;
            o.listenPort = port;
        } else if (a == "--cert") {
            o.certFile = value();
        } else if (a == "--key") {
            o.keyFile = value();
        } else if (a == "--state") {
            o.stateDir = value();
        } else if (a == "--users") {
            o.usersFile = value();
        } else if (a == "--pam-service") {
            o.pamService = value();
        } else if (a == "--add-user") {
            o.addUser = value();
        } else if (a == "--workers") {
            const std::string& v = value();
            if (v.size() > 2 || v.find_first_not_of("0123456789") != std::string::npos ||
                std::stoul(v) < 1 || std::stoul(v) > 64)
                throw std::invalid_argument("--workers takes 1 to 64");
            o.workers = unsigned(std::stoul(v));
        } else if (a == "--request-time") {
            const std::string& v = value();
            if (v.size() > 3 || v.find_first_not_of("0123456789") != std::string::npos ||
                std::stoul(v) < 1 || std::stoul(v) > 600)
                throw std::invalid_argument("--request-time takes 1 to 600 seconds");
            o.requestTime = std::chrono::seconds(std::stoul(v));
        } else if (a == "--insecure-http") {
            o.insecureHttp = true;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else {
            throw std::invalid_argument("unknown option " + a);
        }
    }
    if (o.certFile.empty() != o.keyFile.empty())
        throw std::invalid_argument("--cert and --key go together");
    if (!o.addUser.empty() && o.usersFile.empty())
        throw std::invalid_argument("--add-user needs --users FILE");
    if (o.insecureHttp) {
        const bool loopback = o.listenAddress == "::1" || o.listenAddress.rfind("127.", 0) == 0;
        if (!loopback)
            throw std::invalid_argument(
                "--insecure-http serves only a loopback address: passwords would cross the "
                "network in clear text");
        if (!o.certFile.empty())
            throw std::invalid_argument("--insecure-http takes no certificate");
    }
    return o;
}

std::string defaultStateDir() {
    if (::geteuid() == 0) return "/var/lib/cimscope-agent";
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && xdg[0] == '/')
        return std::string(xdg) + "/cimscope-agent";
    const char* home = std::getenv("HOME");
    return std::string(home && home[0] == '/' ? home : "/tmp") + "/.local/state/cimscope-agent";
}

}  // namespace agent
