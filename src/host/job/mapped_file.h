// MappedFile: a read-only memory mapping of a job data file that gives back the pages behind
// the read position, so that resident memory does not grow with the length of a page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tarnwick {

class MappedFile {
  public:
    // Pages behind the reader are given back in steps of this size; smaller steps would cost a
    // system call too often, larger ones would keep more of a long page resident.
    static constexpr uint64_t kReleaseStep = 4u << 20;

    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // Opens a regular file for reading. FIFOs and devices are refused: opening or reading them
    // could block.
    bool Open(const char* path, std::string& error);
    // Copies the file's first bytes into out (fewer at end of file) and sets got.
    bool ReadHead(std::span<uint8_t> out, size_t& got, std::string& error);
    // Maps the file at its current size, then closes the descriptor. Called after ReadHead so
    // that whatever the head announces was already in the file when its size was taken.
    bool Map(std::string& error);

    std::span<const uint8_t> bytes() const { return {m_base, m_size}; }

    // Tells that the reader is at this file offset; pages wholly before it are released once
    // the reader has moved kReleaseStep beyond the last release. A later read of a released
    // page just faults it in again from the file.
    void ReleaseBehind(uint64_t offset);

  private:
    int m_fd = -1;
    std::string m_path;
    const uint8_t* m_base = nullptr;
    size_t m_size = 0;
    uint64_t m_releasedUpTo = 0;  // pages below this offset were given back
    uint64_t m_pageSize = 4096;
};

}  // namespace tarnwick
