// The file layer never follows a link it did not make and keeps the
// updater's working folder its own. Links are made from the POSIX side: under
// Wine they are what a Linux symbolic link looks like to a Windows program.
#include "platform/fs.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include <aclapi.h>
#include <sddl.h>
#include <windows.h>
#else
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using testsupport::FileExists;
using testsupport::FolderExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

#ifndef _WIN32

std::string Native(const std::string& path) { return platform::NativePath(path.c_str()); }

void Link(const std::string& target, const std::string& link) {
    ASSERT_EQ(symlink(Native(target).c_str(), Native(link).c_str()), 0) << link;
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(lstat(Native(path).c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

TEST(RemoveTreeTest, RemovesLinksAsLinksAndNothingOutside) {
    TempDir dir;
    std::string outside = dir / "outside";
    platform::CreateDir(outside.c_str());
    ASSERT_TRUE(WriteFileBytes(outside + "\\keep.txt", "keep"));
    std::string tree = dir / "tree";
    platform::CreateParentFolders(tree + "\\sub\\f");
    ASSERT_TRUE(WriteFileBytes(tree + "\\sub\\f", "x"));
    Link(outside, tree + "\\folder-link");
    Link(outside + "\\keep.txt", tree + "\\sub\\file-link");
    // A Linux name holding backslashes: one name, never a path upwards.
    ASSERT_TRUE(WriteFileBytes(outside + "\\x", "keep too"));
    std::string climbing = Native(tree) + "/..\\outside\\x";
    FILE* f = fopen(climbing.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fclose(f);
    ASSERT_TRUE(platform::SetDosAttributes((tree + "\\sub\\f").c_str(), platform::kAttrReadOnly));

    EXPECT_TRUE(platform::RemoveTree(tree.c_str()));
    EXPECT_FALSE(FolderExists(tree));
    EXPECT_EQ(ReadFileBytes(outside + "\\keep.txt"), "keep");
    EXPECT_EQ(ReadFileBytes(outside + "\\x"), "keep too");
}

TEST(RemoveTreeTest, ALinkInPlaceOfTheFolderIsRemovedNotFollowed) {
    TempDir dir;
    std::string outside = dir / "outside";
    platform::CreateDir(outside.c_str());
    ASSERT_TRUE(WriteFileBytes(outside + "\\keep.txt", "keep"));
    Link(outside, dir / "tree");
    EXPECT_TRUE(platform::RemoveTree((dir / "tree").c_str()));
    EXPECT_FALSE(platform::GetAttributes((dir / "tree").c_str()).exists);
    EXPECT_EQ(ReadFileBytes(outside + "\\keep.txt"), "keep");
}

TEST(FileSafetyTest, OpeningNeverGoesThroughALink) {
    TempDir dir;
    std::string outside = dir / "outside.txt";
    ASSERT_TRUE(WriteFileBytes(outside, "outside"));
    std::string link = dir / "link.txt";
    Link(outside, link);

    platform::File file;
    EXPECT_FALSE(file.Open(link.c_str(), platform::File::Mode::ReadDenyWrite));
    EXPECT_FALSE(file.Open(link.c_str(), platform::File::Mode::CreateNew));
    // CreateAlways replaces the link itself with a new file.
    ASSERT_TRUE(file.Open(link.c_str(), platform::File::Mode::CreateAlways));
    ASSERT_TRUE(file.Write("new", 3));
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(ReadFileBytes(outside), "outside");
    EXPECT_EQ(ReadFileBytes(link), "new");
    EXPECT_FALSE(platform::GetAttributes(link.c_str()).link);

    // Neither is a second name of another file written through.
    std::string second = dir / "second.txt";
    ASSERT_EQ(::link(Native(outside).c_str(), Native(second).c_str()), 0);
    ASSERT_TRUE(file.Open(second.c_str(), platform::File::Mode::CreateAlways));
    ASSERT_TRUE(file.Write("new", 3));
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(ReadFileBytes(outside), "outside");

    // Attributes and times of a link are never changed, nor its target's.
    Link(outside, dir / "link2.txt");
    ASSERT_TRUE(platform::SetDosAttributes(outside.c_str(), platform::kAttrNormal));
    mode_t before = ModeOf(outside);
    EXPECT_FALSE(platform::SetDosAttributes((dir / "link2.txt").c_str(), platform::kAttrReadOnly));
    EXPECT_EQ(ModeOf(outside), before);
    EXPECT_TRUE(platform::GetAttributes((dir / "link2.txt").c_str()).link);
}

TEST(PrivateFolderTest, MadeForTheUserAlone) {
    TempDir dir;
    std::string folder = dir / "lksupdate";
    ASSERT_TRUE(platform::MakePrivateFolder(folder.c_str()));
    EXPECT_EQ(ModeOf(folder), 0700u);
    // An own folder is kept with what it holds.
    ASSERT_TRUE(WriteFileBytes(folder + "\\fetched", "kept"));
    ASSERT_EQ(chmod(Native(folder).c_str(), 0755), 0);
    ASSERT_TRUE(platform::MakePrivateFolder(folder.c_str()));
    EXPECT_EQ(ReadFileBytes(folder + "\\fetched"), "kept");
    EXPECT_EQ(ModeOf(folder), 0700u);
}

TEST(PrivateFolderTest, AFolderOthersMayChangeIsNeverUsed) {
    struct Case {
        const char* name;
        void (*prepare)(const std::string& folder, const std::string& outside);
    };
    static const Case kCases[] = {
        {"writable by all",
         [](const std::string& folder, const std::string&) {
             platform::CreateDir(folder.c_str());
             WriteFileBytes(folder + "\\planted", "planted");
             chmod(Native(folder).c_str(), 0777);
         }},
        {"a link to another folder",
         [](const std::string& folder, const std::string& outside) {
             symlink(Native(outside).c_str(), Native(folder).c_str());
         }},
        {"a file", [](const std::string& folder,
                      const std::string&) { WriteFileBytes(folder, "not a folder"); }},
        {"owned by another user",
         [](const std::string& folder, const std::string&) {
             platform::CreateDir(folder.c_str());
             WriteFileBytes(folder + "\\planted", "planted");
             chmod(Native(folder).c_str(), 0700);
             chown(Native(folder).c_str(), geteuid() == 0 ? 65534 : geteuid(), 0);
         }},
    };
    for (const Case& c : kCases) {
        if (std::string(c.name) == "owned by another user" && geteuid() != 0) {
            continue;  // only root can give a folder away
        }
        TempDir dir;
        std::string outside = dir / "outside";
        platform::CreateDir(outside.c_str());
        ASSERT_TRUE(WriteFileBytes(outside + "\\keep.txt", "keep"));
        std::string folder = dir / "lksupdate";
        c.prepare(folder, outside);

        ASSERT_TRUE(platform::MakePrivateFolder(folder.c_str())) << c.name;
        platform::FileAttributes attrs = platform::GetAttributes(folder.c_str());
        EXPECT_TRUE(attrs.directory && !attrs.link) << c.name;
        EXPECT_EQ(ModeOf(folder), 0700u) << c.name;
        EXPECT_FALSE(FileExists(folder + "\\planted")) << c.name;
        EXPECT_FALSE(FileExists(folder + "\\keep.txt")) << c.name;
        EXPECT_EQ(ReadFileBytes(outside + "\\keep.txt"), "keep") << c.name;
    }
}

#endif

#ifdef _WIN32

// The folder's DACL as SDDL text, and whether it is protected from the
// rights of the folder above.
std::string DaclOf(const std::string& path, bool* isProtected) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL dacl = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
        return "";
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    *isProtected = (control & SE_DACL_PROTECTED) != 0;
    char* text = nullptr;
    std::string sddl;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorA(
            descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
        sddl = text;
        LocalFree(text);
    }
    LocalFree(descriptor);
    return sddl;
}

// Wine stores and reads back a folder's rights without enforcing them: what
// can be shown here is the DACL the folder gets, and that a folder granting
// others write access is never used.
TEST(PrivateFolderTest, CreatedWithRightsForTheSystemTheAdministratorsAndTheUser) {
    TempDir dir;
    std::string folder = dir / "lksupdate";
    ASSERT_TRUE(platform::MakePrivateFolder(folder.c_str()));
    bool isProtected = false;
    std::string dacl = DaclOf(folder, &isProtected);
    EXPECT_TRUE(isProtected) << dacl;
    EXPECT_NE(dacl.find(";;;SY)"), std::string::npos) << dacl;
    EXPECT_NE(dacl.find(";;;BA)"), std::string::npos) << dacl;
    EXPECT_EQ(dacl.find(";;;WD)"), std::string::npos) << dacl;  // Everyone
    EXPECT_EQ(dacl.find(";;;BU)"), std::string::npos) << dacl;  // Users
    ASSERT_TRUE(WriteFileBytes(folder + "\\fetched", "kept"));
    ASSERT_TRUE(platform::MakePrivateFolder(folder.c_str()));
    EXPECT_EQ(ReadFileBytes(folder + "\\fetched"), "kept") << "an own folder is kept";
}

TEST(PrivateFolderTest, AFolderEveryoneMayWriteIsMovedAside) {
    TempDir dir;
    std::string folder = dir / "lksupdate";
    ASSERT_TRUE(platform::CreateDir(folder.c_str()));
    ASSERT_TRUE(WriteFileBytes(folder + "\\planted", "planted"));
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
        "D:P(A;OICI;FA;;;WD)", SDDL_REVISION_1, &descriptor, nullptr));
    BOOL present = FALSE, defaulted = FALSE;
    PACL everyone = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &everyone, &defaulted));
    ASSERT_EQ(SetNamedSecurityInfoA(const_cast<char*>(folder.c_str()), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, everyone, nullptr),
              static_cast<DWORD>(ERROR_SUCCESS));
    LocalFree(descriptor);

    ASSERT_TRUE(platform::MakePrivateFolder(folder.c_str()));
    EXPECT_FALSE(FileExists(folder + "\\planted"));
    bool isProtected = false;
    EXPECT_EQ(DaclOf(folder, &isProtected).find(";;;WD)"), std::string::npos);
}

#endif

}  // namespace
