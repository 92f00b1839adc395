// What extraction refuses: names that leave the target folder, paths that do
// not fit 260 bytes, entries whose data do not match their headers.
#include "sys/unzipper.h"

#include "platform/fs.h"
#include "support/temp_dir.h"
#include "zip_test_support.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using ziptest::Fixture;
using ziptest::ListTree;

namespace {

struct EscapeCase {
    const char* slug;  // traversal-<slug>.zip
    const char* name;  // the entry's name, for the failure message
};

std::ostream& operator<<(std::ostream& os, const EscapeCase& c) {
    return os << c.slug << " (" << c.name << ")";
}

class EscapingEntryTest : public testing::TestWithParam<EscapeCase> {};

TEST_P(EscapingEntryTest, IsRefusedWhileTheOtherEntriesAreWritten) {
    TempDir base;
    std::string target = base / "t";
    std::string archive = Fixture(std::string("traversal-") + GetParam().slug + ".zip");
    ASSERT_TRUE(testsupport::FileExists(archive)) << archive;
    EXPECT_TRUE(UnzipArchive(archive.c_str(), target.c_str(), false));
    // Nothing beside the target, nothing in it but the harmless entry.
    EXPECT_EQ(ListTree(base.path()), (std::vector<std::string>{"t\\", "t\\ok.txt"}));
    EXPECT_FALSE(FileExists("\\lks-zip-escape.txt"));
#ifdef _WIN32
    EXPECT_FALSE(FileExists("C:\\lks-zip-escape.txt"));
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Names, EscapingEntryTest,
    testing::Values(EscapeCase{"parent", "../x"}, EscapeCase{"parent-backslash", "..\\x"},
                    EscapeCase{"nested-parent", "a/b/../../../x"},
                    EscapeCase{"parent-then-folder", "../t/../x"},
                    EscapeCase{"three-dots", ".../x"}, EscapeCase{"dots-blank", ".. /x"},
                    EscapeCase{"absolute", "/x"}, EscapeCase{"absolute-backslash", "\\x"},
                    EscapeCase{"unc", "//server/share/x"},
                    EscapeCase{"unc-backslash", "\\\\server\\share\\x"},
                    EscapeCase{"drive", "C:/x"}, EscapeCase{"drive-relative", "C:x"},
                    EscapeCase{"stream", "ok.txt:x"}, EscapeCase{"device", "CON"},
                    EscapeCase{"device-extension", "sub/nul.txt"}));

TEST(DamagedEntryTest, IsRemovedWhileTheOtherEntriesAreWritten) {
    TempDir dir;
    // bad_crc.txt: wrong CRC; broken.bin: inflating fails half way; short.txt:
    // the data end before the stored size (which minizip alone does not notice).
    EXPECT_TRUE(UnzipArchive(Fixture("bad_entries.zip").c_str(), dir.path().c_str(), false));
    EXPECT_EQ(ListTree(dir.path()),
              (std::vector<std::string>{"good_after.txt", "good_before.txt"}));
    EXPECT_EQ(ReadFileBytes(dir / "good_after.txt"), "after\n");
}

TEST(DamagedEntryTest, ReplacesNoExistingFileWithAPartialOne) {
    TempDir dir;
    ASSERT_TRUE(testsupport::WriteFileBytes(dir / "broken.bin", "the old file"));
    EXPECT_TRUE(UnzipArchive(Fixture("bad_entries.zip").c_str(), dir.path().c_str(), false));
    EXPECT_FALSE(FileExists(dir / "broken.bin"));
}

// long_names.zip holds a 150-byte name, a name longer than 260 bytes, and short.txt.
constexpr size_t kLongNameSize = 150;
const std::string kLongName = std::string(146, 'n') + ".txt";

struct LengthCase {
    size_t pathSize;  // folder + "\" + the 150-byte name, without the NUL
    bool written;
};

std::ostream& operator<<(std::ostream& os, const LengthCase& c) {
    return os << c.pathSize << " bytes";
}

class EntryPathLengthTest : public testing::TestWithParam<LengthCase> {};

TEST_P(EntryPathLengthTest, FitsIn260BytesWithItsNulOrIsRefused) {
    const LengthCase& c = GetParam();
    TempDir dir;
    size_t folderSize = c.pathSize - 1 - kLongNameSize;
    ASSERT_GT(folderSize, dir.path().size() + 1) << "temporary folder too deep for this case";
    std::string target = dir / std::string(folderSize - dir.path().size() - 1, 'p');
    ASSERT_EQ(target.size() + 1 + kLongName.size(), c.pathSize);

    EXPECT_TRUE(UnzipArchive(Fixture("long_names.zip").c_str(), target.c_str(), false));
    EXPECT_EQ(FileExists(target + "\\" + kLongName), c.written);
    EXPECT_EQ(ReadFileBytes(target + "\\short.txt"), "short\n");
    // The name over 260 bytes is never written, not even cut short.
    std::vector<std::string> expected = {"short.txt"};
    if (c.written) {
        expected.insert(expected.begin(), kLongName);
    }
    EXPECT_EQ(ListTree(target), expected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, EntryPathLengthTest,
                         testing::Values(LengthCase{258, true}, LengthCase{259, true},
                                         LengthCase{260, false}, LengthCase{300, false}));

TEST(PathLengthTest, TargetFolderOver260BytesIsRefused) {
    TempDir dir;
    std::string target = dir / std::string(300, 'p');
    EXPECT_FALSE(UnzipArchive(Fixture("tree.zip").c_str(), target.c_str(), false));
    EXPECT_TRUE(ListTree(dir.path()).empty());
}

TEST(PathLengthTest, ArchivePathOver260BytesIsRefused) {
    TempDir dir;
    std::string archive = dir / (std::string(300, 'z') + ".zip");
    EXPECT_FALSE(UnzipArchive(archive.c_str(), dir.path().c_str(), false));
    CUnzipper unzipper;
    EXPECT_FALSE(unzipper.Open(archive.c_str()));
}

#ifndef _WIN32
// Linux takes long paths, so the archive can really be there.
TEST(PathLengthTest, ExistingArchiveOver260BytesIsRefused) {
    TempDir dir;
    std::string folder = dir / std::string(200, 'f');
    ASSERT_TRUE(platform::CreateDir(folder.c_str()));
    std::string archive = folder + "\\" + std::string(100, 'z') + ".zip";
    ASSERT_TRUE(platform::CopyFileOver(Fixture("tree.zip").c_str(), archive.c_str()));
    std::string target = dir / "out";
    EXPECT_FALSE(UnzipArchive(archive.c_str(), target.c_str(), false));
    EXPECT_FALSE(testsupport::FolderExists(target));
}
#endif

}  // namespace
