// The kinds of file a user may have where a program saves, and what a save
// must keep of each: a read-only file stays as it was, a symbolic link stays
// a link (a dangling one gets its target), other names (hard links) see the
// new contents, owner and mode stay, and where the folder takes no new file
// the file is rewritten in place. The settings file and wql -out: are held
// to the same table.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "temp_folder.h"

namespace filekinds {

inline std::optional<struct stat> statOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return st;
}

// Saves `path` with the new contents; true when the save says it succeeded.
using Save = std::function<bool(const std::string& path)>;

// Makes each kind of `name` in a fresh folder holding `oldContents` (a second
// name is `other`), saves it with `save` as permissions bind root too, and
// checks what the file and the folder hold afterwards.
inline void expectEveryKindKeepsWhatTheUserSet(const std::string& name, const std::string& other,
                                               const std::string& oldContents,
                                               const std::string& newContents, const Save& save) {
    namespace fs = std::filesystem;
    const auto plain = [&](TempFolder& f) { writeBytes(f.file(name), oldContents); };
    struct Kind {
        const char* what;
        std::function<void(TempFolder&)> make;
        mode_t mode;          // given to the file `name` reaches; 0: none made
        bool readOnlyFolder;  // the folder takes no new file during the save
        bool refused;         // the save must fail and change nothing
        bool sameInode;       // the file `name` reaches keeps its inode
        bool link;            // `name` is (still) a symbolic link to `other`
        bool otherName;       // `other` must show the same contents
    };
    const std::vector<Kind> kinds = {
        {"a plain file", plain, 0640, false, false, false, false, false},
        {"a file nobody may write (0444)", plain, 0444, false, true, true, false, false},
        {"a writable file in a folder that takes no new file", plain, 0640, true, false, true,
         false, false},
        {"a live symbolic link",
         [&](TempFolder& f) {
             writeBytes(f.file(other), oldContents);
             fs::create_symlink(other, f.file(name));
         },
         0604, false, false, false, true, true},
        {"a dangling symbolic link",
         [&](TempFolder& f) { fs::create_symlink(other, f.file(name)); }, 0, false, false, false,
         true, true},
        {"a hard link",
         [&](TempFolder& f) {
             writeBytes(f.file(other), oldContents);
             fs::create_hard_link(f.file(other), f.file(name));
         },
         0600, false, false, true, false, true},
    };
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.what);
        TempFolder folder;
        k.make(folder);
        const std::string path = folder.file(name);
        if (k.mode) {
            ASSERT_EQ(::chmod(path.c_str(), k.mode), 0);
        }
        const std::optional<struct stat> before = statOf(path);
        std::set<std::string> names = folder.names();
        if (k.otherName) names.insert(other);  // a dangling link's target is made
        if (k.readOnlyFolder)
            fs::permissions(folder.path(), fs::perms::owner_read | fs::perms::owner_exec);
        bool saved;
        {
            PermissionsBindRoot bound;
            ASSERT_TRUE(bound.ok());
            saved = save(path);
        }
        fs::permissions(folder.path(), fs::perms::owner_all);

        EXPECT_EQ(saved, !k.refused);
        const std::string expected = k.refused ? oldContents : newContents;
        EXPECT_EQ(readBytes(path), expected);
        if (k.otherName) {
            EXPECT_EQ(readBytes(folder.file(other)), expected);
        }
        EXPECT_EQ(fs::is_symlink(path), k.link);
        if (k.link) {
            EXPECT_EQ(fs::read_symlink(path), other);
        }
        const std::optional<struct stat> after = statOf(path);
        ASSERT_TRUE(after);
        if (before) {
            EXPECT_EQ(after->st_ino == before->st_ino, k.sameInode);
            EXPECT_EQ(after->st_mode & 07777, before->st_mode & 07777);
            EXPECT_EQ(after->st_uid, before->st_uid);
            EXPECT_EQ(after->st_gid, before->st_gid);
            EXPECT_EQ(after->st_nlink, before->st_nlink);
        }
        EXPECT_EQ(folder.names(), names) << "a temporary file was left";
    }
}

}  // namespace filekinds
