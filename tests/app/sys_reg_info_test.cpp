#include "app/sys_reg_info.h"

#include "platform/registry.h"
#include "support/scoped_registry.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

namespace {

class SysRegInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_registry.CreateKey(m_section));
        m_reg.SetRegSection(m_section.data());
    }

    // Stores raw bytes, NUL or not, as the suite's installer might.
    bool SetRaw(const char* name, const std::string& bytes) {
        platform::RegistryKey key;
        return key.Open(m_section.c_str(), platform::RegistryAccess::Write) &&
               key.SetString(name, bytes.data(), static_cast<uint32_t>(bytes.size()));
    }

    testsupport::ScopedRegistry m_registry;
    std::string m_section = "Software\\LksTest\\RegInfo";
    CSysRegInfo m_reg;
    char m_buffer[kRegValueBufferSize];
};

char* W(const char* text) { return const_cast<char*>(text); }

TEST_F(SysRegInfoTest, DefaultSectionIsTheSuiteKey) {
    CSysRegInfo fresh;
    EXPECT_STREQ(fresh.m_szSection, "Software\\Larkspan Office");
}

TEST_F(SysRegInfoTest, TextRoundTripsIncludingGbk) {
    std::string text = "C:\\\xC1\xFA\xC8\xAA\\\x81\x5C office";  // GBK bytes, a 0x5C trail byte
    ASSERT_TRUE(m_reg.SetRegValue(W("Path"), text.data()));
    ASSERT_TRUE(m_reg.GetRegValue(W("Path"), m_buffer));
    EXPECT_EQ(std::string(m_buffer), text);
}

TEST_F(SysRegInfoTest, MissingKeyIsNeverCreated) {
    CSysRegInfo other;
    other.SetRegSection(W("Software\\LksTest\\Missing"));
    EXPECT_FALSE(other.SetRegValue(W("Path"), W("x")));
    EXPECT_FALSE(other.SetRegInt(W("Count"), 3));
    EXPECT_FALSE(other.GetRegValue(W("Path"), m_buffer));
    EXPECT_EQ(other.GetRegInt(W("Count")), -1);
    other.DeleteKey(W("Path"));  // nothing to do, nothing to report
    platform::RegistryKey key;
    EXPECT_FALSE(key.Open("Software\\LksTest\\Missing", platform::RegistryAccess::Read));
}

struct IntCase {
    const char* stored;  // nullptr: the value is missing
    int expected;
};

TEST_F(SysRegInfoTest, GetRegIntReadsTheLeadingNumber) {
    const IntCase cases[] = {
        {nullptr, -1},
        {"42", 42},
        {"12kB", 12},
        {"abc", 0},
        {"  -7", -7},
        {"0012", 12},
        {"", 0},
        {"99999999999", INT_MAX},
        {"-99999999999", INT_MIN},
    };
    for (const IntCase& c : cases) {
        m_reg.DeleteKey(W("N"));
        if (c.stored) {
            ASSERT_TRUE(m_reg.SetRegValue(W("N"), W(c.stored)));
        }
        EXPECT_EQ(m_reg.GetRegInt(W("N")), c.expected) << (c.stored ? c.stored : "(missing)");
    }
}

TEST_F(SysRegInfoTest, SetRegIntStoresDecimalText) {
    ASSERT_TRUE(m_reg.SetRegInt(W("N"), INT_MIN));
    ASSERT_TRUE(m_reg.GetRegValue(W("N"), m_buffer));
    EXPECT_STREQ(m_buffer, "-2147483648");
    EXPECT_EQ(m_reg.GetRegInt(W("N")), INT_MIN);
}

TEST_F(SysRegInfoTest, DeleteKeyRemovesTheValueNotTheKey) {
    ASSERT_TRUE(m_reg.SetRegValue(W("A"), W("1")));
    ASSERT_TRUE(m_reg.SetRegValue(W("B"), W("2")));
    m_reg.DeleteKey(W("A"));
    EXPECT_FALSE(m_reg.GetRegValue(W("A"), m_buffer));
    EXPECT_TRUE(m_reg.GetRegValue(W("B"), m_buffer));
    EXPECT_TRUE(m_reg.SetRegValue(W("A"), W("3")));
}

TEST_F(SysRegInfoTest, ValuesWithoutTerminatorOrTooLongStaySafe) {
    ASSERT_TRUE(SetRaw("NoNul", "abc"));
    memset(m_buffer, 'x', sizeof m_buffer);
    ASSERT_TRUE(m_reg.GetRegValue(W("NoNul"), m_buffer));
    EXPECT_STREQ(m_buffer, "abc");

    ASSERT_TRUE(SetRaw("Full", std::string(kRegValueBufferSize, 'a')));
    EXPECT_FALSE(m_reg.GetRegValue(W("Full"), m_buffer));
    ASSERT_TRUE(SetRaw("Longer", std::string(3000, 'b')));
    EXPECT_FALSE(m_reg.GetRegValue(W("Longer"), m_buffer));
    EXPECT_EQ(m_reg.GetRegInt(W("Longer")), -1);

    std::string longest(kRegValueBufferSize - 1, 'c');
    ASSERT_TRUE(m_reg.SetRegValue(W("Longest"), longest.data()));
    ASSERT_TRUE(m_reg.GetRegValue(W("Longest"), m_buffer));
    EXPECT_EQ(std::string(m_buffer), longest);
}

TEST_F(SysRegInfoTest, CopiesCarryTheSectionAndSectionsAreBounded) {
    ASSERT_TRUE(m_reg.SetRegValue(W("Path"), W("here")));
    CSysRegInfo copy(m_reg);
    ASSERT_TRUE(copy.GetRegValue(W("Path"), m_buffer));
    EXPECT_STREQ(m_buffer, "here");
    CSysRegInfo assigned;
    assigned = m_reg;
    EXPECT_STREQ(assigned.m_szSection, m_section.c_str());

    std::string tooLong(3000, 'k');
    assigned.SetRegSection(tooLong.data());
    EXPECT_EQ(strlen(assigned.m_szSection), static_cast<size_t>(kRegSectionSize - 1));
}

#ifndef _WIN32
TEST_F(SysRegInfoTest, StoreRefusesNamesThatLeaveTheKey) {
    CSysRegInfo other;
    other.SetRegSection(W("Software\\..\\..\\etc"));
    EXPECT_FALSE(other.GetRegValue(W("passwd"), m_buffer));
    EXPECT_FALSE(m_reg.SetRegValue(W("../escape"), W("x")));
    EXPECT_FALSE(m_reg.GetRegValue(W(".."), m_buffer));
}
#endif

}  // namespace
