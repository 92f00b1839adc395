// The one exception of the program: a file that the checksum cannot open or
// read. Everything else reports failure through its result.
#pragma once

#include <exception>
#include <string>
#include <utility>

class CFileException : public std::exception {
public:
    enum class Cause {
        OpenFailed,  // missing, no access, or held open for writing elsewhere
        ReadFailed,
    };

    CFileException(Cause cause, std::string fileName, unsigned long osError)
        : m_cause(cause), m_strFileName(std::move(fileName)), m_osError(osError) {}

    Cause GetCause() const { return m_cause; }
    const std::string& GetFileName() const { return m_strFileName; }
    // GetLastError / errno at the failure.
    unsigned long GetOsError() const { return m_osError; }

    const char* what() const noexcept override {
        return m_cause == Cause::OpenFailed ? "file cannot be opened" : "file cannot be read";
    }

private:
    Cause m_cause;
    std::string m_strFileName;
    unsigned long m_osError;
};
