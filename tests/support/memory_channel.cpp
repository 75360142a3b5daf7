#include "support/memory_channel.h"

#include <algorithm>

namespace tarnwick::test {

int32_t MemoryChannel::Write(const uint8_t* data, int32_t length, int64_t tag) {
    const int index = writes++;
    if (keep) {
        writeSizes.push_back(length);
        tags.push_back(tag);
    }
    int32_t accepted = length;
    if (failed && failForGood) {
        accepted = 0;
    } else if (index == failAtWrite) {
        failed = true;
        accepted = std::min(acceptOnFail, length);
    }
    if (accepted > 0) {
        taken += accepted;
        if (keep) bytes.insert(bytes.end(), data, data + accepted);
    }
    return accepted;
}

}  // namespace tarnwick::test
