// JobFileReader: reads a job data file with large pread calls into one reused window, so rows
// cost no system call of their own and a file that shrinks under the reader shows up as a
// failed read instead of a fault (a mapping would raise SIGBUS).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace tarnwick {

class JobFileReader {
  public:
    // Bytes fetched per refill: large enough that the system call is amortised over many rows,
    // small enough to stay in the cache and keep memory flat however long a page is.
    static constexpr size_t kWindowBytes = size_t{1} << 20;

    JobFileReader() = default;
    ~JobFileReader();
    JobFileReader(const JobFileReader&) = delete;
    JobFileReader& operator=(const JobFileReader&) = delete;

    // Opens a regular file for reading. FIFOs and devices are refused: opening or reading them
    // could block.
    bool Open(const char* path, std::string& error);
    // Copies the file's first bytes into out (fewer at end of file) and sets got.
    bool ReadHead(std::span<uint8_t> out, size_t& got, std::string& error);
    // Takes the file's size; called after ReadHead so that whatever the head announces was
    // already in the file when the size was taken. Nothing beyond it is ever read.
    bool TakeSize(std::string& error);
    uint64_t size() const { return m_size; }

    // Copies out.size() bytes at offset into out; false (with error set) when the file holds
    // fewer bytes there now.
    bool ReadExact(uint64_t offset, std::span<uint8_t> out, std::string& error);

    // n bytes at offset, valid until the next call; null when they cannot be read (error()
    // says why). Consecutive views of nearby bytes come from one refill.
    const uint8_t* View(uint64_t offset, size_t n);
    const std::string& error() const { return m_error; }

  private:
    // Reads up to out.size() bytes at offset; false unless at least need of them came.
    bool ReadAtLeast(uint64_t offset, std::span<uint8_t> out, size_t need, size_t& got,
                     std::string& error);
    bool Fill(uint64_t offset, size_t n);

    int m_fd = -1;
    std::string m_path;
    uint64_t m_size = 0;
    std::unique_ptr<uint8_t[]> m_window;
    size_t m_capacity = 0;
    uint64_t m_windowAt = 0;  // file offset of m_window[0]
    size_t m_windowLen = 0;   // valid bytes in the window
    std::string m_error;
};

}  // namespace tarnwick
