// The checksums of one list entry's file, computed over its bytes as they
// pass on their way somewhere (unpacked, copied, mirrored), so that what is
// checked is exactly what was written.
#pragma once

#include "engine/md5.h"
#include "engine/sha256.h"
#include "engine/update_item.h"

#include <cstddef>
#include <string>

// True when the entry's MD5 is given in full: 32 hexadecimal digits.
bool HasFullChecksum(const UpdateItem& item);
// True when the entry has no SHA-256, or one of 64 hexadecimal digits.
bool HasWellFormedSha256(const UpdateItem& item);

class CItemDigest {
public:
    void Update(const void* data, size_t size);
    // Finishes the digest: the MD5 as 32 upper-case hex digits.
    std::string FinalMd5();
    // Finishes the digest: the SHA-256 as 64 upper-case hex digits.
    std::string FinalSha256();

private:
    CMD5 m_md5;
    CSha256 m_sha256;
};

// How an entry's listed checksums judge the bytes that went through `digest`
// (finished here): its MD5 when it gives one in full, its SHA-256 when it
// gives one (a malformed one matches nothing). An entry with neither is not
// checked: true.
bool DigestMatchesItem(CItemDigest& digest, const UpdateItem& item);
