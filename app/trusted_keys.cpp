#include "app/trusted_keys.h"

#include "trusted_keys.inc"  // kTrustedKeyLines: one base64 key line each, generated

std::vector<MinisignPublicKey> BuiltInTrustedKeys() {
    std::vector<MinisignPublicKey> keys;
    for (const char* line : kTrustedKeyLines) {
        MinisignPublicKey key;
        if (line[0] && ParseMinisignPublicKey(line, &key)) {
            keys.push_back(key);
        }
    }
    return keys;
}
