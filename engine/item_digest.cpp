#include "engine/item_digest.h"

#include "platform/codepage.h"

#include <cctype>

namespace {

bool IsHex(const std::string& text, size_t length) {
    if (text.size() != length) {
        return false;
    }
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool HasFullChecksum(const UpdateItem& item) { return IsHex(item.checksum, 32); }

bool HasWellFormedSha256(const UpdateItem& item) {
    return item.sha256.empty() || IsHex(item.sha256, 64);
}

void CItemDigest::Update(const void* data, size_t size) {
    m_md5.Update(data, size);
    m_sha256.Update(data, size);
}

std::string CItemDigest::FinalMd5() { return platform::UpperLatin(DigestToHex(m_md5.Final())); }

std::string CItemDigest::FinalSha256() {
    return platform::UpperLatin(Sha256ToHex(m_sha256.Final()));
}

bool DigestMatchesItem(CItemDigest& digest, const UpdateItem& item) {
    std::string md5 = digest.FinalMd5();
    std::string sha256 = digest.FinalSha256();
    if (HasFullChecksum(item) && md5 != platform::UpperLatin(item.checksum)) {
        return false;
    }
    return item.sha256.empty() ||
           (HasWellFormedSha256(item) && sha256 == platform::UpperLatin(item.sha256));
}
