// Saving the settings file: what the file on disk keeps when a save cannot
// be made. How a save treats links, owners and modes is tested with
// files::ReplaceContents, which it uses.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include "settings/profile_file.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;
using settings::ProfileFile;

// A file as a user may have edited it, comment and all.
const std::string kOriginal = "; mine\r\n[QueryHistory]\r\nCount=0\r\n";

TEST(ProfileSave, AFullDiskLeavesTheOriginalWhole) {
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

TEST(ProfileSave, AnUnreadableFileIsNotOverwritten) {
    TempFolder folder;
    std::string path = folder.file("cimscope.ini");
    writeBytes(path, kOriginal);
    fs::permissions(path, fs::perms::owner_write);
    bool saved;
    {
        PermissionsBindRoot bound;
        ASSERT_TRUE(bound.ok());
        ProfileFile file = ProfileFile::load(path);
        EXPECT_EQ(file.state(), ProfileFile::LoadState::Unreadable);
        ASSERT_TRUE(file.writeString("QueryHistory", "Count", "0"));
        saved = file.save();
    }
    EXPECT_FALSE(saved);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(readBytes(path), kOriginal);
}

}  // namespace
