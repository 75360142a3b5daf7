// PackBits as the printer expects it, written the plain way: one byte at a time, straight from
// the packet rules. It only checks the project's fast encoder and is never timed.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tarnwick::bench {

// Appends the packets for one row to out.
void ReferencePackBits(std::span<const uint8_t> row, std::vector<uint8_t>& out);

// Decodes packets into out (cleared first). False on a packet that runs past the input or on
// the header 0x80, which the encoder must never produce.
bool UnpackBits(std::span<const uint8_t> packed, std::vector<uint8_t>& out);

}  // namespace tarnwick::bench
