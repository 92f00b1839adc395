#include "platform/user_prompt.h"

#include <windows.h>

namespace platform {

bool AskOkCancelBox(const char* text, const char* title) {
    return MessageBoxA(nullptr, text, title, MB_OKCANCEL) == IDOK;
}

}  // namespace platform
