// The support mail: its address and a subject naming the program's version
// and the system it runs on, so that a question arrives with that context.
#pragma once

#include <string>
#include <string_view>

namespace help {

// The running system as the support subject names it.
struct OsVersion {
    std::string name;  // "Linux"
    int major = 0;
    int minor = 0;
    std::string build;  // the full kernel release, "6.1.0-13-amd64"
};

// Reads the version numbers from a kernel release such as "6.1.0-13-amd64";
// numbers that are missing are 0.
OsVersion ParseOsVersion(std::string_view name, std::string_view release);

// This machine's system, from uname().
OsVersion CurrentOsVersion();

// "mailto:" + address + "?subject=Question about Cimscope <version> on <name>
// <major>.<minor, two digits> (<build>). " -- the subject ends with a full
// stop and a blank. Only the characters that would end the subject early
// ('#', '%', '&') are percent-encoded.
std::string SupportMailAddress(std::string_view address, std::string_view programVersion,
                               const OsVersion& os);

}  // namespace help
