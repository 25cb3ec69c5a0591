// Who may use the agent: checks of a user name and password against the
// agent's own users file or the machine's accounts through PAM.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace agent {

class PasswordCheck {
  public:
    virtual ~PasswordCheck() = default;
    virtual bool check(const std::string& user, const std::string& password) = 0;
};

// A file of "NAME:pbkdf2-sha256:ITERATIONS:SALT:HASH" lines (salt and hash in
// base64); '#' starts a comment. Re-read when it changes, so users added
// while the agent runs can log in.
class UsersFile : public PasswordCheck {
  public:
    explicit UsersFile(std::string path);
    bool check(const std::string& user, const std::string& password) override;

    // Adds the user, or sets a new password for one already there, keeping
    // the other lines; writes a new file (0600) and renames it over the old.
    // Throws std::runtime_error for a bad name, an empty password or a file
    // that cannot be written.
    static void addUser(const std::string& path, const std::string& user,
                        const std::string& password);
    // The record for a password (a new random salt each time).
    static std::string hashRecord(const std::string& password, unsigned iterations);
    static bool matches(std::string_view record, const std::string& password);

  private:
    void reloadIfChanged();

    std::string path_;
    std::mutex mutex_;
    // What the file was when read: a change of any of these reads it again.
    struct Stamp {
        long long mtimeNs = 0;
        unsigned long long inode = 0;
        long long size = 0;
        bool operator==(const Stamp&) const = default;
    };
    std::optional<Stamp> loaded_;
    std::map<std::string, std::string> records_;  // user → "pbkdf2-sha256:..."
};

// The machine's accounts through PAM service `service` (pam_authenticate,
// then pam_acct_mgmt). `confDir` is a folder of PAM service files to use
// instead of /etc/pam.d (empty for the system's).
class PamCheck : public PasswordCheck {
  public:
    PamCheck(std::string service, std::string confDir = {});
    bool check(const std::string& user, const std::string& password) override;

  private:
    std::string service_;
    std::string confDir_;
    std::mutex mutex_;  // PAM modules are not all safe to run at once
};

// The front of every request: reads Basic credentials, remembers recent
// successes for a few minutes (keyed by a keyed hash, so no password is kept)
// and slows down failed logins per client address.
class LoginGuard {
  public:
    struct Options {
        std::chrono::seconds rememberFor{300};
        size_t maxRemembered = 4096;
        std::chrono::milliseconds failureDelay{1000};     // first failure
        std::chrono::milliseconds maxFailureDelay{5000};  // grows to this
    };
    LoginGuard(std::unique_ptr<PasswordCheck> check, Options options);

    struct Outcome {
        std::optional<std::string> user;     // when the credentials are good
        std::chrono::milliseconds delay{0};  // to wait before saying no
    };
    // The user when these credentials logged in lately (no password check).
    std::optional<std::string> remembered(const std::optional<std::string>& authorization);
    // Checks the Authorization header's Basic credentials without waiting;
    // a failure comes with the delay owed for `peer`'s recent failures.
    Outcome check(const std::optional<std::string>& authorization, const std::string& peer);
    // The same, waiting out the delay of a failure here.
    std::optional<std::string> login(const std::optional<std::string>& authorization,
                                     const std::string& peer);

  private:
    std::string key(const std::string& user, const std::string& password) const;

    std::unique_ptr<PasswordCheck> check_;
    Options options_;
    unsigned char secret_[32];
    std::mutex mutex_;
    std::unordered_map<std::string, std::chrono::steady_clock::time_point> remembered_;
    struct Failures {
        unsigned count = 0;
        std::chrono::steady_clock::time_point last;
    };
    std::unordered_map<std::string, Failures> failures_;
};

// "Basic dXNlcjpwYXNz" → {"user", "pass"}; nullopt for anything else.
std::optional<std::pair<std::string, std::string>> basicCredentials(std::string_view header);

}  // namespace agent
