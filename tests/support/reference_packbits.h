// PackBits as the printer expects it, written the plain way: one byte at a time, straight from
// the packet rules. The oracle the fast encoder is held to by the tests, the packbits fuzz target
// and the bench's checks; it is never timed.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tarnwick::test {

// Appends the packets for one row to out.
void ReferencePackBits(std::span<const uint8_t> row, std::vector<uint8_t>& out);

// Decodes packets into out (cleared first). False on a packet that runs past the input or on
// the header 0x80, which the encoder must never produce.
bool UnpackBits(std::span<const uint8_t> packed, std::vector<uint8_t>& out);

// The fast encoder against the reference on one row: the same bytes, within the worst case (no
// byte written past it), decoding back to the row. Empty when all holds, else what broke.
std::string CheckPackBitsEncode(std::span<const uint8_t> row);

}  // namespace tarnwick::test
