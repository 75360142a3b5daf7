// Copies packed pixel rows behind a run of blank pixels, for pages placed at an x offset.
#pragma once

#include <cstdint>
#include <span>

namespace tarnwick {

// Fills dest with blankBits zero bits, then the first contentBits bits of src (most significant
// bit first), then zero bits up to the end of dest. dest must hold at least
// (blankBits + contentBits + 7) / 8 bytes and src at least (contentBits + 7) / 8 bytes; bits of
// src beyond contentBits are ignored, so padding in the file never leaks into a row.
void CopyBitsAfterBlank(std::span<uint8_t> dest, std::span<const uint8_t> src, uint64_t blankBits,
                        uint64_t contentBits);

}  // namespace tarnwick
