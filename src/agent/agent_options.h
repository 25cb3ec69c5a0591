// The command line of cimscope-agent.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace agent {

struct AgentOptions {
    std::string listenAddress = "127.0.0.1";
    int listenPort = -1;  // -1: 5989, or 5988 with insecureHttp
    std::string certFile, keyFile;
    std::string stateDir;   // empty: the default for this user
    std::string usersFile;  // empty: PAM
    std::string pamService = "cimscope-agent";
    std::string addUser;  // --add-user NAME: add to usersFile and exit
    bool insecureHttp = false;
    unsigned workers = 8;
    // --request-time: how long a client may take to send one request
    // (unset: the server's default).
    std::optional<std::chrono::seconds> requestTime;
    bool help = false;
    bool version = false;

    uint16_t port() const;
};

// Throws std::invalid_argument with a message for the user.
AgentOptions parseAgentOptions(const std::vector<std::string>& args);

// /var/lib/cimscope-agent for root; else $XDG_STATE_HOME/cimscope-agent,
// or ~/.local/state/cimscope-agent.
std::string defaultStateDir();

extern const char* const kAgentUsage;

}  // namespace agent
