#include "tools/publish/list_signer.h"

#include "engine/list_claims.h"
#include "engine/minisign.h"
#include "tools/publish/key_files.h"
#include "tools/publish/name_rules.h"
#include "tools/publish/publish_paths.h"

namespace publish {

bool ServedSerial(const std::string& versionFolder, std::optional<uint64_t>* serial,
                  std::string* error) {
    serial->reset();
    std::string path = JoinPath(versionFolder, kListSignatureName);
    std::string text;
    bool missing = false;
    if (!ReadSmallFile(path, kMaxMinisignSignatureText, &text, error, &missing)) {
        return missing;
    }
    MinisignSignature signature;
    ListClaims claims;
    if (!ParseMinisignSignature(text, &signature) ||
        !ParseListClaims(signature.trustedComment, &claims)) {
        *error = "the served signature " + Printable(path) +
                 " holds no serial; give the next one with --serial";
        return false;
    }
    *serial = claims.serial;
    return true;
}

bool SignListArchive(const std::string& treeDir, const std::string& version,
                     const ListSigning& signing, uint64_t serial, std::string* error) {
    ListClaims claims;
    claims.version = version;
    claims.serial = serial;
    if (signing.validDays > 0) {
        claims.validUntil = signing.now + static_cast<int64_t>(signing.validDays) * 86400;
    }
    std::string comment = FormatListClaims(claims);
    ListClaims readBack;
    if (!ParseListClaims(comment, &readBack)) {
        *error = "the version name \"" + Printable(version) + "\" cannot be signed";
        return false;
    }
    std::string archive;
    if (!ReadSmallFile(JoinPath(treeDir, "codelist.txt.zip"), kMaxListArchive, &archive, error)) {
        return false;
    }
    std::string signature = SignMinisign(*signing.key, archive, comment);
    return WriteNewFile(JoinPath(treeDir, kListSignatureName), signature, false, error);
}

}  // namespace publish
