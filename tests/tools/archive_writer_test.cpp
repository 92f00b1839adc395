// Archives of one file, read back with minizip's unzip side.
#include "tools/publish/archive_writer.h"

#include "engine/file_checksum.h"
#include "platform/codepage.h"
#include "platform/fs.h"
#include "publish_test_support.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <ostream>

using publishtest::DosTime;
using publishtest::ZipEntry;

namespace {

// Bytes that deflate cannot shrink, several read chunks long.
std::string NoisyBytes(size_t size) {
    std::string bytes(size, '\0');
    uint32_t state = 2463534242u;
    for (auto& b : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        b = static_cast<char>(state & 0xFF);
    }
    return bytes;
}

struct ArchiveCase {
    const char* label;
    const char* entryName;
    std::string content;
    bool readOnly;
    uint32_t dosTime;
    uint32_t attributes;
};

std::ostream& operator<<(std::ostream& os, const ArchiveCase& c) { return os << c.label; }

const ArchiveCase kCases[] = {
    {"empty", "empty.txt", "", false, DosTime(1980, 1, 1, 0, 0, 0), 0x20},
    {"text", "a b.txt", "abc", false, DosTime(2009, 6, 15, 13, 45, 22), 0x20},
    {"read_only", "locked.dll", "read only", true, DosTime(2021, 12, 31, 23, 59, 58), 0x01},
    {"gbk_name", JOU ".dll", "jou", false, DosTime(2015, 3, 1, 8, 0, 0), 0x20},
    {"several_chunks", "big.bin", NoisyBytes(300 * 1024 + 7), false,
     DosTime(2000, 2, 29, 12, 30, 4), 0x20},
    {"compressible", "zeros.bin", std::string(200000, '\0'), false, DosTime(2030, 7, 4, 6, 7, 8),
     0x20},
};

class ArchiveWriterTest : public ::testing::TestWithParam<ArchiveCase> {};

TEST_P(ArchiveWriterTest, HoldsTheFileAtTopLevelWithTimeAndAttributes) {
    const ArchiveCase& c = GetParam();
    if (platform::IsLeadByte(static_cast<unsigned char>(c.entryName[0])) &&
        !publishtest::StoresGbkNames()) {
        GTEST_SKIP() << "this system cannot store GBK file names";
    }
    testsupport::TempDir dir;
    std::string source = dir / c.entryName;
    publishtest::MakeReleaseFile(
        dir.path(), {std::string("\\") + c.entryName, c.content, c.dosTime, c.readOnly});
    publish::ArchiveEntry entry;
    entry.name = c.entryName;
    entry.dosTime = c.dosTime;
    entry.attributes = c.attributes;
    publish::StoredFile stored;
    std::string error;
    ASSERT_TRUE(publish::WriteFileArchive(dir / "out.zip", source, entry, &stored, &error))
        << error;

    EXPECT_EQ(stored.size, c.content.size());
    EXPECT_EQ(stored.md5, platform::UpperLatin(GetFileMD5(source)));

    std::vector<ZipEntry> entries;
    ASSERT_TRUE(publishtest::ReadZip(dir / "out.zip", &entries));
    ASSERT_EQ(entries.size(), 1u);
    const ZipEntry& e = entries[0];
    EXPECT_EQ(e.name, c.entryName);
    EXPECT_EQ(e.versionMadeBy >> 8, 0u) << "made by DOS";
    EXPECT_EQ(e.method, 8u) << "deflated";
    EXPECT_EQ(e.dosTime, c.dosTime);
    EXPECT_EQ(e.externalAttributes, c.attributes);
    EXPECT_TRUE(e.content == c.content);
}

INSTANTIATE_TEST_SUITE_P(Files, ArchiveWriterTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ArchiveCase>& param) {
                             return std::string(param.param.label);
                         });

TEST(ArchiveWriterFailureTest, ReportsAMissingSource) {
    testsupport::TempDir dir;
    publish::ArchiveEntry entry;
    entry.name = "gone.txt";
    entry.dosTime = DosTime(2020, 1, 1, 0, 0, 0);
    entry.attributes = 0x20;
    publish::StoredFile stored;
    std::string error;
    EXPECT_FALSE(
        publish::WriteFileArchive(dir / "out.zip", dir / "gone.txt", entry, &stored, &error));
    EXPECT_NE(error.find("gone.txt"), std::string::npos) << error;
}

}  // namespace
