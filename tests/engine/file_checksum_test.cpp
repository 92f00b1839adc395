#include "engine/file_checksum.h"

#include "engine/line_reader.h"
#include "platform/fs.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// Made by make_checksum_fixture.py when the tests are built.
std::string FixtureDir() {
    std::string dir = LKS_MD5_FIXTURE_DIR;
#ifdef _WIN32
    // Under Wine the Linux file system is drive Z:.
    if (!dir.empty() && dir[0] == '/') {
        dir = "Z:" + dir;
    }
    for (char& c : dir) {
        if (c == '/') {
            c = '\\';
        }
    }
#endif
    return dir;
}

// md5sum's output: "<digest>  <name>" per line.
std::map<std::string, std::string> ReferenceSums() {
    std::map<std::string, std::string> sums;
    std::string text = testsupport::ReadFileBytes(FixtureDir() + "\\sums.txt");
    for (std::string_view line : SplitLines(text)) {
        size_t gap = line.find("  ");
        if (gap != std::string_view::npos) {
            sums[std::string(line.substr(gap + 2))] = std::string(line.substr(0, gap));
        }
    }
    return sums;
}

// MD5 block and padding edges, the 1024-byte read block, the 128 KiB buffer
// beneath it, and a large file.
constexpr size_t kFixtureSizes[] = {0,    1,    55,   56,     63,     64,     65,
                                    1023, 1024, 1025, 131071, 131072, 131073, 20 * 1024 * 1024 + 3};

class FileChecksumSizeTest : public testing::TestWithParam<size_t> {};

TEST_P(FileChecksumSizeTest, MatchesMd5sum) {
    static const std::map<std::string, std::string> sums = ReferenceSums();
    std::string name = std::to_string(GetParam()) + ".bin";
    auto expected = sums.find(name);
    ASSERT_NE(expected, sums.end()) << name << " missing from " << FixtureDir() << "\\sums.txt";
    EXPECT_EQ(GetFileMD5(FixtureDir() + "\\" + name), expected->second);
}

INSTANTIATE_TEST_SUITE_P(FileChecksumTest, FileChecksumSizeTest, testing::ValuesIn(kFixtureSizes),
                         [](const testing::TestParamInfo<size_t>& param) {
                             return "bytes_" + std::to_string(param.param);
                         });

TEST(FileChecksumTest, RfcValueInLowerCase) {
    testsupport::TempDir dir;
    ASSERT_TRUE(testsupport::WriteFileBytes(dir / "abc.txt", "abc"));
    EXPECT_EQ(GetFileMD5(dir / "abc.txt"), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(FileChecksumTest, GbkFileName) {
    testsupport::TempDir dir;
    std::string path = dir /
                       "\x81\x5C"
                       "a.txt";
    if (!testsupport::WriteFileBytes(path, "")) {
        // Wine maps names through the Unix locale; without zh_CN.UTF-8
        // generated it cannot store this name at all.
        GTEST_SKIP() << "the file system refuses GBK names here (error "
                     << platform::LastFileError() << ")";
    }
    EXPECT_EQ(GetFileMD5(path), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(FileChecksumTest, MissingFileThrows) {
    testsupport::TempDir dir;
    std::string path = dir / "missing.dll";
    try {
        GetFileMD5(path);
        FAIL() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.GetCause(), CFileException::Cause::OpenFailed);
        EXPECT_EQ(e.GetFileName(), path);
        EXPECT_NE(e.GetOsError(), 0u);
    }
}

TEST(FileChecksumTest, FolderThrows) {
    testsupport::TempDir dir;
    EXPECT_THROW(GetFileMD5(dir.path()), CFileException);
}

#ifdef _WIN32

HANDLE OpenForTest(const std::string& path, DWORD access, DWORD share) {
    return CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

TEST(FileChecksumTest, FileOpenForWritingElsewhereThrows) {
    testsupport::TempDir dir;
    std::string path = dir / "busy.dll";
    ASSERT_TRUE(testsupport::WriteFileBytes(path, "abc"));
    HANDLE writer = OpenForTest(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    try {
        GetFileMD5(path);
        ADD_FAILURE() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.GetCause(), CFileException::Cause::OpenFailed);
        EXPECT_EQ(e.GetOsError(), static_cast<unsigned long>(ERROR_SHARING_VIOLATION));
    }
    CloseHandle(writer);
}

TEST(FileChecksumTest, FileOpenForReadingElsewhereIsRead) {
    testsupport::TempDir dir;
    std::string path = dir / "shared.dll";
    ASSERT_TRUE(testsupport::WriteFileBytes(path, "abc"));
    HANDLE reader = OpenForTest(path, GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileMD5(path), "900150983cd24fb0d6963f7d28e17f72");
    CloseHandle(reader);
}

TEST(FileChecksumTest, OthersMayReadButNotWriteWhileOpen) {
    testsupport::TempDir dir;
    std::string path = dir / "held.dll";
    ASSERT_TRUE(testsupport::WriteFileBytes(path, "abc"));
    platform::File held;
    ASSERT_TRUE(held.Open(path.c_str(), platform::File::Mode::ReadDenyWrite));
    HANDLE reader = OpenForTest(path, GENERIC_READ, FILE_SHARE_READ);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    HANDLE writer = OpenForTest(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    if (reader != INVALID_HANDLE_VALUE) {
        CloseHandle(reader);
    }
    if (writer != INVALID_HANDLE_VALUE) {
        CloseHandle(writer);
    }
}

TEST(FileChecksumTest, FileIsClosedAfterwards) {
    testsupport::TempDir dir;
    std::string path = dir / "a.dll";
    ASSERT_TRUE(testsupport::WriteFileBytes(path, "abc"));
    GetFileMD5(path);
    // Only an unshared open: fails while any handle to the file is left.
    HANDLE exclusive = OpenForTest(path, GENERIC_READ | GENERIC_WRITE, 0);
    EXPECT_NE(exclusive, INVALID_HANDLE_VALUE);
    if (exclusive != INVALID_HANDLE_VALUE) {
        CloseHandle(exclusive);
    }
}

#else

size_t OpenDescriptors() {
    std::vector<platform::DirEntry> entries;
    platform::ListDir("/proc/self/fd", &entries);
    return entries.size();
}

TEST(FileChecksumTest, ReadErrorThrowsAndClosesTheFile) {
    // /proc/self/mem opens, but reading at offset 0 (never mapped) fails with EIO.
    size_t before = OpenDescriptors();
    try {
        GetFileMD5("/proc/self/mem");
        FAIL() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.GetCause(), CFileException::Cause::ReadFailed);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

#endif

}  // namespace
