#include "help/support_mail.h"

#include <sys/utsname.h>

#include <cstdio>

namespace help {

namespace {

// The digits at the start of text, consumed; 0 when there are none.
int takeNumber(std::string_view& text) {
    int value = 0;
    size_t i = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && value < 100000) {
        value = value * 10 + (text[i] - '0');
        ++i;
    }
    text.remove_prefix(i);
    return value;
}

// The system's texts come from outside; keep them from ending the subject.
std::string subjectSafe(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '#':
                out += "%23";
                break;
            case '%':
                out += "%25";
                break;
            case '&':
                out += "%26";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace

OsVersion ParseOsVersion(std::string_view name, std::string_view release) {
    OsVersion os;
    os.name = std::string(name);
    os.build = std::string(release);
    os.major = takeNumber(release);
    if (!release.empty() && release.front() == '.') {
        release.remove_prefix(1);
        os.minor = takeNumber(release);
    }
    return os;
}

OsVersion CurrentOsVersion() {
    utsname info{};
    if (uname(&info) != 0) return ParseOsVersion("Linux", "");
    return ParseOsVersion(info.sysname, info.release);
}

std::string SupportMailAddress(std::string_view address, std::string_view programVersion,
                               const OsVersion& os) {
    char numbers[32];
    std::snprintf(numbers, sizeof numbers, "%d.%2.2d", os.major, os.minor);
    return "mailto:" + std::string(address) + "?subject=Question about Cimscope " +
           subjectSafe(programVersion) + " on " + subjectSafe(os.name) + " " + numbers + " (" +
           subjectSafe(os.build) + "). ";
}

}  // namespace help
