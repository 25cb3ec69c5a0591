// Replaces a file's contents all at once: the data goes to a new file in the
// same folder, is flushed to disk and then renamed over the target, so that a
// crash or a full disk leaves either the old file or the new one, never half.
#pragma once

#include <string>
#include <string_view>

namespace settings {

// Returns false, leaving the target as it was and no temporary file behind,
// when any step fails. A symbolic link is followed: its target is replaced.
// An existing file keeps its permission bits; a new one gets 0666 less umask.
bool WriteFileAtomically(const std::string& path, std::string_view data);

}  // namespace settings
