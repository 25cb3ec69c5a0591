// Replaces a file's contents all at once: the data goes to a new file in the
// same folder, is flushed to disk and then renamed over the target, so that a
// crash or a full disk leaves either the old file or the new one, never half.
#pragma once

#include <string>
#include <string_view>

namespace settings {

// Returns false, leaving the target as it was and no temporary file behind,
// when any step fails. A symbolic link stays a link and its target is
// written (a dangling one gets its target made). An existing file keeps its
// permission bits; a new one gets 0666 less umask. A file that may not be
// written (0444) is left alone (false). A file of another owner or with
// other names (hard links), or in a folder that takes no new file, is
// rewritten in place instead (all the data, synced, then cut to length), so
// that its owner and its other names keep it.
bool WriteFileAtomically(const std::string& path, std::string_view data);

}  // namespace settings
