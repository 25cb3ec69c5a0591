// Whole-file reads into a growing string and into a fixed buffer, at the
// edges of the first page, of a limit and of the buffer.
#include "wbem/providers/file_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace wbem {
namespace {

std::string bytes(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i % 251);
    return s;
}

TEST(FileReader, ReadsWholeFilesUpToTheLimitOrBuffer) {
    test::TempTree tree;
    const DirFd dir = DirFd::open(AT_FDCWD, tree.root().c_str());
    ASSERT_TRUE(dir.valid());
    const size_t sizes[] = {0, 1, 4095, 4096, 4097, 8192, 20000};
    for (size_t size : sizes) tree.write(std::to_string(size), bytes(size));

    const size_t limits[] = {kMaxPseudoFileSize, 100, 4096, 5000};
    // The last file's text is left in the reused buffers on purpose.
    std::string out = "left over";
    std::vector<char> buffer(30000);
    for (size_t size : sizes)
        for (FileEnd end : {FileEnd::EmptyRead, FileEnd::ShortRead}) {
            const std::string name = std::to_string(size);
            SCOPED_TRACE(name + (end == FileEnd::ShortRead ? " bytes, short read" : " bytes"));
            for (size_t limit : limits) {
                SCOPED_TRACE("limit " + std::to_string(limit));
                ASSERT_EQ(readFileAt(dir.get(), name.c_str(), out, limit, end), ReadStatus::Ok);
                EXPECT_EQ(out, bytes(std::min(size, limit)));
            }
            for (size_t capacity : {size_t{16}, size_t{4096}, buffer.size()}) {
                SCOPED_TRACE("buffer of " + std::to_string(capacity));
                size_t length = 1;
                ASSERT_EQ(
                    readFileInto(dir.get(), name.c_str(), buffer.data(), capacity, length, end),
                    ReadStatus::Ok);
                EXPECT_EQ(std::string(buffer.data(), length), bytes(std::min(size, capacity)));
            }
        }

    // Failures leave nothing behind.
    tree.mkdir("folder");
    const struct {
        const char* path;
        ReadStatus status;
    } failures[] = {{"missing", ReadStatus::Gone}, {"folder", ReadStatus::Failed}};
    for (const auto& f : failures) {
        SCOPED_TRACE(f.path);
        out = "left over";
        EXPECT_EQ(readFileAt(dir.get(), f.path, out), f.status);
        EXPECT_EQ(out, "");
        size_t length = 1;
        EXPECT_EQ(readFileInto(dir.get(), f.path, buffer.data(), buffer.size(), length), f.status);
        EXPECT_EQ(length, 0u);
    }
}

}  // namespace
}  // namespace wbem
