// Gives a file new contents without losing what the user set on it. The data
// goes to a new file beside it, is synced and renamed over the old one, so
// that a crash or a full disk leaves either the old file or the new one,
// never half. What the user set stays: a symbolic link stays a link and its
// target gets the contents (a dangling link has its target made), the owner,
// group and mode stay, and a file that may not be written (0444) is left
// alone. Where a new file would lose something (the file has other names,
// hard links; a new file cannot take its owner; its folder takes no new
// file) the file is rewritten in place instead: all of the data, synced,
// then cut to length.
//
// The functions return 0 or the errno of the step that failed.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace files {

// What a path names, once its symbolic links are followed.
struct TargetFile {
    enum class Kind { New, Regular, Other };  // Other: a folder, device, FIFO, socket
    std::filesystem::path path;               // links followed
    Kind kind = Kind::New;
    struct stat st {};  // when it exists
};

// 0 with `target` filled (also for a name that does not exist yet), or the
// error: ELOOP for a cycle of links, ENOENT for an empty path, what stat
// says otherwise. What is no regular file keeps the path as given, so that
// /dev/stdout still reaches the pipe or terminal it stands for.
int LookAt(const std::string& path, TargetFile& target);

// EACCES for a regular file that may not be written: one nobody may write
// (0444) was made read-only on purpose, root's rights notwithstanding.
int MayWrite(const TargetFile& target);

// A new file would take the file's other names (hard links) away from it.
bool NeedsRewriteInPlace(const TargetFile& target);

// Opens a new, unique file beside the target with the target's owner, group
// and mode (a new target: 0666 less umask). The descriptor, or -1 with errno:
// EACCES or EPERM when the folder takes no new file or the owner cannot be
// kept, which callers answer by rewriting in place.
int CreateTempBeside(const TargetFile& target, std::string& tempName);

// Syncs and closes `fd`, then renames the temporary file over the target and
// syncs the folder. The temporary file is gone afterwards in any case.
int PutInPlace(int fd, const std::string& tempName, const TargetFile& target);

// Rewrites an existing file where it is: room for `data` reserved, all of
// `data` written and synced, then the old tail cut off.
int RewriteInPlace(const TargetFile& target, std::string_view data);

// The whole rule for contents at hand: 0 once the file holds `data`, else the
// error with the file as it was (EACCES for a read-only file, EISDIR or
// EINVAL for what is no regular file).
int ReplaceContents(const std::string& path, std::string_view data);

// Writes all of `data` to `fd`, going on after short writes and
// interruptions; 0 or errno.
int WriteAll(int fd, std::string_view data);

}  // namespace files
