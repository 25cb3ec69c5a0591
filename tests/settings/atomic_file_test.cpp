#include "settings/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <set>
#include <string>

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

TEST(AtomicWrite, AReadOnlyFolderLeavesTheOriginalWhole) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
    TempFolder folder;
    std::string path = folder.file("cimscope.ini");
    writeBytes(path, kOriginal);
    ProfileFile file = ProfileFile::load(path);
    ASSERT_TRUE(file.writeString("QueryHistory", "Count", "0"));
    fs::permissions(folder.path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(file.save());
    fs::permissions(folder.path(), fs::perms::owner_all);
    EXPECT_EQ(readBytes(path), kOriginal);
    EXPECT_EQ(folder.names(), std::set<std::string>{"cimscope.ini"});
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
