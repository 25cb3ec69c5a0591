// Machine-wide facts several classes share: memory, boot time, logged-on
// users, process count, firmware (DMI) strings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "proc_parsers.h"

namespace wbem {

MemInfo readMemInfo();
std::optional<int64_t> readBootTime();
// Distinct names of the users with a login session (utmp).
std::vector<std::string> loggedOnUsers();
// Number of processes (numeric entries of /proc).
uint64_t countProcesses();
// When the root file system was made (its root folder's birth time).
std::optional<int64_t> rootBirthTime();
// A file of /sys/class/dmi/id ("sys_vendor", "bios_version", ...), trimmed;
// nullopt when missing, empty or a placeholder such as "To be filled by O.E.M.".
std::optional<std::string> dmiValue(const char* name);
// Placeholder texts firmware writes instead of a value.
bool isDmiPlaceholder(std::string_view value);

}  // namespace wbem
