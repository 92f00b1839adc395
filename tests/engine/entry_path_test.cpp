#include "engine/entry_path.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct PathCase {
    const char* path;
    bool safe;
};

std::ostream& operator<<(std::ostream& os, const PathCase& c) { return os << '"' << c.path << '"'; }

class EntryPathTest : public testing::TestWithParam<PathCase> {};

TEST_P(EntryPathTest, OnlyPathsBelowTheRootAreSafe) {
    EXPECT_EQ(IsSafeEntryPath(GetParam().path), GetParam().safe);
}

// clang-format off
const PathCase kEverywhere[] = {
    // Either separator, mixed too; GBK bytes and "%#?" go out as they are.
    {"\\program\\a.dll", true},   {"\\a.dll", true},            {"\\sub/dir/a.dll", true},
    {"/program/a.dll", true},     {"/a.dll", true},             {"/x\\y.dll", true},
    {"\\a%20b#c?.dll", true},     {"\\\x81\x5C..x\\a", true},    {"\\..dll\\a", true},
    {"\\a..b\\c", true},          {"\\.hidden", true},          {"\\\xB0\xA1\xC4\xE3.txt", true},
    // Climbing out, under either separator and as Windows trims names.
    {"\\..\\a.dll", false},       {"\\x\\..\\..\\a", false},    {"\\x/../a", false},
    {"/../a", false},             {"\\x\\..", false},           {"\\.. \\x.dll", false},
    {"\\..\\x.dll", false},       {"\\...\\a", false},          {"\\. \\a", false},
    {"\\.\\a", false},            {"/./a", false},              {"\\ \\a", false},
    // Not below the root: relative, empty, UNC, drives and streams.
    {"program\\a.dll", false},    {"", false},                  {"\\", false},
    {"/", false},                 {"\\\\server\\share\\a", false}, {"\\/server/a", false},
    {"//server/a", false},        {"\\c:\\windows\\a", false},  {"\\a:stream", false},
    {"\\a\\\\b", false},          {"\\program\\", false},
    // Control bytes would reach the request line.
    {"\\a\r.dll", false},         {"\\a\n.dll", false},         {"\\a\t.dll", false},
    {"\\a\x7F.dll", false},       {"\\a\x01", false},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Everywhere, EntryPathTest, testing::ValuesIn(kEverywhere));

// Names the Windows file system reads as something else.
const PathCase kWindowsNames[] = {
    {"\\CON", false},
    {"\\program\\nul.txt", false},
    {"\\com1\\a.dll", false},
    {"\\LPT9.dll", false},
    {"\\a.dll.", false},
    {"\\a.dll ", false},
    {"\\dir.\\a", false},
    {"\\COM0", true},
    {"\\CONSOLE.dll", true},
    {"\\\x81\x5C..\\a", false},  // a GBK character, then two dots Windows drops
};
#ifdef _WIN32
INSTANTIATE_TEST_SUITE_P(Windows, EntryPathTest, testing::ValuesIn(kWindowsNames));
#else
// The same names are plain files elsewhere, except where they trim to nothing.
TEST(EntryPathPosixTest, DeviceNamesAndTrailingDotsArePlainNames) {
    for (const PathCase& c : kWindowsNames) {
        EXPECT_TRUE(IsSafeEntryPath(c.path)) << c;
    }
}
#endif

}  // namespace
