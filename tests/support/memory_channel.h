#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tarnwick/printer_driver.h"

namespace tarnwick::test {

// The host's output channel for tests: keeps every byte it takes (or, with keep off, only counts
// them, allocating nothing), and can take fewer bytes than asked at a chosen write and, like a
// connection that has gone away, nothing after it.
class MemoryChannel : public OutputChannel {
  public:
    MemoryChannel() = default;
    // Fails at write `failAt` (0-based), taking `acceptOnFail` bytes (returned as is, so -1 and
    // 0 are failures too), and takes nothing afterwards.
    MemoryChannel(int failAt, int32_t acceptOnFail)
        : failAtWrite(failAt), acceptOnFail(acceptOnFail) {}

    int32_t Write(const uint8_t* data, int32_t length, int64_t tag) override {
        const int index = writes++;
        if (keep) {
            writeSizes.push_back(length);
            tags.push_back(tag);
        }
        int32_t accepted = length;
        if (failed) {
            accepted = 0;
        } else if (index == failAtWrite) {
            failed = true;
            accepted = std::min(acceptOnFail, length);
        }
        if (accepted > 0) taken += accepted;
        if (accepted > 0 && keep) bytes.insert(bytes.end(), data, data + accepted);
        return accepted;
    }
    std::string str() const { return {bytes.begin(), bytes.end()}; }

    std::vector<uint8_t> bytes;
    std::vector<int32_t> writeSizes;  // with keep on
    std::vector<int64_t> tags;        // with keep on
    int writes = 0;
    int64_t taken = 0;
    bool keep = true;
    int failAtWrite = -1;      // 0-based index of the write that goes short
    int32_t acceptOnFail = 0;  // bytes that write still takes
    bool failed = false;       // the failing write has happened
};

}  // namespace tarnwick::test
