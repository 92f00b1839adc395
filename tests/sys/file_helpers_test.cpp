// CreateFolder, CreateFilePath and SetFileModTime on the real file system.
#include "sys/file_helpers.h"

#include "platform/fs.h"
#include "support/temp_dir.h"
#include "zip_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

using testsupport::TempDir;
using ziptest::ListTree;

namespace {

struct FolderCase {
    const char* label;
    const char* existingFile;  // made first, below the temporary folder (or null)
    const char* path;          // below the temporary folder
    bool result;
    std::vector<std::string> tree;  // the temporary folder afterwards
};

std::ostream& operator<<(std::ostream& os, const FolderCase& c) { return os << c.label; }

class CreateFolderTest : public testing::TestWithParam<FolderCase> {};

TEST_P(CreateFolderTest, MakesTheMissingLevels) {
    const FolderCase& c = GetParam();
    bool nonAscii = std::any_of(c.path, c.path + std::strlen(c.path), [](char ch) {
        return (static_cast<unsigned char>(ch) & 0x80) != 0;
    });
    if (nonAscii) {
        ASSERT_TRUE(ziptest::StoresNonAsciiNames()) << ziptest::kNoNonAsciiNames;
    }
    TempDir dir;
    if (c.existingFile) {
        ASSERT_TRUE(testsupport::WriteFileBytes(dir / c.existingFile, "file"));
    }
    EXPECT_EQ(CreateFolder((dir / c.path).c_str()), c.result);
    EXPECT_EQ(ListTree(dir.path()), c.tree);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, CreateFolderTest,
    testing::Values(
        FolderCase{"three levels", nullptr, "a\\b\\c", true, {"a\\", "a\\b\\", "a\\b\\c\\"}},
        FolderCase{"trailing backslash and blank", nullptr, "a\\b\\ ", true, {"a\\", "a\\b\\"}},
        FolderCase{"trailing backslashes", nullptr, "a\\\\\\", true, {"a\\"}},
        FolderCase{"trailing white space", nullptr, "a\t\r\n\v\f ", true, {"a\\"}},
        FolderCase{"slash separators", nullptr, "a/b", true, {"a\\", "a\\b\\"}},
        // 乗 ends in 0x5C: it is the name, not a trailing separator.
        FolderCase{"GBK name ending in 5C", nullptr, "\x81\x5c", true, {"\x81\x5c\\"}},
        FolderCase{"GBK name then separator",
                   nullptr,
                   "\x81\x5c\\\x95\x5c\\",
                   true,
                   {"\x81\x5c\\", "\x81\x5c\\\x95\x5c\\"}},
        FolderCase{"existing file", "f", "f", false, {"f"}},
        FolderCase{"below a file", "f", "f\\sub", false, {"f"}},
        FolderCase{"only blanks below the folder", nullptr, "  ", true, {}}));

TEST(CreateFolderTest, ExistingFolderIsFine) {
    TempDir dir;
    EXPECT_TRUE(CreateFolder(dir.path().c_str()));
    EXPECT_TRUE(CreateFolder((dir.path() + "\\").c_str()));
}

TEST(CreateFolderTest, RefusesWhatIsNotAPath) {
    EXPECT_FALSE(CreateFolder(nullptr));
    EXPECT_FALSE(CreateFolder(""));
    EXPECT_FALSE(CreateFolder(" \t"));
    EXPECT_FALSE(CreateFolder("\\\\"));
}

TEST(CreateFolderTest, RefusesAPathOver260Bytes) {
    TempDir dir;
    std::string path = dir / "a";
    path += "\\" + std::string(300 - path.size(), 'b');
    EXPECT_FALSE(CreateFolder(path.c_str()));
    EXPECT_TRUE(ListTree(dir.path()).empty());
}

TEST(CreateFilePathTest, MakesTheFoldersAboveTheFile) {
    TempDir dir;
    EXPECT_TRUE(CreateFilePath((dir / "x\\y\\file.txt").c_str()));
    EXPECT_EQ(ListTree(dir.path()), (std::vector<std::string>{"x\\", "x\\y\\"}));
    EXPECT_FALSE(CreateFilePath("file.txt"));
    EXPECT_FALSE(CreateFilePath(nullptr));
}

TEST(SetFileModTimeTest, SetsTheLastWriteTime) {
    TempDir dir;
    std::string file = dir / "f.txt";
    uint32_t when = ziptest::DosDateTime(1999, 12, 31, 23, 59, 58);
    EXPECT_FALSE(SetFileModTime(file.c_str(), when));
    ASSERT_TRUE(testsupport::WriteFileBytes(file, "x"));
    EXPECT_TRUE(SetFileModTime(file.c_str(), when));
    EXPECT_EQ(platform::GetFileDosTime(file.c_str()), when);
}

}  // namespace
