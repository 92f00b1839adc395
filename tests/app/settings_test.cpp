#include "app/settings_reader.h"

#include "support/scoped_registry.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct SettingsCase {
    const char* name;
    const char* file;  // nullptr: no settings file
    bool useHost;
    const char* host;
    int mode;
    const char* root;
    const char* version;
};

std::ostream& operator<<(std::ostream& os, const SettingsCase& c) { return os << c.name; }

const SettingsCase kCases[] = {
    {"NoFile", nullptr, false, "", UPDATE_MODE_CLIENT, "", ""},
    {"EmptyFile", "", false, "", UPDATE_MODE_CLIENT, "", ""},
    {"ServerLowerCaseWithComment", "UPDATEMODEL =  server   // mirror for the LAN\r\n", false, "",
     UPDATE_MODE_SERVER, "", ""},
    {"KeyInLowerCaseIsNotFound", "updatemodel=server\n", false, "", UPDATE_MODE_CLIENT, "", ""},
    {"ServerInsideAWord", "UPDATEMODEL=myServerBox\n", false, "", UPDATE_MODE_SERVER, "", ""},
    {"OtherModeIsClient", "UPDATEMODEL=client\n", false, "", UPDATE_MODE_CLIENT, "", ""},
    {"FirstHostLineWins", "UPDATEHOST=10.0.0.1\nUPDATEHOST=10.0.0.2\n", true, "10.0.0.1",
     UPDATE_MODE_CLIENT, "", ""},
    {"KeyWithoutEqualsDecidesEmpty", "UPDATEHOST\nUPDATEHOST=10.0.0.2\n", false, "",
     UPDATE_MODE_CLIENT, "", ""},
    {"CommentedOutLine", "//UPDATEROOT=d:\\suite\n", false, "", UPDATE_MODE_CLIENT, "", ""},
    {"KeyInsideAnotherLinesValue", "UPDATEROOT=d:\\UPDATEHOST\\x\nUPDATEHOST=srv\n", true,
     "d:\\UPDATEHOST\\x", UPDATE_MODE_CLIENT, "d:\\UPDATEHOST\\x", ""},
    {"ValueCutAtDoubleSlash", "UPDATEHOST=http://update.example\n", true,
     "http:", UPDATE_MODE_CLIENT, "", ""},
    {"EmptyVersionKeepsDefault", "WINVERSION=\n", false, "", UPDATE_MODE_CLIENT, "", ""},
    {"AllKeysNoFinalNewline",
     "; settings\r\nUPDATEHOST = "
     "upd.lan\r\nUPDATEROOT=\td:\\office\r\nWINVERSION=V2\r\nUPDATEMODEL=SERVER",
     true, "upd.lan", UPDATE_MODE_SERVER, "d:\\office", "V2"},
    {"ValueAfterFirstEquals", "UPDATEHOST=a=b\n", true, "a=b", UPDATE_MODE_CLIENT, "", ""},
    // 0x95 0x53 is one GBK character whose second byte is "S": no SERVER there.
    {"TrailByteIsNoLetter", "UPDATEMODEL=\x95SERVER\n", false, "", UPDATE_MODE_CLIENT, "", ""},
    {"GbkValueKeptAsBytes", "UPDATEROOT=d:\\\xC1\xFA\xC8\xAA\\\x81\x5C\n", false, "",
     UPDATE_MODE_CLIENT, "d:\\\xC1\xFA\xC8\xAA\\\x81\x5C", ""},
};

class SettingsFileTest : public ::testing::TestWithParam<SettingsCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_registry.SetText(testsupport::kSuiteKey, "Path", m_install.path()));
    }

    testsupport::ScopedRegistry m_registry;
    testsupport::TempDir m_install;
};

TEST_P(SettingsFileTest, ReadSettingsFillsTheRecord) {
    const SettingsCase& c = GetParam();
    if (c.file) {
        ASSERT_TRUE(testsupport::WriteFileBytes(m_install / "standalone.ini", c.file));
    }
    UpdateSettings s;
    ReadSettings(s);
    EXPECT_EQ(s.m_bUseHost, c.useHost);
    EXPECT_EQ(s.m_strUpdateHost, c.host);
    EXPECT_EQ(s.m_nUpdateMode, c.mode);
    EXPECT_EQ(s.m_strUpdateRoot, c.root);
    EXPECT_EQ(s.m_strWinVersion, c.version);
    // The file reader and the in-memory reader agree.
    if (c.file) {
        for (const char* key : {"UPDATEHOST", "UPDATEMODEL", "UPDATEROOT", "WINVERSION"}) {
            EXPECT_EQ(GetIniValue((m_install / "standalone.ini").c_str(), key),
                      FindIniValue(c.file, key))
                << key;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, SettingsFileTest, ::testing::ValuesIn(kCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(SettingsPathTest, FollowsTheRegistryPathAsItStands) {
    testsupport::ScopedRegistry registry;
    ASSERT_TRUE(registry.SetText(testsupport::kSuiteKey, "Path", "d:\\suite\\"));
    EXPECT_EQ(GetSettingsFilePath(), "d:\\suite\\\\standalone.ini");
}

TEST(SettingsPathTest, MissingPathGivesTheDriveRoot) {
    testsupport::ScopedRegistry registry;
    ASSERT_TRUE(registry.CreateKey(testsupport::kSuiteKey));
    EXPECT_EQ(GetSettingsFilePath(), "\\standalone.ini");
}

TEST(SettingsPathTest, LongLinesHaveNoLimit) {
    testsupport::TempDir dir;
    std::string value(200000, 'v');
    ASSERT_TRUE(
        testsupport::WriteFileBytes(dir / "big.ini", std::string(100000, 'x') + "\nKEY=" + value));
    EXPECT_EQ(GetIniValue((dir / "big.ini").c_str(), "KEY"), value);
    EXPECT_EQ(GetIniValue((dir / "missing.ini").c_str(), "KEY"), "");
}

}  // namespace
