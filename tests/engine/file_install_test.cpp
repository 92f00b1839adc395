#include "engine/file_install.h"

#include "engine/md5.h"
#include "platform/codepage.h"

#include "platform/fs.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(FileInstallTest, ReplacesTheTargetWholeAndCreatesFolders) {
    testsupport::TempDir dir;
    ASSERT_TRUE(testsupport::WriteFileBytes(dir / "new.dll", "new content"));
    std::string target = dir / "inst\\sub\\deeper\\a.dll";
    ASSERT_TRUE(InstallFile(dir / "new.dll", target));
    EXPECT_EQ(testsupport::ReadFileBytes(target), "new content");
    EXPECT_FALSE(testsupport::FileExists(StagingPathFor(target)));

    ASSERT_TRUE(testsupport::WriteFileBytes(dir / "newer.dll", "newer"));
    ASSERT_TRUE(InstallFile(dir / "newer.dll", target));
    EXPECT_EQ(testsupport::ReadFileBytes(target), "newer");
}

TEST(FileInstallTest, NotedFoldersAreNotMadeAgainAndOneGoneMeanwhileFailsTheFile) {
    testsupport::TempDir dir;
    ASSERT_TRUE(testsupport::WriteFileBytes(dir / "new.dll", "new content"));
    platform::CheckedFolders folders;
    ASSERT_TRUE(InstallFile(dir / "new.dll", dir / "inst\\sub\\a.dll", StagedCheck(), &folders));
    // The record holds the folders with "\\" for every separator.
    EXPECT_TRUE(folders.Holds(platform::ReplaceChar(dir / "inst\\sub", '/', '\\')));
    EXPECT_TRUE(folders.Holds(platform::ReplaceChar(dir / "inst", '/', '\\')));
    ASSERT_TRUE(InstallFile(dir / "new.dll", dir / "inst\\sub\\b.dll", StagedCheck(), &folders));
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "inst\\sub\\b.dll"), "new content");

    // Removed behind the run's back: the file fails, whole, with nothing left.
    ASSERT_TRUE(testsupport::RemoveTree(dir / "inst\\sub"));
    std::string target = dir / "inst\\sub\\c.dll";
    EXPECT_FALSE(InstallFile(dir / "new.dll", target, StagedCheck(), &folders));
    EXPECT_FALSE(testsupport::FolderExists(dir / "inst\\sub"));
    EXPECT_FALSE(testsupport::FileExists(StagingPathFor(target)));
    // A run that has not seen the folder makes it again.
    ASSERT_TRUE(InstallFile(dir / "new.dll", target));
    EXPECT_EQ(testsupport::ReadFileBytes(target), "new content");
}

TEST(FileInstallTest, ReadOnlyTargetIsReplacedAndTheNewAttributesKept) {
    testsupport::TempDir dir;
    std::string target = dir / "a.dll";
    ASSERT_TRUE(testsupport::WriteFileBytes(target, "old"));
    ASSERT_TRUE(platform::SetDosAttributes(target.c_str(), platform::kAttrReadOnly));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir / "src.dll", "new"));
    ASSERT_TRUE(platform::SetDosAttributes((dir / "src.dll").c_str(), platform::kAttrReadOnly));
    ASSERT_TRUE(InstallFile(dir / "src.dll", target));
    EXPECT_EQ(testsupport::ReadFileBytes(target), "new");
    EXPECT_TRUE(platform::GetAttributes(target.c_str()).readOnly);
}

TEST(FileInstallTest, MissingSourceLeavesTheTargetAlone) {
    testsupport::TempDir dir;
    std::string target = dir / "a.dll";
    ASSERT_TRUE(testsupport::WriteFileBytes(target, "installed"));
    EXPECT_FALSE(InstallFile(dir / "missing.dll", target));
    EXPECT_EQ(testsupport::ReadFileBytes(target), "installed");
    EXPECT_FALSE(testsupport::FileExists(StagingPathFor(target)));
}

TEST(FileInstallTest, DeleteDirectoryRemovesReadOnlyFilesAndDeepTrees) {
    testsupport::TempDir dir;
    std::string root = dir / "lksupdate";
    std::string deep = root;
    for (int i = 0; i < 12; ++i) {
        deep += "\\level" + std::to_string(i);
    }
    platform::CreateParentFolders(deep + "\\f");
    ASSERT_TRUE(testsupport::WriteFileBytes(deep + "\\f", "x"));
    ASSERT_TRUE(testsupport::WriteFileBytes(root + "\\ro.dll", "x"));
    ASSERT_TRUE(platform::SetDosAttributes((root + "\\ro.dll").c_str(), platform::kAttrReadOnly));
    EXPECT_TRUE(DeleteDirectory(root));
    EXPECT_FALSE(testsupport::FolderExists(root));
    EXPECT_FALSE(DeleteDirectory(root));
}

}  // namespace

namespace {

UpdateItem ItemWithMd5(const std::string& path, const std::string& content) {
    CMD5 md5;
    md5.Update(content.data(), content.size());
    UpdateItem item;
    item.path = path;
    item.checksum = platform::UpperLatin(DigestToHex(md5.Final()));
    return item;
}

TEST(FileInstallTest, StagedBytesAreCheckedBeforeTheRename) {
    testsupport::TempDir dir;
    std::string target = dir / "a.dll";
    ASSERT_TRUE(testsupport::WriteFileBytes(target, "installed"));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir / "fetched.dll", "swapped by someone"));
    UpdateItem item = ItemWithMd5("\\a.dll", "what the list names");
    StagedCheck check = [&item](const std::string&, CItemDigest& copied) {
        return DigestMatchesItem(copied, item);
    };
    EXPECT_FALSE(InstallFile(dir / "fetched.dll", target, check));
    EXPECT_EQ(testsupport::ReadFileBytes(target), "installed");
    EXPECT_FALSE(testsupport::FileExists(StagingPathFor(target)));

    ASSERT_TRUE(testsupport::WriteFileBytes(dir / "fetched.dll", "what the list names"));
    EXPECT_TRUE(InstallFile(dir / "fetched.dll", target, check));
    EXPECT_EQ(testsupport::ReadFileBytes(target), "what the list names");
}

TEST(FileInstallTest, AStagingFileLeftByAnEarlierRunIsReplaced) {
    testsupport::TempDir dir;
    std::string target = dir / "a.dll";
    std::string staging = StagingPathFor(target);
    ASSERT_TRUE(testsupport::WriteFileBytes(staging, "half of an old run"));
    ASSERT_TRUE(platform::SetDosAttributes(staging.c_str(), platform::kAttrReadOnly));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir / "new.dll", "new"));
    ASSERT_TRUE(InstallFile(dir / "new.dll", target));
    EXPECT_EQ(testsupport::ReadFileBytes(target), "new");
    EXPECT_FALSE(testsupport::FileExists(staging));
}

TEST(StagingPathTest, FitsWhereverItsTargetFits) {
    const std::string folder = "c:\\suite\\program\\";
    struct Case {
        size_t targetLength;  // the whole target path, without the NUL
        bool fits;
    };
    const Case cases[] = {{40, true}, {200, true}, {255, true}, {258, true}, {259, true}};
    for (const Case& c : cases) {
        std::string target = folder + std::string(c.targetLength - folder.size(), 'n');
        std::string staging = StagingPathFor(target);
        EXPECT_EQ(!staging.empty(), c.fits) << c.targetLength;
        if (!staging.empty()) {
            EXPECT_LE(staging.size(), platform::kMaxPath - 1) << c.targetLength;
            EXPECT_EQ(staging.compare(0, folder.size(), folder), 0) << "same folder";
            EXPECT_NE(staging, target);
            EXPECT_EQ(staging, StagingPathFor(target)) << "the same name in every run";
        }
    }
    EXPECT_NE(StagingPathFor(folder + "a.dll"), StagingPathFor(folder + "b.dll"));
    // A one-letter name at the very limit leaves room for no other name.
    std::string deep = folder + std::string(257 - folder.size(), 'd') + "\\x";
    ASSERT_EQ(deep.size(), 259u);
    EXPECT_EQ(StagingPathFor(deep), "");
}

}  // namespace
