#include "settings/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "settings/profile_file.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;
using settings::ProfileFile;
using settings::WriteFileAtomically;

const std::string kOriginal =
    "; hand-made\r\n[QueryHistory]\r\nCount=1\r\nQuery0=select * from Win32_Process\r\n";

// Makes every write past `bytes` in a file fail the way a full disk does, for
// as long as it lives. Works for root too, whom permissions do not stop.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ok_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    bool ok() const { return ok_; }

  private:
    rlimit saved_{};
    void (*oldHandler_)(int) = nullptr;
    bool ok_ = false;
};

TEST(AtomicWrite, ReplacesTheFileAndLeavesNothingBeside) {
    TempFolder folder;
    std::string path = folder.file("cimscope.ini");
    writeBytes(path, kOriginal);
    ASSERT_TRUE(WriteFileAtomically(path, "new contents"));
    EXPECT_EQ(readBytes(path), "new contents");
    EXPECT_EQ(folder.names(), std::set<std::string>{"cimscope.ini"});
}

TEST(AtomicWrite, AFullDiskLeavesTheOriginalWhole) {
    TempFolder folder;
    std::string path = folder.file("cimscope.ini");
    writeBytes(path, kOriginal);
    ProfileFile file = ProfileFile::load(path);
    ASSERT_TRUE(file.writeString("QueryHistory", "Query0", std::string(4096, 'x')));
    bool saved;
    {
        FileSizeLimit limit(1024);
        ASSERT_TRUE(limit.ok());
        saved = file.save();
    }
    EXPECT_FALSE(saved);
    EXPECT_EQ(readBytes(path), kOriginal);
    EXPECT_EQ(folder.names(), std::set<std::string>{"cimscope.ini"});
}

TEST(AtomicWrite, AWritableFileInAReadOnlyFolderIsRewrittenInPlace) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
    TempFolder folder;
    std::string path = folder.file("cimscope.ini");
    writeBytes(path, kOriginal);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    fs::permissions(folder.path(), fs::perms::owner_read | fs::perms::owner_exec);
    const bool saved = WriteFileAtomically(path, "short");
    fs::permissions(folder.path(), fs::perms::owner_all);
    EXPECT_TRUE(saved);
    EXPECT_EQ(readBytes(path), "short");  // the longer old text cut off
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(folder.names(), std::set<std::string>{"cimscope.ini"});
}

// What the user set on the file survives a save: its read-only mode, its
// links, its other names, its owner.
TEST(AtomicWrite, EveryKindOfFileKeepsWhatTheUserSetOnIt) {
    struct Kind {
        const char* what;
        std::function<void(TempFolder&)> make;  // makes cimscope.ini (and real.ini)
        bool saved;
        std::function<void(TempFolder&)> check;
    };
    const auto ino = [](const std::string& p) {
        struct stat st {};
        return ::stat(p.c_str(), &st) == 0 ? st.st_ino : ino_t(0);
    };
    static ino_t madeInode = 0;
    const std::vector<Kind> kinds = {
        {"a file nobody may write (0444)",
         [&](TempFolder& f) {
             writeBytes(f.file("cimscope.ini"), kOriginal);
             fs::permissions(f.file("cimscope.ini"), fs::perms::owner_read | fs::perms::group_read |
                                                         fs::perms::others_read);
         },
         false,
         [&](TempFolder& f) {
             EXPECT_EQ(readBytes(f.file("cimscope.ini")), kOriginal);
             struct stat st {};
             ::stat(f.file("cimscope.ini").c_str(), &st);
             EXPECT_EQ(st.st_mode & 0777, 0444u);
         }},
        {"a live symbolic link",
         [&](TempFolder& f) {
             writeBytes(f.file("real.ini"), kOriginal);
             fs::create_symlink("real.ini", f.file("cimscope.ini"));
         },
         true,
         [&](TempFolder& f) {
             EXPECT_TRUE(fs::is_symlink(f.file("cimscope.ini")));
             EXPECT_EQ(readBytes(f.file("real.ini")), "new");
         }},
        {"a dangling symbolic link",
         [&](TempFolder& f) { fs::create_symlink("real.ini", f.file("cimscope.ini")); }, true,
         [&](TempFolder& f) {
             EXPECT_TRUE(fs::is_symlink(f.file("cimscope.ini")));
             EXPECT_EQ(readBytes(f.file("real.ini")), "new");
         }},
        {"a hard link",
         [&](TempFolder& f) {
             writeBytes(f.file("real.ini"), kOriginal);
             fs::create_hard_link(f.file("real.ini"), f.file("cimscope.ini"));
             madeInode = ino(f.file("real.ini"));
         },
         true,
         [&](TempFolder& f) {
             EXPECT_EQ(readBytes(f.file("real.ini")), "new");  // the other name sees it
             EXPECT_EQ(ino(f.file("cimscope.ini")), madeInode);
             EXPECT_EQ(fs::hard_link_count(f.file("cimscope.ini")), 2u);
         }},
    };
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.what);
        TempFolder folder;
        k.make(folder);
        EXPECT_EQ(WriteFileAtomically(folder.file("cimscope.ini"), "new"), k.saved);
        k.check(folder);
        EXPECT_EQ(folder.names().count("cimscope.ini"), 1u);
        for (const auto& name : folder.names())  // no temporary file left
            EXPECT_TRUE(name == "cimscope.ini" || name == "real.ini") << name;
    }
}

TEST(AtomicWrite, AFileOfAnotherOwnerKeepsItsOwner) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another owner";
    TempFolder folder;
    const std::string path = folder.file("cimscope.ini");
    writeBytes(path, kOriginal);
    ASSERT_EQ(::chown(path.c_str(), 4242, 4242), 0);
    ASSERT_TRUE(WriteFileAtomically(path, "new"));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4242u);
    EXPECT_EQ(readBytes(path), "new");
}

TEST(AtomicWrite, AnUnreadableFileIsNotOverwritten) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
    TempFolder folder;
    std::string path = folder.file("cimscope.ini");
    writeBytes(path, kOriginal);
    fs::permissions(path, fs::perms::owner_write);
    ProfileFile file = ProfileFile::load(path);
    EXPECT_EQ(file.state(), ProfileFile::LoadState::Unreadable);
    ASSERT_TRUE(file.writeString("QueryHistory", "Count", "0"));
    EXPECT_FALSE(file.save());
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(readBytes(path), kOriginal);
}

TEST(AtomicWrite, FailsWithoutHarmWhereNoFileCanBe) {
    TempFolder folder;
    std::string dir = folder.file("cimscope.ini");
    fs::create_directory(dir);
    EXPECT_FALSE(WriteFileAtomically(dir, "x"));
    EXPECT_TRUE(fs::is_directory(dir));
    EXPECT_FALSE(WriteFileAtomically(folder.file("no-such-folder/cimscope.ini"), "x"));
    EXPECT_FALSE(WriteFileAtomically("", "x"));
    EXPECT_EQ(folder.names(), std::set<std::string>{"cimscope.ini"});
}

TEST(AtomicWrite, KeepsPermissionsAndWritesThroughALink) {
    TempFolder folder;
    std::string real = folder.file("real.ini");
    std::string link = folder.file("cimscope.ini");
    writeBytes(real, kOriginal);
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("real.ini", link);

    ASSERT_TRUE(WriteFileAtomically(link, "through the link"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readBytes(real), "through the link");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(folder.names(), (std::set<std::string>{"cimscope.ini", "real.ini"}));
}

TEST(AtomicWrite, ANewFileFollowsTheUmask) {
    TempFolder folder;
    std::string path = folder.file("cimscope.ini");
    mode_t old = ::umask(022);
    bool ok = WriteFileAtomically(path, "x");
    ::umask(old);
    ASSERT_TRUE(ok);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

}  // namespace
