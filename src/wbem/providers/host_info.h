// Facts about the machine that many classes repeat: its names, the operating
// system's release and the kernel's.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace wbem {

// The computer name as WMI reports it in CSName and Domain: the first label
// of the host name, upper case.
std::string computerName();
// The host name's first label as it is written (DNSHostName).
std::string dnsHostName();
// What follows the first label of the host name; empty when it has none.
std::string hostDomainSuffix();

// KEY=value lines of os-release, with shell quoting and escapes undone;
// comments and malformed lines skipped.
std::map<std::string, std::string> parseOsRelease(std::string_view text);
// PRETTY_NAME of /etc/os-release (or /usr/lib/os-release), else NAME, else
// "Linux".
std::string osCaption();
std::map<std::string, std::string> readOsRelease();

struct KernelInfo {
    std::string release;  // uname -r
    std::string version;  // uname -v
    std::string machine;  // uname -m
};
KernelInfo kernelInfo();

// "64-bit", "32-bit", "ARM 64-bit Processor", ... for a uname machine name.
std::string osArchitecture(std::string_view machine);

// Reference values: \\SERVER\namespace:Class.Key="value".
std::string referencePath(std::string_view nspace, std::string_view relPath);

}  // namespace wbem
