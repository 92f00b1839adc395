// The signature file, public key and trusted comment parsers on arbitrary
// bytes: what one accepts it writes back into text that it reads the same,
// an accepted comment is the one way of writing its claims, and the check
// against a key never accepts what the parser refused.
#include "engine/list_claims.h"
#include "engine/minisign.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition) {
        abort();
    }
}

bool SameSignature(const MinisignSignature& a, const MinisignSignature& b) {
    return a.untrustedComment == b.untrustedComment && a.kind == b.kind && a.keyId == b.keyId &&
           a.signature == b.signature && a.trustedComment == b.trustedComment &&
           a.globalSignature == b.globalSignature;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);

    MinisignSignature signature;
    bool parsed = ParseMinisignSignature(text, &signature);
    if (parsed) {
        Check(size <= kMaxMinisignSignatureText);
        std::string written = FormatMinisignSignature(signature);
        MinisignSignature again;
        Check(ParseMinisignSignature(written, &again) && SameSignature(signature, again));
    }
    // Verified against the key that the signature names: a refused text stays
    // refused, an accepted one fails on these bytes or carries its comment.
    std::vector<MinisignPublicKey> trusted(1);
    if (parsed) {
        trusted[0].keyId = signature.keyId;
    }
    std::string comment;
    SignatureStatus status = VerifyMinisignSignature("data", text, trusted, &comment);
    Check(parsed || status == SignatureStatus::Malformed);
    Check(status == SignatureStatus::Ok ? comment == signature.trustedComment : comment.empty());

    MinisignPublicKey key;
    if (ParseMinisignPublicKey(text, &key)) {
        MinisignPublicKey again;
        Check(ParseMinisignPublicKey(FormatMinisignPublicKey(key), &again));
        Check(again.keyId == key.keyId && again.key == key.key);
    }

    ListClaims claims;
    if (ParseListClaims(text, &claims)) {
        Check(FormatListClaims(claims) == text);
        Check(CheckListClaims(claims, claims.version, claims.serial, 0) !=
              ClaimsVerdict::WrongVersion);
    }
    return 0;
}
