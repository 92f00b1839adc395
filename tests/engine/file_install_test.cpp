#include "engine/entry_path.h"
#include "engine/file_install.h"

#include "platform/fs.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(EntryPathTest, OnlyPathsBelowTheRootAreSafe) {
    struct Case {
        const char* path;
        bool safe;
    };
    // clang-format off
    const Case cases[] = {
        {"\\program\\a.dll", true},   {"\\a.dll", true},           {"\\sub/dir/a.dll", true},
        {"\\..\\a.dll", false},       {"\\x\\..\\..\\a", false},    {"\\x/../a", false},
        {"\\x\\..", false},           {"program\\a.dll", false},    {"", false},
        {"\\", false},                {"\\\\server\\share\\a", false}, {"\\/server/a", false},
        {"\\c:\\windows\\a", false},  {"\\a:stream", false},        {"/etc/passwd", false},
        {"\\..dll\\a", true},         {"\\a..\\b", true},           {"\\\x81\x5C..\\a", true},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(IsSafeEntryPath(c.path), c.safe) << c.path;
    }
}

TEST(FileInstallTest, ReplacesTheTargetWholeAndCreatesFolders) {
    testsupport::TempDir dir;
    ASSERT_TRUE(testsupport::WriteFileBytes(dir / "new.dll", "new content"));
    std::string target = dir / "inst\\sub\\deeper\\a.dll";
    ASSERT_TRUE(InstallFile(dir / "new.dll", target));
    EXPECT_EQ(testsupport::ReadFileBytes(target), "new content");
    EXPECT_FALSE(testsupport::FileExists(target + ".lksnew"));

    ASSERT_TRUE(testsupport::WriteFileBytes(dir / "newer.dll", "newer"));
    ASSERT_TRUE(InstallFile(dir / "newer.dll", target));
    EXPECT_EQ(testsupport::ReadFileBytes(target), "newer");
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
    EXPECT_FALSE(testsupport::FileExists(target + ".lksnew"));
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
