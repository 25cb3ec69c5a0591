#include "handback/socket_name.h"

#include <unistd.h>

#include <cstdlib>

namespace handback {

std::string FallbackFolder(uint32_t uid) { return "/tmp/cimscope-" + std::to_string(uid); }

std::string SocketFolder(const char* runtimeDir, uint32_t uid) {
    if (runtimeDir && runtimeDir[0] == '/') return runtimeDir;
    return FallbackFolder(uid);
}

std::string SocketPathIn(std::string_view folder, int32_t caller) {
    std::string path(folder);
    if (path.empty() || path.back() != '/') path += '/';
    return path + "cimscope-wp-" + std::to_string(caller) + ".sock";
}

std::string SocketPath(int32_t caller) {
    return SocketPathIn(SocketFolder(std::getenv("XDG_RUNTIME_DIR"), geteuid()), caller);
}

}  // namespace handback
