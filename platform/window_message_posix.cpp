#include "platform/window_message.h"

namespace platform {

void SendRegisteredMessageToClass(const char*, const char*) {}

}  // namespace platform
