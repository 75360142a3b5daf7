// libFuzzer entry for the target function TARNWICK_FUZZ_ENTRY of targets/fuzz_targets.h, set
// for each fuzzer by CMake: a broken invariant is a crash.
#include <cstddef>
#include <cstdint>

#include "targets/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (tarnwick::fuzz::TARNWICK_FUZZ_ENTRY(data, size) != 0) __builtin_trap();
    return 0;
}
