// CUnzipper's own operations: entry records, walking with an extension
// filter, the default folder, open and close.
#include "sys/unzipper.h"

#include "platform/fs.h"
#include "support/temp_dir.h"
#include "zip_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

using testsupport::ReadFileBytes;
using testsupport::TempDir;
using ziptest::Fixture;
using ziptest::ListTree;

namespace {

TEST(UnzipperTest, GetFileInfoFillsEveryField) {
    CUnzipper unzipper(Fixture("info.zip").c_str());
    ASSERT_TRUE(unzipper.GotoFirstFile());
    UnzipFileInfo info;
    std::memset(&info, 0x5A, sizeof info);  // a missing terminator would show
    ASSERT_TRUE(unzipper.GetFileInfo(info));
    EXPECT_STREQ(info.szFileName, "dir\\info.txt");
    EXPECT_STREQ(info.szComment, "entry comment");
    EXPECT_EQ(info.dwVersion, 20u);  // made by MS-DOS (0), zip 2.0
    EXPECT_EQ(info.dwVersionNeeded, 20u);
    EXPECT_EQ(info.dwFlags, 0u);
    EXPECT_EQ(info.dwCompressionMethod, 8u);
    EXPECT_EQ(info.dwDosDate, ziptest::DosDateTime(2021, 6, 15, 12, 0, 0));
    EXPECT_EQ(info.dwCRC, 0xE8C4F16Bu);
    EXPECT_EQ(
        info.dwCompressedSize,
        std::strtoul(ReadFileBytes(Fixture("info_compressed_size.txt")).c_str(), nullptr, 10));
    EXPECT_EQ(info.dwUncompressedSize, 1100u);
    EXPECT_EQ(info.dwInternalAttrib, 1u);
    EXPECT_EQ(info.dwExternalAttrib, 0x21u);
    EXPECT_FALSE(info.bFolder);
}

TEST(UnzipperTest, FolderFlagComesFromTheDirectoryAttribute) {
    CUnzipper unzipper(Fixture("dirs.zip").c_str());
    std::vector<std::string> folders;
    for (bool more = unzipper.GotoFirstFile(); more; more = unzipper.GotoNextFile()) {
        UnzipFileInfo info;
        ASSERT_TRUE(unzipper.GetFileInfo(info));
        if (info.bFolder) {
            folders.push_back(info.szFileName);
        }
    }
    EXPECT_EQ(folders, (std::vector<std::string>{"folder\\", "dirattr"}));
}

TEST(UnzipperTest, EntryNameOver260BytesIsNoRecord) {
    CUnzipper unzipper(Fixture("long_names.zip").c_str());
    ASSERT_TRUE(unzipper.GotoFirstFile());
    UnzipFileInfo info;
    EXPECT_FALSE(unzipper.GetFileInfo(info));
    ASSERT_TRUE(unzipper.GotoNextFile());
    EXPECT_TRUE(unzipper.GetFileInfo(info));
}

struct FilterCase {
    const char* filter;
    std::vector<std::string> visited;
};

std::ostream& operator<<(std::ostream& os, const FilterCase& c) {
    return os << "filter " << (c.filter ? std::string("\"") + c.filter + "\"" : "null");
}

class ExtensionFilterTest : public testing::TestWithParam<FilterCase> {};

TEST_P(ExtensionFilterTest, VisitsTheEntriesWithThatExtension) {
    const FilterCase& c = GetParam();
    CUnzipper unzipper(Fixture("extensions.zip").c_str());
    std::vector<std::string> visited;
    for (bool more = unzipper.GotoFirstFile(c.filter); more;
         more = unzipper.GotoNextFile(c.filter)) {
        UnzipFileInfo info;
        ASSERT_TRUE(unzipper.GetFileInfo(info));
        visited.push_back(info.szFileName);
    }
    EXPECT_EQ(visited, c.visited);
}

const std::vector<std::string> kAllEntries = {"readme", "x.dat",      "dir.v2\\file", "y.TXT",
                                              "noext.", "sub\\z.txt", "w.txt.bak"};

INSTANTIATE_TEST_SUITE_P(
    Filters, ExtensionFilterTest,
    testing::Values(FilterCase{nullptr, kAllEntries}, FilterCase{"", kAllEntries},
                    FilterCase{"txt", {"y.TXT", "sub\\z.txt"}},
                    FilterCase{"TxT", {"y.TXT", "sub\\z.txt"}}, FilterCase{"bak", {"w.txt.bak"}},
                    FilterCase{"dat", {"x.dat"}},
                    // A dot in a folder name is no extension of the file.
                    FilterCase{"v2\\file", {}}, FilterCase{"v2", {}}, FilterCase{"zip", {}}));

TEST(UnzipperTest, CountsTheEntries) {
    EXPECT_EQ(CUnzipper(Fixture("tree.zip").c_str()).GetFileCount(), 6u);
    EXPECT_EQ(CUnzipper(Fixture("empty.zip").c_str()).GetFileCount(), 0u);
    EXPECT_EQ(CUnzipper(Fixture("not_a_zip.zip").c_str()).GetFileCount(), 0u);
    EXPECT_EQ(CUnzipper().GetFileCount(), 0u);
}

TEST(UnzipperTest, NothingWorksWhileClosed) {
    TempDir dir;
    CUnzipper unzipper;
    UnzipFileInfo info;
    EXPECT_FALSE(unzipper.Open(nullptr));
    EXPECT_FALSE(unzipper.Open(""));
    EXPECT_FALSE(unzipper.Open(Fixture("not_a_zip.zip").c_str()));
    EXPECT_FALSE(unzipper.GotoFirstFile());
    EXPECT_FALSE(unzipper.GotoNextFile());
    EXPECT_FALSE(unzipper.GetFileInfo(info));
    EXPECT_FALSE(unzipper.UnzipFile(dir.path().c_str()));
    EXPECT_FALSE(unzipper.UnzipTo(dir.path().c_str()));
    EXPECT_FALSE(unzipper.Close());
    EXPECT_TRUE(ListTree(dir.path()).empty());
}

TEST(UnzipperTest, OpenClosesWhatWasOpen) {
    CUnzipper unzipper(Fixture("tree.zip").c_str());
    ASSERT_EQ(unzipper.GetFileCount(), 6u);
    ASSERT_TRUE(unzipper.Open(Fixture("info.zip").c_str()));
    EXPECT_EQ(unzipper.GetFileCount(), 1u);
    EXPECT_FALSE(unzipper.Open(Fixture("missing.zip").c_str()));
    EXPECT_EQ(unzipper.GetFileCount(), 0u);
    ASSERT_TRUE(unzipper.Open(Fixture("tree.zip").c_str()));
    EXPECT_TRUE(unzipper.Close());
    EXPECT_FALSE(unzipper.Close());
}

TEST(UnzipperTest, DefaultFolderIsTheArchivePathWithoutItsExtension) {
    TempDir dir;
    std::string archive = dir / "pkg.v1.zip";
    ASSERT_TRUE(platform::CopyFileOver(Fixture("tree.zip").c_str(), archive.c_str()));
    CUnzipper unzipper(archive.c_str());
    for (bool more = unzipper.GotoFirstFile(); more; more = unzipper.GotoNextFile()) {
        unzipper.UnzipFile();
    }
    EXPECT_EQ(ListTree(dir / "pkg.v1"), (std::vector<std::string>{"a\\", "a\\b\\", "a\\b\\c.txt",
                                                                  "big.bin", "big.txt", "d.txt"}));
    EXPECT_EQ(ReadFileBytes(dir / "pkg.v1\\a\\b\\c.txt"), "c in a/b\n");
}

}  // namespace
