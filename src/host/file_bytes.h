// Whole-file reads and writes with a size limit, for the XML readers and the cipher tool.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tarnwick {

// Largest configuration file the readers accept: far above any real one, small enough that a
// wrong path (a disk image, a device) cannot exhaust memory.
inline constexpr size_t kMaxConfigFileBytes = 64u * 1024u * 1024u;

// Reads the whole regular file at path, without waiting on a FIFO. Fails with a message naming the
// path when it cannot be opened or read, is not a regular file, or holds more than maxBytes bytes.
bool ReadFileBytes(const char* path, size_t maxBytes, std::vector<uint8_t>& out,
                   std::string& error);

// Writes data to path, replacing its content: beside it first, then renamed over it, so a failed
// write leaves the old file; a path that names no regular file is refused.
bool WriteFileBytes(const char* path, std::span<const uint8_t> data, std::string& error);

}  // namespace tarnwick
