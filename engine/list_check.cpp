#include "engine/list_check.h"

const char* ListCheckName(ListCheck check) {
    switch (check) {
        case ListCheck::NotChecked: return "not checked";
        case ListCheck::Verified: return "verified";
        case ListCheck::Missing: return "the list could not be fetched";
        case ListCheck::Damaged: return "the list is damaged";
        case ListCheck::NoPrivateFolder: return "no private temporary folder";
        case ListCheck::SignatureMissing: return "the signature could not be fetched";
        case ListCheck::SignatureMalformed: return "malformed signature";
        case ListCheck::UnknownKey: return "signed by an unknown key";
        case ListCheck::BadSignature: return "bad signature";
        case ListCheck::ClaimsMalformed: return "not a list signature of this program";
        case ListCheck::WrongVersion: return "signed for another version";
        case ListCheck::Rollback: return "older than the installed list (rollback)";
        case ListCheck::Expired: return "expired";
    }
    return "unknown";
}

bool IsTrustFailure(ListCheck check) { return check >= ListCheck::SignatureMissing; }
