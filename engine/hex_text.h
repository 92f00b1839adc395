// Bytes as hex text, the form digests take in lists and messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Two lower-case hex digits per byte, high digit first.
std::string LowerHex(const uint8_t* bytes, size_t count);
