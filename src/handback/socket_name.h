// Where the calling program named by "-wp:N" listens: a Unix-domain stream
// socket at
//   $XDG_RUNTIME_DIR/cimscope-wp-N.sock   when XDG_RUNTIME_DIR is an absolute path,
//   /tmp/cimscope-UID/cimscope-wp-N.sock  otherwise,
// with N in decimal as the number reads ("-wp:0x1A" names 26; a negative
// number keeps its minus sign) and UID the effective user id. Both folders
// belong to the user alone (the fallback one is made with mode 0700 by the
// listener), so another user can neither listen under the name nor reach it.
// The caller starts cimscope, which inherits its environment, so both sides
// see the same XDG_RUNTIME_DIR.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace handback {

// The folder used when XDG_RUNTIME_DIR is unset, empty or relative.
std::string FallbackFolder(uint32_t uid);

// The folder the socket lives in, for a given XDG_RUNTIME_DIR (null = unset).
std::string SocketFolder(const char* runtimeDir, uint32_t uid);

// The socket's full name in `folder`.
std::string SocketPathIn(std::string_view folder, int32_t caller);

// The socket's full name for this process's environment and user.
std::string SocketPath(int32_t caller);

}  // namespace handback
