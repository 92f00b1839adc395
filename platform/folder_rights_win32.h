// The rights of the updater's own working folder on Windows: what they are
// made as, and how an existing folder's rights are judged.
#pragma once

#ifdef _WIN32

#include <windows.h>

#include <string>

namespace platform {

// Full control for the system, the administrators and the user `userSid`
// ("S-1-5-..."), inherited by everything below, nothing from the folder above.
std::string PrivateFolderSddl(const std::string& userSid);

// True when the folder described is owned by `user` or the Administrators
// group and no one else may change anything in it: no allowed entry for
// another trustee (SYSTEM, Administrators, CREATOR OWNER and `user` are
// trusted) carries a right that writes, deletes or changes rights, counting
// the inherit-only entries that what is made inside would get. A null DACL
// lets everyone in.
bool IsPrivateFolderDescriptor(PSECURITY_DESCRIPTOR descriptor, PSID user);

}  // namespace platform

#endif
