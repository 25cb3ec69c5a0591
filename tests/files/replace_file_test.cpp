#include "files/replace_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "file_kinds.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;
using files::ReplaceContents;

const std::string kOriginal =
    "; hand-made\r\n[QueryHistory]\r\nCount=1\r\nQuery0=select * from Win32_Process\r\n";

TEST(ReplaceContents, ReplacesTheFileAndLeavesNothingBeside) {
    TempFolder folder;
    std::string path = folder.file("cimscope.ini");
    writeBytes(path, kOriginal);
    ASSERT_EQ(ReplaceContents(path, "new contents"), 0);
    EXPECT_EQ(readBytes(path), "new contents");
    EXPECT_EQ(folder.names(), std::set<std::string>{"cimscope.ini"});
}

// A full disk stops a save before anything of the file is lost, whether the
// file is replaced or rewritten in place (where room is reserved first).
TEST(ReplaceContents, AFullDiskLeavesTheOriginalWhole) {
    for (const bool hardLinked : {false, true}) {
        SCOPED_TRACE(hardLinked ? "rewritten in place" : "replaced");
        TempFolder folder;
        const std::string path = folder.file("cimscope.ini");
        writeBytes(path, kOriginal);
        if (hardLinked) fs::create_hard_link(path, folder.file("other.ini"));
        int error;
        {
            FileSizeLimit limit(1024);
            ASSERT_TRUE(limit.ok());
            error = ReplaceContents(path, std::string(4096, 'x'));
        }
        EXPECT_EQ(error, EFBIG);
        EXPECT_EQ(readBytes(path), kOriginal);
        EXPECT_EQ(folder.names().size(), hardLinked ? 2u : 1u) << "a temporary file was left";
    }
}

TEST(ReplaceContents, AWritableFileInAReadOnlyFolderIsRewrittenInPlace) {
    TempFolder folder;
    std::string path = folder.file("cimscope.ini");
    writeBytes(path, kOriginal);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    fs::permissions(folder.path(), fs::perms::owner_read | fs::perms::owner_exec);
    int error;
    {
        PermissionsBindRoot bound;
        ASSERT_TRUE(bound.ok());
        error = ReplaceContents(path, "short");
    }
    fs::permissions(folder.path(), fs::perms::owner_all);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(readBytes(path), "short");  // the longer old text cut off
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(folder.names(), std::set<std::string>{"cimscope.ini"});
}

// What the user set on the file survives a save: its read-only mode, its
// links, its other names, its owner and mode, its inode where replacing it
// is impossible or would lose something.
TEST(ReplaceContents, EveryKindOfFileKeepsWhatTheUserSetOnIt) {
    filekinds::expectEveryKindKeepsWhatTheUserSet(
        "cimscope.ini", "real.ini", kOriginal, "new", [](const std::string& path) {
            const int error = ReplaceContents(path, "new");
            if (error != 0) {
                EXPECT_EQ(error, EACCES);
            }
            return error == 0;
        });
}

TEST(ReplaceContents, AFileOfAnotherOwnerKeepsItsOwner) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another owner";
    TempFolder folder;
    const std::string path = folder.file("cimscope.ini");
    writeBytes(path, kOriginal);
    ASSERT_EQ(::chown(path.c_str(), 4242, 4343), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(ReplaceContents(path, "new"), 0);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4242u);
    EXPECT_EQ(st.st_gid, 4343u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(readBytes(path), "new");
}

TEST(ReplaceContents, FailsWithoutHarmWhereNoFileCanBe) {
    TempFolder folder;
    std::string dir = folder.file("cimscope.ini");
    fs::create_directory(dir);
    fs::create_symlink("loop.ini", folder.file("loop.ini"));
    const struct {
        std::string path;
        int error;
    } cases[] = {
        {dir, EISDIR},
        {"/dev/null", EINVAL},
        {folder.file("no-such-folder/cimscope.ini"), ENOENT},
        {folder.file("loop.ini"), ELOOP},
        {"", ENOENT},
    };
    for (const auto& c : cases) EXPECT_EQ(ReplaceContents(c.path, "x"), c.error) << c.path;
    EXPECT_TRUE(fs::is_directory(dir));
    EXPECT_EQ(folder.names(), (std::set<std::string>{"cimscope.ini", "loop.ini"}));
}

TEST(ReplaceContents, KeepsPermissionsAndWritesThroughALink) {
    TempFolder folder;
    std::string real = folder.file("real.ini");
    std::string link = folder.file("cimscope.ini");
    writeBytes(real, kOriginal);
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("real.ini", link);

    ASSERT_EQ(ReplaceContents(link, "through the link"), 0);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readBytes(real), "through the link");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(folder.names(), (std::set<std::string>{"cimscope.ini", "real.ini"}));
}

TEST(ReplaceContents, ANewFileFollowsTheUmask) {
    TempFolder folder;
    std::string path = folder.file("cimscope.ini");
    mode_t old = ::umask(022);
    const int error = ReplaceContents(path, "x");
    ::umask(old);
    ASSERT_EQ(error, 0);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

}  // namespace
