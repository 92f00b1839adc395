#include "engine/item_digest.h"

#include "platform/codepage.h"

#include <cctype>

bool HasFullChecksum(const UpdateItem& item) {
    if (item.checksum.size() != 32) {
        return false;
    }
    for (char c : item.checksum) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

void CItemDigest::Update(const void* data, size_t size) { m_md5.Update(data, size); }

std::string CItemDigest::FinalMd5() { return platform::UpperLatin(DigestToHex(m_md5.Final())); }

bool DigestMatchesItem(CItemDigest& digest, const UpdateItem& item) {
    std::string md5 = digest.FinalMd5();
    if (!HasFullChecksum(item)) {
        return true;
    }
    return md5 == platform::UpperLatin(item.checksum);
}
