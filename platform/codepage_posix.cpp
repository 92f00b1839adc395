#include "platform/codepage.h"

namespace platform {

unsigned ActiveCodePage() { return 936; }

// GBK lead bytes.
bool IsLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

}  // namespace platform
