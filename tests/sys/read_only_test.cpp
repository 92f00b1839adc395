// Extraction over read-only files. Root writes to read-only files anyway
// (natively and under Wine), so these cases mean something only for an
// unprivileged user: CTest runs them as lkstest through scripts/as-test-user,
// with LKS_EXPECT_UNPRIVILEGED set; in the ordinary run as root they skip.
#include "sys/unzipper.h"

#include "platform/fs.h"
#include "support/temp_dir.h"
#include "zip_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using testsupport::ReadFileBytes;
using testsupport::TempDir;
using ziptest::Fixture;

namespace {

class ReadOnlyTest : public testing::Test {
protected:
    void SetUp() override {
        if (ziptest::IgnoresReadOnly()) {
            if (std::getenv("LKS_EXPECT_UNPRIVILEGED")) {
                FAIL() << "this process writes to read-only files: it must run as an unprivileged "
                          "user";
            }
            GTEST_SKIP() << "root ignores read-only files; CTest runs this as lkstest";
        }
    }
};

TEST_F(ReadOnlyTest, ReadOnlyEntryOfAnEarlierExtractionIsNotReplaced) {
    TempDir dir;
    ASSERT_TRUE(UnzipArchive(Fixture("readonly_v1.zip").c_str(), dir.path().c_str(), false));
    ASSERT_TRUE(platform::GetAttributes((dir / "ro.txt").c_str()).readOnly);
    // The read-only entry fails, the other one is still written, and the
    // archive counts as unpacked.
    EXPECT_TRUE(UnzipArchive(Fixture("readonly_v2.zip").c_str(), dir.path().c_str(), false));
    EXPECT_EQ(ReadFileBytes(dir / "ro.txt"), "read-only v1\n");
    EXPECT_EQ(ReadFileBytes(dir / "rw.txt"), "writable v2\n");
}

TEST_F(ReadOnlyTest, ExistingReadOnlyFileIsKept) {
    TempDir dir;
    std::string mine = dir / "d.txt";
    ASSERT_TRUE(testsupport::WriteFileBytes(mine, "mine"));
    ASSERT_TRUE(platform::SetDosAttributes(mine.c_str(), platform::kAttrReadOnly));
    EXPECT_TRUE(UnzipArchive(Fixture("tree.zip").c_str(), dir.path().c_str(), false));
    EXPECT_EQ(ReadFileBytes(mine), "mine");
    EXPECT_EQ(ReadFileBytes(dir / "a\\b\\c.txt"), "c in a/b\n");
    EXPECT_EQ(ReadFileBytes(dir / "big.bin"), ReadFileBytes(Fixture("src\\tree\\big.bin")));
}

}  // namespace
