#include "system_facts.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <utmpx.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "../text.h"
#include "file_reader.h"
#include "proc_source.h"

namespace wbem {

MemInfo readMemInfo() {
    auto text = readTextFile("/proc/meminfo", 1 << 20);
    return text ? parseMemInfo(*text) : MemInfo{};
}

std::optional<int64_t> readBootTime() {
    auto text = readTextFile("/proc/stat", 4 << 20);
    return text ? parseBootTime(*text) : std::nullopt;
}

std::vector<std::string> loggedOnUsers() {
    // The utmp walk keeps state inside the C library: one walker at a time.
    static std::mutex m;
    std::lock_guard<std::mutex> lock(m);
    std::vector<std::string> users;
    setutxent();
    while (struct utmpx* u = getutxent()) {
        if (u->ut_type != USER_PROCESS) continue;
        std::string name(u->ut_user, strnlen(u->ut_user, sizeof u->ut_user));
        name = sanitizeUtf8(name);
        if (!name.empty() && std::find(users.begin(), users.end(), name) == users.end())
            users.push_back(std::move(name));
    }
    endutxent();
    return users;
}

uint64_t countProcesses() {
    DirFd root = DirFd::open(AT_FDCWD, "/proc");
    if (!root.valid()) return 0;
    PidWalker walker(root.get(), ".");
    uint64_t n = 0;
    while (walker.next()) ++n;
    return n;
}

std::optional<int64_t> rootBirthTime() {
    struct statx sx {};
    if (statx(AT_FDCWD, "/", AT_STATX_SYNC_AS_STAT, STATX_BTIME, &sx) != 0) return std::nullopt;
    if (!(sx.stx_mask & STATX_BTIME) || sx.stx_btime.tv_sec <= 0) return std::nullopt;
    return sx.stx_btime.tv_sec;
}

bool isDmiPlaceholder(std::string_view v) {
    static constexpr std::string_view kPlaceholders[] = {"To be filled by O.E.M.",
                                                         "To Be Filled By O.E.M.",
                                                         "Default string",
                                                         "Not Specified",
                                                         "Not Applicable",
                                                         "System Product Name",
                                                         "System manufacturer",
                                                         "OEM",
                                                         "None",
                                                         "N/A"};
    for (std::string_view p : kPlaceholders)
        if (iequals(v, p)) return true;
    return false;
}

std::optional<std::string> dmiValue(const char* name) {
    auto v = readSysValue(std::string("/sys/class/dmi/id/") + name);
    if (!v || isDmiPlaceholder(*v)) return std::nullopt;
    return sanitizeUtf8(*v);
}

}  // namespace wbem
