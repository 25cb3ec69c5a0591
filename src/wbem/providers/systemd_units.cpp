#include "systemd_units.h"

#include <sys/stat.h>

#include <algorithm>
#include <set>

#include "../text.h"
#include "parse_util.h"
#include "subprocess.h"

namespace wbem {

namespace {

constexpr std::chrono::milliseconds kSystemctlLimit{5000};

// "{ path=/usr/sbin/sshd ; argv[]=/usr/sbin/sshd -D ; ignore_errors=no ; ... }"
void parseExecStart(std::string_view v, ServiceUnit& u) {
    auto field = [&](std::string_view key) -> std::string_view {
        const size_t at = v.find(key);
        if (at == std::string_view::npos) return {};
        std::string_view rest = v.substr(at + key.size());
        const size_t end = rest.find(" ;");
        return trimmed(rest.substr(0, end));
    };
    u.execPath = sanitizeUtf8(field("path="));
    u.execArgs = sanitizeUtf8(field("argv[]="));
}

}  // namespace

std::vector<std::string> parseUnitNames(std::string_view text) {
    std::vector<std::string> out;
    Splitter lines(text, '\n');
    std::string_view line;
    while (lines.next(line)) {
        Words words(line);
        std::string_view name;
        if (!words.next(name)) continue;
        // list-units marks failed units with a leading bullet.
        if (name == "\xE2\x97\x8F" || name == "*") {
            if (!words.next(name)) continue;
        }
        if (!name.ends_with(".service") || name.ends_with("@.service")) continue;
        out.push_back(sanitizeUtf8(name));
    }
    return out;
}

std::vector<ServiceUnit> parseShowOutput(std::string_view text) {
    std::vector<ServiceUnit> out;
    ServiceUnit cur;
    bool any = false;
    auto flush = [&] {
        if (any && !cur.id.empty()) out.push_back(std::move(cur));
        cur = ServiceUnit{};
        any = false;
    };
    Splitter lines(text, '\n');
    std::string_view line;
    while (lines.next(line)) {
        if (trimmed(line).empty()) {
            flush();
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = line.substr(0, eq);
        const std::string_view v = line.substr(eq + 1);
        any = true;
        if (key == "Id")
            cur.id = sanitizeUtf8(v);
        else if (key == "Description")
            cur.description = sanitizeUtf8(v);
        else if (key == "LoadState")
            cur.loadState = sanitizeUtf8(v);
        else if (key == "ActiveState")
            cur.activeState = sanitizeUtf8(v);
        else if (key == "SubState")
            cur.subState = sanitizeUtf8(v);
        else if (key == "UnitFileState")
            cur.unitFileState = sanitizeUtf8(v);
        else if (key == "User")
            cur.user = sanitizeUtf8(v);
        else if (key == "CanStop")
            cur.canStop = v == "yes";
        else if (key == "ExecStart")
            parseExecStart(v, cur);
        else if (key == "MainPID") {
            if (auto n = parseUInt(v); n && *n > 0 && *n <= UINT32_MAX)
                cur.mainPid = static_cast<uint32_t>(*n);
        } else if (key == "ExecMainStatus") {
            if (auto n = parseUInt(v); n && *n <= UINT32_MAX)
                cur.exitStatus = static_cast<uint32_t>(*n);
        }
    }
    flush();
    return out;
}

std::string serviceState(const ServiceUnit& u) {
    const std::string& a = u.activeState;
    if (a == "active" || a == "reloading" || a == "refreshing") return "Running";
    if (a == "activating") return "Start Pending";
    if (a == "deactivating") return "Stop Pending";
    if (a == "inactive" || a == "failed" || a == "maintenance") return "Stopped";
    return "Unknown";
}

std::string serviceStartMode(const ServiceUnit& u) {
    const std::string& s = u.unitFileState;
    if (s == "enabled" || s == "enabled-runtime" || s == "alias") return "Auto";
    if (s == "masked" || s == "masked-runtime" || s == "bad") return "Disabled";
    return "Manual";
}

bool systemdRunning() {
    struct stat st {};
    return lstat("/run/systemd/system", &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<ServiceUnit> readServiceUnits() {
    if (!systemdRunning()) return {};
    std::set<std::string> names;
    if (auto t = runProgram({"systemctl", "list-units", "--type=service", "--all", "--plain",
                             "--no-legend", "--no-pager"},
                            kSystemctlLimit))
        for (auto& n : parseUnitNames(*t)) names.insert(n);
    if (auto t = runProgram(
            {"systemctl", "list-unit-files", "--type=service", "--no-legend", "--no-pager"},
            kSystemctlLimit))
        for (auto& n : parseUnitNames(*t)) names.insert(n);
    std::vector<ServiceUnit> out;
    std::vector<std::string> batch;
    auto flush = [&] {
        if (batch.empty()) return;
        std::vector<std::string> argv{"systemctl", "show", "--no-pager",
                                      "--property=Id,Description,LoadState,ActiveState,SubState,"
                                      "UnitFileState,User,CanStop,ExecStart,MainPID,ExecMainStatus",
                                      "--"};
        argv.insert(argv.end(), batch.begin(), batch.end());
        if (auto t = runProgram(argv, kSystemctlLimit))
            for (auto& u : parseShowOutput(*t))
                if (u.loadState != "not-found") out.push_back(std::move(u));
        batch.clear();
    };
    for (const std::string& n : names) {
        batch.push_back(n);
        if (batch.size() == 100) flush();
    }
    flush();
    std::sort(out.begin(), out.end(),
              [](const ServiceUnit& a, const ServiceUnit& b) { return a.id < b.id; });
    return out;
}

}  // namespace wbem
