// PackBitsEncode against the reference encoder on the bytes as one row: the same packets,
// within the worst case, decoding back to the row.
#include <cstdio>
#include <string>

#include "support/reference_packbits.h"
#include "targets/fuzz_targets.h"

namespace tarnwick::fuzz {

int FuzzPackBits(const uint8_t* data, size_t size) {
    const std::string broken = test::CheckPackBitsEncode(std::span(data, size));
    if (!broken.empty())
        std::fprintf(stderr, "PackBitsEncode on %zu bytes: %s\n", size, broken.c_str());
    return broken.empty() ? 0 : 1;
}

}  // namespace tarnwick::fuzz
