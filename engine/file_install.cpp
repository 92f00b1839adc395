#include "engine/file_install.h"

#include "platform/codepage.h"
#include "platform/fs.h"

#include <cstdint>
#include <cstdio>
#include <memory>

namespace {

// Staging names: "~lks" and eight hex digits, or, where that does not fit,
// "~" and as many hex digits as the target's own name is long less one.
constexpr char kStagingPrefix[] = "~lks";
constexpr size_t kStagingDigits = 8;
constexpr size_t kCopyBlock = 1024 * 1024;
constexpr size_t kMaxPathLength = platform::kMaxPath - 1;  // without the NUL

// FNV-1a: the same target gets the same staging name in every run, so the
// one an interrupted run left is found and replaced.
uint32_t NameHash(const std::string& name) {
    uint32_t hash = 2166136261u;
    for (unsigned char c : name) {
        hash = (hash ^ c) * 16777619u;
    }
    return hash;
}

// Copies `source` into the new file `staged`, feeding the bytes to `digest`.
bool CopyInto(platform::File& source, platform::File& staged, CItemDigest& digest) {
    std::unique_ptr<char[]> block(new char[kCopyBlock]);
    for (;;) {
        long got = source.Read(block.get(), kCopyBlock);
        if (got == 0) {
            return true;
        }
        if (got < 0 || !staged.Write(block.get(), static_cast<size_t>(got))) {
            return false;
        }
        digest.Update(block.get(), static_cast<size_t>(got));
    }
}

// The staging file, made new. One an interrupted run left behind (only this
// name, which is ours) is looked for only once the name is found taken, so
// that the usual new file costs one call.
bool OpenStaging(const std::string& staging, platform::File& out) {
    return out.Open(staging.c_str(), platform::File::Mode::CreateNew) ||
           (RemoveFileForced(staging) &&
            out.Open(staging.c_str(), platform::File::Mode::CreateNew));
}

// Writes `source` into `staging` (a new file), checked, with the source's
// attributes and last-write time.
bool Stage(const std::string& source, const std::string& staging, const StagedCheck& check) {
    platform::File in;
    platform::File out;
    if (!in.Open(source.c_str(), platform::File::Mode::ReadDenyWrite) ||
        !OpenStaging(staging, out)) {
        return false;
    }
    CItemDigest digest;
    uint32_t attributes = 0;
    int64_t written = 0;
    bool ok = CopyInto(in, out, digest) && in.GetDosAttributesAndWriteTime(&attributes, &written) &&
              out.SetWriteTimeAndDosAttributes(written, attributes);
    ok = out.Close() && ok;
    return ok && (!check || check(staging, digest));
}

}  // namespace

std::string StagingPathFor(const std::string& target) {
    size_t cut = platform::FindLastChar(target, '\\');
    if (cut == std::string::npos) {
        return std::string();
    }
    std::string folder = target.substr(0, cut + 1);
    std::string name = target.substr(cut + 1);
    char digits[16];
    snprintf(digits, sizeof digits, "%08x", NameHash(name));
    std::string staged = folder + kStagingPrefix + std::string(digits, kStagingDigits);
    if (staged.size() <= kMaxPathLength) {
        return staged;
    }
    // As long as the target itself: it fits wherever the target fits.
    if (name.size() < 2 || target.size() > kMaxPathLength) {
        return std::string();
    }
    size_t count = name.size() - 1;
    std::string hex;
    for (size_t i = 0; i < count; ++i) {
        hex += digits[i % kStagingDigits];
    }
    return folder + "~" + hex;
}

bool RemoveFileForced(const std::string& path) {
    platform::FileAttributes attrs = platform::GetAttributes(path.c_str());
    if (!attrs.exists) {
        return true;
    }
    if (attrs.readOnly) {
        platform::SetDosAttributes(path.c_str(), platform::kAttrNormal);
    }
    return platform::RemoveFile(path.c_str()) || !platform::GetAttributes(path.c_str()).exists;
}

bool InstallFile(const std::string& source, const std::string& target, const StagedCheck& check,
                 platform::CheckedFolders* folders) {
    std::string local = platform::ReplaceChar(target, '/', '\\');
    std::string staging = StagingPathFor(local);
    if (staging.empty() || staging == local) {
        return false;
    }
    platform::CreateParentFolders(local, folders);
    if (!Stage(source, staging, check)) {
        RemoveFileForced(staging);
        return false;
    }
    if (platform::MoveReplace(staging.c_str(), local.c_str())) {
        return true;
    }
    // A read-only target (an earlier update may have made it so) must not
    // block the rename; it is looked at only once the rename was refused.
    platform::FileAttributes old = platform::GetAttributes(local.c_str());
    bool cleared = old.exists && old.readOnly &&
                   platform::SetDosAttributes(local.c_str(), platform::kAttrNormal);
    if (cleared && platform::MoveReplace(staging.c_str(), local.c_str())) {
        return true;
    }
    if (cleared) {
        platform::SetDosAttributes(local.c_str(), platform::kAttrReadOnly);
    }
    RemoveFileForced(staging);
    return false;
}

bool DeleteDirectory(const std::string& path) {
    // As RemoveDirectoryA: a folder that is not there was not removed.
    return platform::GetAttributes(path.c_str()).exists && platform::RemoveTree(path.c_str());
}
