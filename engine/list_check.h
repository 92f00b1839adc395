// Why an update list was not used: for the console updater's message and the
// tests. The wizard shows "list not found" for every one of them.
#pragma once

enum class ListCheck {
    NotChecked,          // no key: the list is taken as it comes
    Verified,            // signature and claims hold
    Missing,             // the list archive could not be fetched or unpacked
    Damaged,             // its codelist.txt did not unpack whole
    NoPrivateFolder,     // no temporary folder of the updater's own
    SignatureMissing,    // the signature file could not be fetched
    SignatureMalformed,  // not a signature file
    UnknownKey,          // signed by a key that is not trusted
    BadSignature,        // the signature does not match the list archive
    ClaimsMalformed,     // the trusted comment is not one of this program's
    WrongVersion,        // signed for another version folder
    Rollback,            // older than the list the installation last recorded
    Expired,             // past its valid-until time
};

// "missing", "bad signature", ...
const char* ListCheckName(ListCheck check);

// True for the checks of a signed list (signature and claims).
bool IsTrustFailure(ListCheck check);
