#include "platform/codepage.h"

#include <windows.h>

namespace platform {

unsigned ActiveCodePage() { return GetACP(); }

bool IsLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

}  // namespace platform
