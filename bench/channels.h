// Output channels for the measurements: one that only counts, one that keeps everything (for the
// checks), one that writes a file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tarnwick/records.h"

namespace tarnwick::bench {

class CountingChannel : public OutputChannel {
  public:
    int32_t Write(const uint8_t*, int32_t length, int64_t) override {
        bytes += length;
        ++writes;
        return length;
    }
    int64_t bytes = 0;
    int64_t writes = 0;
};

class KeepingChannel : public OutputChannel {
  public:
    int32_t Write(const uint8_t* data, int32_t length, int64_t) override {
        bytes.insert(bytes.end(), data, data + length);
        return length;
    }
    std::vector<uint8_t> bytes;
};

// Writes straight to a file descriptor; the driver's own buffer decides the write sizes.
class FileChannel : public OutputChannel {
  public:
    // Creates or truncates path; ok() tells whether that worked.
    explicit FileChannel(const std::string& path);
    ~FileChannel() override;
    FileChannel(const FileChannel&) = delete;
    FileChannel& operator=(const FileChannel&) = delete;

    bool ok() const { return m_fd >= 0 && !m_failed; }
    int32_t Write(const uint8_t* data, int32_t length, int64_t tag) override;
    int64_t bytes() const { return m_bytes; }
    int64_t writes() const { return m_writes; }

  private:
    int m_fd = -1;
    bool m_failed = false;
    int64_t m_bytes = 0;
    int64_t m_writes = 0;
};

}  // namespace tarnwick::bench
