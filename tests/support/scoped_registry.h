// Registry keys for one test. On POSIX the store's root moves to a fresh
// folder for the test's lifetime; on Windows the keys the test creates below
// HKEY_LOCAL_MACHINE are deleted with their values afterwards.
#pragma once

#include "support/temp_dir.h"

#include <string>
#include <vector>

namespace testsupport {

class ScopedRegistry {
public:
    ScopedRegistry();
    ~ScopedRegistry();
    ScopedRegistry(const ScopedRegistry&) = delete;
    ScopedRegistry& operator=(const ScopedRegistry&) = delete;

    // Creates the key (and its parents) and deletes it when the test ends.
    bool CreateKey(const std::string& subkey);
    // Creates the key if needed and stores a text value with its NUL.
    bool SetText(const std::string& subkey, const std::string& name, const std::string& text);

private:
    TempDir m_root;
    std::string m_previousRoot;
    std::vector<std::string> m_created;
};

// The suite's own key.
constexpr char kSuiteKey[] = "Software\\Larkspan Office";

}  // namespace testsupport
