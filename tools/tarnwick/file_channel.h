// The host's output channel for the tool: the printer stream goes to a file, a device or stdout.
// Every write is checked; a failed one accepts fewer bytes than asked, which the driver reports
// as a failed write, and the reason is kept for the tool's own message.
//
// A regular file (or a new name) is written under a temporary name beside it and renamed over it
// only when the print completed, so a refused, failed or interrupted print leaves what was there.
// Stdout ("-"), devices and FIFOs are written in place: a printer must get the abort page end.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "host/replace_file.h"
#include "tarnwick/records.h"

namespace tarnwick::cli {

class FileChannel : public OutputChannel {
    struct Key {
        explicit Key() = default;
    };

  public:
    // Checks where the stream is to go without opening or changing anything; null with error
    // set for a folder, a read-only file or a folder that takes no new file.
    static std::unique_ptr<FileChannel> Prepare(const std::string& path, std::string& error);
    FileChannel(Key, std::string path, OutputKind kind);
    ~FileChannel() override;  // an output not finished is left as it was
    FileChannel(const FileChannel&) = delete;
    FileChannel& operator=(const FileChannel&) = delete;

    // Opens the output; writes before fail.
    bool Open(std::string& error);
    int32_t Write(const uint8_t* data, int32_t length, int64_t tag) override;
    // Ends the output. Only a complete print replaces a file; otherwise its temporary file is
    // removed. False with error set when the output failed or cannot be closed.
    bool Finish(bool complete, std::string& error);

    // Sees every byte that was written, in order.
    void SetObserver(std::function<void(std::span<const uint8_t>)> observer) {
        m_observer = std::move(observer);
    }

    uint64_t bytesWritten() const { return m_written; }
    bool failed() const { return !m_failure.empty(); }
    const std::string& failure() const { return m_failure; }
    const std::string& path() const { return m_path; }
    bool replacesFile() const { return m_kind == OutputKind::kFile; }

  private:
    std::string m_path;  // "-" for stdout
    OutputKind m_kind;
    std::unique_ptr<ReplacementFile> m_file;
    int m_fd = -1;
    bool m_owned = false;  // the descriptor is closed here
    uint64_t m_written = 0;
    std::string m_failure;
    std::function<void(std::span<const uint8_t>)> m_observer;
};

}  // namespace tarnwick::cli
