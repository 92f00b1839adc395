// The office suite's registry key below HKEY_LOCAL_MACHINE: text values read
// and written, never a key created. Exported for the suite's other programs.
#pragma once

#include "platform/export.h"

constexpr int kRegSectionSize = 1024;      // the key path, NUL included
constexpr int kRegValueBufferSize = 1024;  // what GetRegValue's caller supplies

class LKS_EXPORT CSysRegInfo {
public:
    CSysRegInfo();
    CSysRegInfo(const CSysRegInfo& other);
    CSysRegInfo& operator=(const CSysRegInfo& other);
    virtual ~CSysRegInfo();

    // The key path below HKEY_LOCAL_MACHINE (at most 1023 characters kept).
    void SetRegSection(char* section);
    // Kept for callers of the suite; does nothing.
    void InitRegKeys(char* unused);
    // Stores `text` as a REG_SZ value; false when the key does not exist.
    bool SetRegValue(char* name, char* text);
    // Stores the number as decimal text.
    bool SetRegInt(char* name, int value);
    // Reads a value into `buffer` (kRegValueBufferSize bytes) as NUL-terminated text.
    bool GetRegValue(char* name, char* buffer);
    // The value's leading decimal number (0 without one); -1 when it cannot be read.
    int GetRegInt(char* name);
    // Removes the named value (not a key).
    void DeleteKey(char* name);

    char m_szSection[kRegSectionSize];
};
