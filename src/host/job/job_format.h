// Layout of the job data file shared by the writer and the reader; docs/job-data-format.md has
// the byte tables. All numbers are little-endian whatever the machine.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarnwick::job_format {

inline constexpr std::array<uint8_t, 8> kFileMagic = {'T', 'W', 'J', 'O', 'B', 'D', 'A', 'T'};
inline constexpr uint32_t kVersion = 1;
inline constexpr uint32_t kFileHeaderSize = 64;
// Room for later versions to grow the header; anything larger is damage.
inline constexpr uint32_t kMaxFileHeaderSize = 4096;

inline constexpr size_t kFileVersionAt = 8;
inline constexpr size_t kFileHeaderSizeAt = 12;
// The four counts sit side by side so that the writer updates them with one write.
inline constexpr size_t kCountsAt = 16;
inline constexpr size_t kCountsSize = 16;

inline constexpr std::array<uint8_t, 4> kPageMagic = {'T', 'W', 'P', 'G'};
inline constexpr uint32_t kPageFixedSize = 32;
inline constexpr size_t kPageWidthAt = 4;
inline constexpr size_t kPageHeightAt = 8;
inline constexpr size_t kPageOffsetXAt = 12;
inline constexpr size_t kPageOffsetYAt = 16;
inline constexpr size_t kPageColorantCountAt = 20;
inline constexpr size_t kPageRowBytesAt = 24;

inline constexpr uint32_t kNameFieldSize = 64;  // a name of at most 63 bytes and its NUL
inline constexpr uint32_t kColorantEntrySize = 4 + kNameFieldSize;

// Anything beyond these is damage, not a job: they keep every size computation far from
// overflow and every allocation sane.
inline constexpr int32_t kMaxWidth = 1'000'000;
inline constexpr int32_t kMaxHeight = 10'000'000;
inline constexpr int32_t kMaxColorants = 64;
inline constexpr int32_t kMaxPages = 1'000'000;

struct JobCounts {
    int32_t writing = 0;
    int32_t writePage = 0;
    int32_t writeRows = 0;
    int32_t jobPages = 0;
};

inline bool IsValidBitsPerPixel(int64_t bits) {
    return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16;
}

// Bytes of one packed row; callers keep width and bits within the limits above.
inline uint64_t PackedRowBytes(int64_t width, int64_t bitsPerPixel) {
    return static_cast<uint64_t>((width * bitsPerPixel + 7) / 8);
}

inline uint32_t LoadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline int32_t LoadI32(const uint8_t* p) {
    return static_cast<int32_t>(LoadU32(p));
}

inline void StoreU32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

inline void StoreI32(uint8_t* p, int32_t v) {
    StoreU32(p, static_cast<uint32_t>(v));
}

inline JobCounts LoadCounts(const uint8_t* p) {
    return {LoadI32(p), LoadI32(p + 4), LoadI32(p + 8), LoadI32(p + 12)};
}

inline std::array<uint8_t, kCountsSize> EncodeCounts(const JobCounts& c) {
    std::array<uint8_t, kCountsSize> out{};
    StoreI32(out.data(), c.writing);
    StoreI32(out.data() + 4, c.writePage);
    StoreI32(out.data() + 8, c.writeRows);
    StoreI32(out.data() + 12, c.jobPages);
    return out;
}

}  // namespace tarnwick::job_format
