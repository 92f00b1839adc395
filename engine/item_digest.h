// The checksums of one list entry's file, computed over its bytes as they
// pass on their way somewhere (unpacked, copied, mirrored), so that what is
// checked is exactly what was written.
#pragma once

#include "engine/md5.h"
#include "engine/update_item.h"

#include <cstddef>
#include <string>

// True when the entry's MD5 is given in full: 32 hexadecimal digits.
bool HasFullChecksum(const UpdateItem& item);

class CItemDigest {
public:
    void Update(const void* data, size_t size);
    // Finishes the digest: the MD5 as 32 upper-case hex digits.
    std::string FinalMd5();

private:
    CMD5 m_md5;
};

// How an entry's listed checksums judge the bytes that went through `digest`
// (finished here). An entry without a full MD5 is not checked: true.
bool DigestMatchesItem(CItemDigest& digest, const UpdateItem& item);
