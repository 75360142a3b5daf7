// The host's output channel for the tool: the printer stream goes to a file or to stdout. Every
// write is checked; a failed one accepts fewer bytes than asked, which the driver reports as a
// failed write, and the reason is kept for the tool's own message.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "tarnwick/records.h"

namespace tarnwick::cli {

class FileChannel : public OutputChannel {
    struct Key {
        explicit Key() = default;
    };

  public:
    // "-" is stdout. Null with error set when the file cannot be made.
    static std::unique_ptr<FileChannel> Open(const std::string& path, std::string& error);
    FileChannel(Key, int fd, bool owned, std::string name);
    ~FileChannel() override;
    FileChannel(const FileChannel&) = delete;
    FileChannel& operator=(const FileChannel&) = delete;

    int32_t Write(const uint8_t* data, int32_t length, int64_t tag) override;
    // Closes the file (nothing for stdout); false with error set when that fails.
    bool Close(std::string& error);

    // Sees every byte that was written, in order.
    void SetObserver(std::function<void(std::span<const uint8_t>)> observer) {
        m_observer = std::move(observer);
    }

    uint64_t bytesWritten() const { return m_written; }
    bool failed() const { return !m_failure.empty(); }
    const std::string& failure() const { return m_failure; }
    const std::string& name() const { return m_name; }

  private:
    int m_fd;
    bool m_owned;
    std::string m_name;
    uint64_t m_written = 0;
    std::string m_failure;
    std::function<void(std::span<const uint8_t>)> m_observer;
};

}  // namespace tarnwick::cli
