// A response body into one local file: opened once, never through a link,
// each block written as it comes, so what has arrived is in the file.
#pragma once

#include "net/body_sink.h"
#include "platform/fs.h"

#include <string>

class CFileSink : public IBodySink {
public:
    explicit CFileSink(std::string path) : m_path(std::move(path)) {}
    bool Open() override { return m_file.Open(m_path.c_str(), platform::File::Mode::CreateAlways); }
    bool Write(const char* data, size_t size) override { return m_file.Write(data, size); }
    bool Close() override { return m_file.Close(); }

private:
    std::string m_path;
    platform::File m_file;
};
