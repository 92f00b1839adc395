// The file layer never follows a link it did not make and keeps the
// updater's working folder its own. Links are made from the POSIX side: under
// Wine they are what a Linux symbolic link looks like to a Windows program.
#include "platform/fs.h"

#include "platform/codepage.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include "platform/folder_rights_win32.h"

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

// A folder beside the one under test, holding keep.txt: what a planted link
// points at, and what must come through untouched.
std::string MakeOutside(const TempDir& dir) {
    std::string outside = dir / "outside";
    platform::CreateDir(outside.c_str());
    EXPECT_TRUE(WriteFileBytes(outside + "\\keep.txt", "keep"));
    return outside;
}

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
    std::string outside = MakeOutside(dir);
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
    std::string outside = MakeOutside(dir);
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
        std::string outside = MakeOutside(dir);
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

TEST(LinkFreeBelowTest, CheckedLevelsAreLookedAtOnceAndTheFileItselfAlways) {
    TempDir dir;
    std::string outside = MakeOutside(dir);
    std::string root = dir / "temp";
    platform::CreateDir(root.c_str());
    platform::CheckedFolders checked;

    // The record holds the levels with "\\" for every separator.
    auto level = [&root](const char* below) {
        return platform::ReplaceChar(root + below, '/', '\\');
    };

    ASSERT_TRUE(platform::MakeLinkFreeBelow(root, root + "\\a\\b\\f.zip", &checked));
    EXPECT_TRUE(FolderExists(root + "\\a\\b"));
    EXPECT_TRUE(checked.Holds(level("\\a")));
    EXPECT_FALSE(checked.Holds(level("\\b")));
    EXPECT_TRUE(checked.Holds(level("\\a\\b")));
    EXPECT_EQ(checked.Size(), 2u);

    // The file's own name is looked at every time: a link there is removed.
    Link(outside + "\\keep.txt", root + "\\a\\b\\g.zip");
    ASSERT_TRUE(platform::MakeLinkFreeBelow(root, root + "\\a\\b\\g.zip", &checked));
    EXPECT_FALSE(platform::GetAttributes((root + "\\a\\b\\g.zip").c_str()).exists);
    Link(outside + "\\keep.txt", root + "\\a\\b\\h");
    EXPECT_FALSE(platform::IsLinkFreeBelow(root, root + "\\a\\b\\h", &checked));

    // A level not yet checked is looked at, found a link, and made a folder.
    Link(outside, root + "\\a\\c");
    EXPECT_FALSE(platform::IsLinkFreeBelow(root, root + "\\a\\c\\x", &checked));
    EXPECT_FALSE(checked.Holds(level("\\a\\c")));
    ASSERT_TRUE(platform::MakeLinkFreeBelow(root, root + "\\a\\c\\x", &checked));
    EXPECT_TRUE(FolderExists(root + "\\a\\c"));
    EXPECT_TRUE(checked.Holds(level("\\a\\c")));
    EXPECT_TRUE(platform::IsLinkFreeBelow(root, root + "\\a\\c\\x", &checked));

    // A level the run holds as checked is not looked at again (the run's own
    // folder, which no one else may change); without the record it is.
    ASSERT_TRUE(platform::RemoveTree((root + "\\a\\b").c_str()));
    Link(outside, root + "\\a\\b");
    EXPECT_TRUE(platform::IsLinkFreeBelow(root, root + "\\a\\b\\new", &checked));
    EXPECT_FALSE(platform::IsLinkFreeBelow(root, root + "\\a\\b\\new"));
    EXPECT_EQ(ReadFileBytes(outside + "\\keep.txt"), "keep");
}

#endif

#ifdef _WIN32

// The running user's SID; the caller frees it with LocalFree.
PSID CurrentUser() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return nullptr;
    }
    char buffer[256];
    DWORD size = 0;
    PSID copy = nullptr;
    char* text = nullptr;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
        ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
        ConvertStringSidToSidA(text, &copy);
        LocalFree(text);
    }
    CloseHandle(token);
    return copy;
}

// Whether the folder's rights, as the system reads them back, are private.
bool ReadsBackPrivate(const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PSID user = CurrentUser();
    bool ok = user &&
              GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT,
                                    OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                                    nullptr, nullptr, nullptr, &descriptor) == ERROR_SUCCESS &&
              platform::IsPrivateFolderDescriptor(descriptor, user);
    LocalFree(descriptor);
    LocalFree(user);
    return ok;
}

// Gives `path` a DACL granting Everyone full control. (Wine keeps no DACL of
// its own: it shows and sets the Unix mode as one.)
bool GrantEveryone(const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
            "D:P(A;OICI;FA;;;WD)", SDDL_REVISION_1, &descriptor, nullptr)) {
        return false;
    }
    BOOL present = FALSE, defaulted = FALSE;
    PACL everyone = nullptr;
    bool set =
        GetSecurityDescriptorDacl(descriptor, &present, &everyone, &defaulted) &&
        SetNamedSecurityInfoA(const_cast<char*>(path.c_str()), SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, everyone, nullptr) == ERROR_SUCCESS;
    LocalFree(descriptor);
    return set;
}

// The judgement of a folder's rights, on descriptors made from SDDL. "UU"
// stands for the running user.
TEST(PrivateFolderTest, RightsThatLetOthersChangeTheFolderAreRefused) {
    const std::string user = "S-1-5-21-1-2-3-1001";
    struct Case {
        const char* sddl;
        bool isPrivate;
    };
    // clang-format off
    const Case cases[] = {
        {"O:UUD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;UU)", true},
        {"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", true},
        {"O:UUD:P(A;OICI;FA;;;UU)(A;;FR;;;WD)", true},          // others may only read
        {"O:UUD:P(A;OICI;FA;;;UU)(A;OICIIO;GA;;;CO)", true},    // creator owner: the maker
        {"O:UUD:P(A;OICI;FA;;;UU)(A;;FA;;;WD)", false},         // everyone
        {"O:UUD:P(A;OICI;FA;;;UU)(A;;0x2;;;BU)", false},        // users may add files
        {"O:UUD:P(A;OICI;FA;;;UU)(A;OICIIO;FA;;;BU)", false},   // ... to what is made inside
        {"O:UUD:P(A;OICI;FA;;;UU)(A;;WD;;;AU)", false},         // may change the rights
        {"O:S-1-5-21-9-9-9-1002D:P(A;OICI;FA;;;UU)", false},    // another user's folder
    };
    // clang-format on
    PSID sid = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidA(user.c_str(), &sid));
    for (const Case& c : cases) {
        std::string sddl = c.sddl;
        for (size_t at; (at = sddl.find("UU")) != std::string::npos;) {
            sddl.replace(at, 2, user);
        }
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
            sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
            << c.sddl;
        EXPECT_EQ(platform::IsPrivateFolderDescriptor(descriptor, sid), c.isPrivate) << c.sddl;
        LocalFree(descriptor);
    }
    // A null DACL lets everyone in.
    SECURITY_DESCRIPTOR open;
    ASSERT_TRUE(InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorOwner(&open, sid, FALSE));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE));
    EXPECT_FALSE(platform::IsPrivateFolderDescriptor(&open, sid));
    // What the updater makes passes its own judgement.
    PSECURITY_DESCRIPTOR made = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
        ("O:" + user + platform::PrivateFolderSddl(user)).c_str(), SDDL_REVISION_1, &made,
        nullptr));
    EXPECT_TRUE(platform::IsPrivateFolderDescriptor(made, sid));
    LocalFree(made);
    LocalFree(sid);
}

TEST(PrivateFolderTest, MadeWithRightsNoOneElseMayUse) {
    TempDir dir;
    std::string folder = dir / "lksupdate";
    ASSERT_TRUE(platform::MakePrivateFolder(folder.c_str()));
    EXPECT_TRUE(ReadsBackPrivate(folder));
    ASSERT_TRUE(WriteFileBytes(folder + "\\fetched", "kept"));
    ASSERT_TRUE(platform::MakePrivateFolder(folder.c_str()));
    EXPECT_EQ(ReadFileBytes(folder + "\\fetched"), "kept") << "an own folder is kept";
}

TEST(PrivateFolderTest, AFolderEveryoneMayWriteIsMovedAside) {
    TempDir dir;
    std::string folder = dir / "lksupdate";
    ASSERT_TRUE(platform::CreateDir(folder.c_str()));
    ASSERT_TRUE(WriteFileBytes(folder + "\\planted", "planted"));
    ASSERT_TRUE(GrantEveryone(folder));
    ASSERT_FALSE(ReadsBackPrivate(folder));

    ASSERT_TRUE(platform::MakePrivateFolder(folder.c_str()));
    EXPECT_FALSE(FileExists(folder + "\\planted"));
    EXPECT_TRUE(ReadsBackPrivate(folder));
}

#endif

// Both platforms: the folders above a file are made from the first one that
// is there, and what a run already knows is there is not looked at.
TEST(CreateParentFoldersTest, MakesOnlyTheMissingLevelsAndNotesThem) {
    TempDir dir;
    std::string base = dir / "inst";
    platform::CreateDir(base.c_str());
    ASSERT_TRUE(WriteFileBytes(base + "\\file", "a file, not a folder"));
    platform::CheckedFolders present;

    platform::CreateParentFolders(base + "\\a\\b\\c\\f.dll", &present);
    EXPECT_TRUE(FolderExists(base + "\\a\\b\\c"));
    for (const char* level : {"", "\\a", "\\a\\b", "\\a\\b\\c"}) {
        EXPECT_TRUE(present.Holds(base + level)) << level;
    }
    EXPECT_EQ(present.Size(), 4u);

    // A file where a folder should be: nothing is made below it, nor noted.
    platform::CreateParentFolders(base + "\\file\\x\\f.dll", &present);
    EXPECT_FALSE(platform::GetAttributes((base + "\\file\\x").c_str()).exists);
    EXPECT_EQ(ReadFileBytes(base + "\\file"), "a file, not a folder");
    EXPECT_EQ(present.Size(), 4u);

    // Without a record the same folders come out of a path of many levels.
    std::string deep = dir / "deep";
    for (int i = 0; i < 8; ++i) {
        deep += "\\l" + std::to_string(i);
    }
    platform::CreateParentFolders(deep + "\\f");
    ASSERT_TRUE(WriteFileBytes(deep + "\\f", "x"));
    platform::CreateParentFolders(deep + "\\f");
    EXPECT_EQ(ReadFileBytes(deep + "\\f"), "x");
}

// Attributes and last-write time, read and set through the open file in one
// call each, arrive as the separate calls give them.
TEST(FileTimesTest, AttributesAndTimeTogetherThroughTheOpenFile) {
    TempDir dir;
    const uint32_t kDos = (static_cast<uint32_t>(((2021 - 1980) << 9) | (6 << 5) | 15) << 16) |
                          ((13 << 11) | (45 << 5) | (30 / 2));
    std::string first = dir / "first.dat";
    platform::File file;
    ASSERT_TRUE(file.Open(first.c_str(), platform::File::Mode::CreateNew));
    ASSERT_TRUE(file.Write("abc", 3));
    // Read-only and the time in one step: the read-only file takes the time.
    ASSERT_TRUE(file.SetDosTimeAndAttributes(kDos, platform::kAttrReadOnly));
    ASSERT_TRUE(file.Close());
    EXPECT_TRUE(platform::GetAttributes(first.c_str()).readOnly);
    EXPECT_EQ(platform::GetFileDosTime(first.c_str()), kDos);

    uint32_t attributes = 0;
    int64_t written = 0;
    ASSERT_TRUE(file.Open(first.c_str(), platform::File::Mode::ReadDenyWrite));
    ASSERT_TRUE(file.GetDosAttributesAndWriteTime(&attributes, &written));
    int64_t alone = 0;
    uint32_t attributesAlone = 0;
    ASSERT_TRUE(file.GetWriteTime(&alone));
    ASSERT_TRUE(file.GetDosAttributes(&attributesAlone));
    EXPECT_EQ(written, alone);
    EXPECT_EQ(attributes, attributesAlone);
    EXPECT_NE(attributes & platform::kAttrReadOnly, 0u);
    ASSERT_TRUE(file.Close());

    std::string second = dir / "second.dat";
    ASSERT_TRUE(file.Open(second.c_str(), platform::File::Mode::CreateAlways));
    ASSERT_TRUE(file.SetWriteTimeAndDosAttributes(written, attributes));
    ASSERT_TRUE(file.Close());
    EXPECT_TRUE(platform::GetAttributes(second.c_str()).readOnly);
    EXPECT_EQ(platform::GetFileDosTime(second.c_str()), kDos);

    // Back to writable, the time kept.
    ASSERT_TRUE(platform::SetDosAttributes(second.c_str(), platform::kAttrNormal));
    ASSERT_TRUE(file.Open(second.c_str(), platform::File::Mode::ReadDenyWrite));
    ASSERT_TRUE(file.GetDosAttributesAndWriteTime(&attributes, &written));
    EXPECT_EQ(attributes & platform::kAttrReadOnly, 0u);
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(platform::GetFileDosTime(second.c_str()), kDos);
}

// CreateAlways makes a new file whether or not the name is taken, and an
// existing read-only file or folder stays as it is.
TEST(FileSafetyTest, CreateAlwaysReplacesAFileAndKeepsReadOnlyFilesAndFolders) {
    TempDir dir;
    struct Case {
        const char* name;
        bool existing;
        bool readOnly;
        bool folder;
        bool opens;
    };
    const Case cases[] = {
        {"new", false, false, false, true},
        {"taken", true, false, false, true},
        {"read-only", true, true, false, false},
        {"folder", false, false, true, false},
    };
    for (const Case& c : cases) {
        std::string path = dir / c.name;
        if (c.existing) {
            ASSERT_TRUE(WriteFileBytes(path, "old")) << c.name;
        }
        if (c.readOnly) {
            ASSERT_TRUE(platform::SetDosAttributes(path.c_str(), platform::kAttrReadOnly));
        }
        if (c.folder) {
            ASSERT_TRUE(platform::CreateDir(path.c_str())) << c.name;
        }
        platform::File file;
        bool opened = file.Open(path.c_str(), platform::File::Mode::CreateAlways);
        EXPECT_EQ(opened, c.opens) << c.name;
        if (opened) {
            ASSERT_TRUE(file.Write("new", 3)) << c.name;
            ASSERT_TRUE(file.Close()) << c.name;
            EXPECT_EQ(ReadFileBytes(path), "new") << c.name;
        } else if (c.folder) {
            EXPECT_TRUE(FolderExists(path)) << c.name;
        } else {
            EXPECT_EQ(ReadFileBytes(path), "old") << c.name;
        }
    }
}

}  // namespace
