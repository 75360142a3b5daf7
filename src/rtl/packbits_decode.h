#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tarnwick {

// What stopped a decode.
enum class PackBitsError {
    kNone,
    kLiteralOverrunsInput,
    kLiteralOverrunsOutput,
    kRepeatOverrunsInput,
    kRepeatOverrunsOutput,
};

// E.g. "literal packet overruns the input"; empty for kNone.
const char* PackBitsErrorText(PackBitsError error);

// Outcome of decoding a PackBits stream. consumed and produced count whole
// packets only: on an error they stop at the start of the bad packet, and
// nothing of that packet has been written.
struct PackBitsDecodeResult {
    std::size_t consumed;
    std::size_t produced;
    PackBitsError error;

    bool ok() const { return error == PackBitsError::kNone; }
    // The data would decode to more than the output holds (as opposed to being cut short).
    bool overrunsOutput() const {
        return error == PackBitsError::kLiteralOverrunsOutput ||
               error == PackBitsError::kRepeatOverrunsOutput;
    }
};

// Decodes all of in into out, for tools that examine captured and possibly
// damaged streams: never writes past out, reports a packet that overruns the
// input or the output, and skips 0x80 as a no-op packet.
PackBitsDecodeResult PackBitsDecode(std::span<const uint8_t> in, std::span<uint8_t> out);

}  // namespace tarnwick
