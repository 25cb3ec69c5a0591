#include "password_check.h"

#include <fcntl.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <security/pam_appl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "wbem/text.h"

namespace agent {

namespace {

constexpr unsigned kIterations = 300000;
constexpr size_t kMaxUsersFile = 1 << 20;

std::string base64(const unsigned char* data, size_t n) {
    std::string out(4 * ((n + 2) / 3), '\0');
    const int len = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data, int(n));
    out.resize(size_t(len));
    return out;
}

std::optional<std::vector<unsigned char>> unbase64(std::string_view text) {
    if (text.empty() || text.size() % 4 || text.size() > 1024) return std::nullopt;
    std::vector<unsigned char> out(text.size() / 4 * 3);
    const int len = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                    int(text.size()));
    if (len < 0) return std::nullopt;
    size_t pad = 0;
    if (text.back() == '=') ++pad;
    if (text.size() > 1 && text[text.size() - 2] == '=') ++pad;
    out.resize(size_t(len) - pad);
    return out;
}

std::vector<std::string_view> split(std::string_view s, char sep) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = s.find(sep, start);
        parts.push_back(s.substr(start, at - start));
        if (at == std::string_view::npos) return parts;
        start = at + 1;
    }
}

bool validUserName(std::string_view name) {
    if (name.empty() || name.size() > 64) return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || std::strchr("._-@\\", c)))
            return false;
    return true;
}

// The lines of the file, or none when it does not exist yet.
std::string readUsersFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::string text;
    text.resize(kMaxUsersFile + 1);
    in.read(text.data(), std::streamsize(text.size()));
    text.resize(size_t(in.gcount()));
    if (text.size() > kMaxUsersFile)
        throw std::runtime_error(path + " is too large for a users file");
    return text;
}

}  // namespace

// --- Users file ---------------------------------------------------------------

UsersFile::UsersFile(std::string path) : path_(std::move(path)) { reloadIfChanged(); }

void UsersFile::reloadIfChanged() {
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0) {
        records_.clear();
        loaded_.reset();
        return;
    }
    const Stamp stamp{(long long)st.st_mtim.tv_sec * 1'000'000'000 + st.st_mtim.tv_nsec,
                      (unsigned long long)st.st_ino, (long long)st.st_size};
    if (loaded_ && *loaded_ == stamp) return;
    std::map<std::string, std::string> records;
    std::istringstream lines(readUsersFile(path_));
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        records[line.substr(0, colon)] = line.substr(colon + 1);
    }
    records_ = std::move(records);
    loaded_ = stamp;
}

bool UsersFile::check(const std::string& user, const std::string& password) {
    std::string record;
    {
        std::lock_guard lock(mutex_);
        reloadIfChanged();
        auto it = records_.find(user);
        if (it != records_.end()) record = it->second;
    }
    // An unknown user costs the same as a known one: no hint which names exist.
    static const std::string decoy = hashRecord("decoy", kIterations);
    const bool ok = matches(record.empty() ? decoy : record, password);
    return ok && !record.empty();
}

std::string UsersFile::hashRecord(const std::string& password, unsigned iterations) {
    unsigned char salt[16];
    unsigned char hash[32];
    if (RAND_bytes(salt, sizeof salt) != 1 ||
        PKCS5_PBKDF2_HMAC(password.data(), int(password.size()), salt, sizeof salt, int(iterations),
                          EVP_sha256(), sizeof hash, hash) != 1)
        throw std::runtime_error("cannot hash the password");
    return "pbkdf2-sha256:" + std::to_string(iterations) + ":" + base64(salt, sizeof salt) + ":" +
           base64(hash, sizeof hash);
}

bool UsersFile::matches(std::string_view record, const std::string& password) {
    const auto parts = split(record, ':');
    if (parts.size() != 4 || parts[0] != "pbkdf2-sha256") return false;
    const std::string iterText(parts[1]);
    if (iterText.empty() || iterText.size() > 8 ||
        iterText.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long iterations = std::stoul(iterText);
    if (iterations < 1000 || iterations > 10'000'000) return false;
    const auto salt = unbase64(parts[2]);
    const auto hash = unbase64(parts[3]);
    if (!salt || !hash || hash->size() != 32) return false;
    unsigned char computed[32];
    if (PKCS5_PBKDF2_HMAC(password.data(), int(password.size()), salt->data(), int(salt->size()),
                          int(iterations), EVP_sha256(), sizeof computed, computed) != 1)
        return false;
    return CRYPTO_memcmp(computed, hash->data(), sizeof computed) == 0;
}

void UsersFile::addUser(const std::string& path, const std::string& user,
                        const std::string& password) {
    if (!validUserName(user))
        throw std::runtime_error("a user name is 1 to 64 letters, digits and . _ - @ \\");
    if (password.empty()) throw std::runtime_error("the password is empty");
    std::string out;
    std::istringstream lines(readUsersFile(path));
    for (std::string line; std::getline(lines, line);) {
        const size_t colon = line.find(':');
        if (colon != std::string::npos && line[0] != '#' && line.substr(0, colon) == user) continue;
        out += line + "\n";
    }
    out += user + ":" + hashRecord(password, kIterations) + "\n";
    const std::string temp = path + ".new";
    ::unlink(temp.c_str());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) throw std::runtime_error("cannot write " + temp + ": " + std::strerror(errno));
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::write(fd, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += size_t(n);
    }
    const bool ok = done == out.size() && ::fsync(fd) == 0;
    const std::string why = std::strerror(errno);
    ::close(fd);
    if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        throw std::runtime_error("cannot write " + path + ": " + (ok ? std::strerror(errno) : why));
    }
}

// --- PAM ----------------------------------------------------------------------

namespace {

int conversation(int count, const pam_message** messages, pam_response** responses, void* data) {
    if (count <= 0 || count > 32) return PAM_CONV_ERR;
    auto* replies = static_cast<pam_response*>(std::calloc(size_t(count), sizeof(pam_response)));
    if (!replies) return PAM_BUF_ERR;
    const auto* password = static_cast<const std::string*>(data);
    for (int i = 0; i < count; ++i) {
        const int style = messages[i]->msg_style;
        if (style == PAM_PROMPT_ECHO_OFF || style == PAM_PROMPT_ECHO_ON) {
            replies[i].resp = ::strdup(password->c_str());
            if (!replies[i].resp) {
                for (int j = 0; j < i; ++j) std::free(replies[j].resp);
                std::free(replies);
                return PAM_BUF_ERR;
            }
        }
    }
    *responses = replies;
    return PAM_SUCCESS;
}

}  // namespace

PamCheck::PamCheck(std::string service, std::string confDir)
    : service_(std::move(service)), confDir_(std::move(confDir)) {}

bool PamCheck::check(const std::string& user, const std::string& password) {
    std::lock_guard lock(mutex_);
    pam_conv conv{conversation, const_cast<std::string*>(&password)};
    pam_handle_t* handle = nullptr;
    int rc = confDir_.empty() ? pam_start(service_.c_str(), user.c_str(), &conv, &handle)
                              : pam_start_confdir(service_.c_str(), user.c_str(), &conv,
                                                  confDir_.c_str(), &handle);
    if (rc != PAM_SUCCESS) return false;
    // The login guard delays failures itself, without holding a turn; PAM's
    // own delay (pam_unix waits about 2 s) is replaced by none.
    using DelayFunction = void (*)(int, unsigned, void*);
    DelayFunction noDelay = [](int, unsigned, void*) {};
    pam_set_item(handle, PAM_FAIL_DELAY, reinterpret_cast<const void*>(noDelay));
    rc = pam_authenticate(handle, PAM_SILENT | PAM_DISALLOW_NULL_AUTHTOK);
    if (rc == PAM_SUCCESS) rc = pam_acct_mgmt(handle, PAM_SILENT | PAM_DISALLOW_NULL_AUTHTOK);
    pam_end(handle, rc);
    return rc == PAM_SUCCESS;
}

// --- The login guard ------------------------------------------------------------

std::optional<std::pair<std::string, std::string>> basicCredentials(std::string_view header) {
    header = wbem::trimmed(header);
    if (header.size() < 7 || !wbem::iequals(header.substr(0, 6), "basic ")) return std::nullopt;
    std::string_view encoded = wbem::trimmed(header.substr(6));
    const auto bytes = unbase64(encoded);
    if (!bytes) return std::nullopt;
    const std::string text(bytes->begin(), bytes->end());
    const size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0) return std::nullopt;
    if (text.find('\0') != std::string::npos) return std::nullopt;
    return std::make_pair(text.substr(0, colon), text.substr(colon + 1));
}

LoginGuard::LoginGuard(std::unique_ptr<PasswordCheck> check, Options options)
    : check_(std::move(check)), options_(options) {
    if (RAND_bytes(secret_, sizeof secret_) != 1) throw std::runtime_error("no random numbers");
}

std::string LoginGuard::key(const std::string& user, const std::string& password) const {
    const std::string text = user + '\0' + password;
    unsigned char md[32];
    unsigned int len = sizeof md;
    HMAC(EVP_sha256(), secret_, sizeof secret_, reinterpret_cast<const unsigned char*>(text.data()),
         text.size(), md, &len);
    return std::string(reinterpret_cast<char*>(md), len);
}

std::optional<std::string> LoginGuard::login(const std::optional<std::string>& authorization,
                                             const std::string& peer) {
    Outcome outcome = check(authorization, peer);
    if (!outcome.user) std::this_thread::sleep_for(outcome.delay);
    return outcome.user;
}

std::optional<std::string> LoginGuard::remembered(const std::optional<std::string>& authorization) {
    const auto credentials = authorization ? basicCredentials(*authorization) : std::nullopt;
    if (!credentials) return std::nullopt;
    const std::string k = key(credentials->first, credentials->second);
    std::lock_guard lock(mutex_);
    auto it = remembered_.find(k);
    if (it == remembered_.end() ||
        std::chrono::steady_clock::now() - it->second >= options_.rememberFor)
        return std::nullopt;
    return credentials->first;
}

LoginGuard::Outcome LoginGuard::check(const std::optional<std::string>& authorization,
                                      const std::string& peer) {
    using Clock = std::chrono::steady_clock;
    const auto credentials = authorization ? basicCredentials(*authorization) : std::nullopt;
    if (!credentials) return {};  // a first request without credentials is no failure
    if (auto user = remembered(authorization)) return {std::move(user), {}};
    const auto& [user, password] = *credentials;
    const std::string k = key(user, password);
    const auto now = Clock::now();
    if (check_->check(user, password)) {
        std::lock_guard lock(mutex_);
        if (remembered_.size() >= options_.maxRemembered) remembered_.clear();
        remembered_[k] = now;
        failures_.erase(peer);
        return {user, {}};
    }
    std::chrono::milliseconds delay;
    {
        std::lock_guard lock(mutex_);
        if (failures_.size() > 65536) failures_.clear();
        auto& f = failures_[peer];
        if (now - f.last > std::chrono::minutes(10)) f.count = 0;
        f.count = std::min(f.count + 1, 1000u);
        f.last = now;
        delay = std::min(options_.failureDelay * f.count, options_.maxFailureDelay);
    }
    return {std::nullopt, delay};
}

}  // namespace agent
