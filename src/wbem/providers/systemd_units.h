// Services as systemd reports them, parsed from systemctl's output.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wbem {

struct ServiceUnit {
    std::string id;  // "ssh.service"
    std::string description, loadState, activeState, subState, unitFileState, user;
    std::string execPath, execArgs;  // the first ExecStart
    std::optional<uint32_t> mainPid, exitStatus;
    bool canStop = false;
};

// Unit names from "systemctl list-units --plain --no-legend" or
// "systemctl list-unit-files --no-legend" (the first word of each line).
std::vector<std::string> parseUnitNames(std::string_view text);

// Blocks of "Key=Value" lines separated by blank lines ("systemctl show").
std::vector<ServiceUnit> parseShowOutput(std::string_view text);

// Win32_Service.State and StartMode for a unit.
std::string serviceState(const ServiceUnit& u);
std::string serviceStartMode(const ServiceUnit& u);

// True when systemd manages this machine (/run/systemd/system exists).
bool systemdRunning();

// Every service unit, loaded or installed; empty when systemd does not run.
std::vector<ServiceUnit> readServiceUnits();

}  // namespace wbem
