#include "engine/hex_text.h"

std::string LowerHex(const uint8_t* bytes, size_t count) {
    static const char kHex[] = "0123456789abcdef";
    std::string text(2 * count, '0');
    for (size_t i = 0; i < count; ++i) {
        text[2 * i] = kHex[bytes[i] >> 4];
        text[2 * i + 1] = kHex[bytes[i] & 0x0f];
    }
    return text;
}
