#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tarnwick {

// Outcome of decoding a PackBits stream. consumed and produced count whole
// packets only: on an error they stop at the start of the bad packet, and
// nothing of that packet has been written. error is null when ok.
struct PackBitsDecodeResult {
    std::size_t consumed;
    std::size_t produced;
    bool ok;
    const char* error;
};

// Decodes all of in into out, for tools that examine captured and possibly
// damaged streams: never writes past out, reports a packet that overruns the
// input or the output, and skips 0x80 as a no-op packet.
PackBitsDecodeResult PackBitsDecode(std::span<const uint8_t> in, std::span<uint8_t> out);

}  // namespace tarnwick
