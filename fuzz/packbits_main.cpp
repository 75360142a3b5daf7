// libFuzzer entry for FuzzPackBits (targets/fuzz_targets.h): a broken invariant is a crash.
#include <cstddef>
#include <cstdint>

#include "targets/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (tarnwick::fuzz::FuzzPackBits(data, size) != 0) __builtin_trap();
    return 0;
}
