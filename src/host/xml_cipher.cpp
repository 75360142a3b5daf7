#include "host/xml_cipher.h"

#include <zlib.h>

#include <algorithm>
#include <array>

#include "host/file_bytes.h"

namespace tarnwick {

namespace {

constexpr std::array<uint8_t, 8> kMagic{'T', 'W', 'E', 'N', 'X', 'M', 'L', '1'};
constexpr size_t kHeaderSize = kEncipheredHeaderBytes;  // magic, length, CRC
static_assert(kHeaderSize == kMagic.size() + 4 + 4);

// xorshift64* (Marsaglia shifts 12/25/27, Vigna's multiplier); the seed is fixed so that every
// build reads every file.
constexpr uint64_t kSeed = 0x7A3C5E91D2B4F608ULL;
constexpr uint64_t kMultiplier = 0x2545F4914F6CDD1DULL;

// XORs data in place with the keystream; the same call enciphers and deciphers.
void ApplyKeystream(std::span<uint8_t> data) {
    uint64_t state = kSeed;
    for (size_t i = 0; i < data.size(); i += 8) {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        const uint64_t word = state * kMultiplier;
        const size_t n = std::min<size_t>(8, data.size() - i);
        for (size_t k = 0; k < n; ++k) data[i + k] ^= static_cast<uint8_t>(word >> (8 * k));
    }
}

uint32_t Crc32(std::span<const uint8_t> data) {
    return static_cast<uint32_t>(crc32_z(crc32(0L, Z_NULL, 0), data.data(), data.size()));
}

void PutLE32(std::vector<uint8_t>& out, uint32_t v) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(v >> (8 * k)));
}

uint32_t GetLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

std::vector<uint8_t> EncipherXml(std::span<const uint8_t> plain) {
    std::vector<uint8_t> out(kMagic.begin(), kMagic.end());
    out.reserve(kHeaderSize + plain.size());
    PutLE32(out, static_cast<uint32_t>(plain.size()));
    PutLE32(out, Crc32(plain));
    out.insert(out.end(), plain.begin(), plain.end());
    ApplyKeystream(std::span<uint8_t>(out).subspan(kHeaderSize));
    return out;
}

bool DecipherXml(std::span<const uint8_t> data, std::vector<uint8_t>& plain, std::string& error) {
    plain.clear();
    const size_t magicSeen = std::min(data.size(), kMagic.size());
    if (data.empty() || !std::equal(data.begin(), data.begin() + magicSeen, kMagic.begin())) {
        error = "not an enciphered configuration file";
        return false;
    }
    if (data.size() < kHeaderSize) {
        error = "enciphered configuration file is truncated (incomplete header)";
        return false;
    }
    const uint64_t length = GetLE32(data.data() + kMagic.size());
    const uint32_t expectedCrc = GetLE32(data.data() + kMagic.size() + 4);
    const uint64_t available = data.size() - kHeaderSize;
    // Checked before anything is allocated: the length field alone must not size a buffer.
    if (length > available) {
        error = "enciphered configuration file is truncated (" + std::to_string(available) +
                " of " + std::to_string(length) + " bytes)";
        return false;
    }
    if (length < available) {
        error = "enciphered configuration file is damaged (" + std::to_string(available - length) +
                " bytes after the end)";
        return false;
    }
    plain.assign(data.begin() + kHeaderSize, data.end());
    ApplyKeystream(plain);
    if (Crc32(plain) != expectedCrc) {
        plain.clear();
        error = "enciphered configuration file is damaged (checksum mismatch)";
        return false;
    }
    return true;
}

bool EncipherFile(const char* inPath, const char* outPath, std::string& error) {
    std::vector<uint8_t> plain;
    if (!ReadFileBytes(inPath, kMaxConfigFileBytes, plain, error)) return false;
    return WriteFileBytes(outPath, EncipherXml(plain), error);
}

bool DecipherFile(const char* inPath, const char* outPath, std::string& error) {
    std::vector<uint8_t> data;
    if (!ReadFileBytes(inPath, kMaxConfigFileBytes + kHeaderSize, data, error)) return false;
    std::vector<uint8_t> plain;
    if (!DecipherXml(data, plain, error)) {
        error = std::string(inPath) + ": " + error;
        return false;
    }
    return WriteFileBytes(outPath, plain, error);
}

}  // namespace tarnwick
