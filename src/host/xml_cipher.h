// The enciphered form of configuration XML files. It only keeps the files from being read or
// edited casually; it is not protection. Layout (docs/enciphered-xml.md):
//   8 bytes  magic "TWENXML1"
//   4 bytes  length of the plain text, little-endian
//   4 bytes  CRC-32 (zlib) of the plain text, little-endian
//   n bytes  plain text XOR an xorshift64* keystream from a fixed seed
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tarnwick {

inline constexpr size_t kEncipheredHeaderBytes = 16;

// plain must be shorter than 4 GiB (the length field has 32 bits).
std::vector<uint8_t> EncipherXml(std::span<const uint8_t> plain);

// Fails (with error set, plain cleared) on anything that is not an intact enciphered file.
bool DecipherXml(std::span<const uint8_t> data, std::vector<uint8_t>& plain, std::string& error);

// File forms for the command-line tool; inputs are limited to kMaxConfigFileBytes.
bool EncipherFile(const char* inPath, const char* outPath, std::string& error);
bool DecipherFile(const char* inPath, const char* outPath, std::string& error);

}  // namespace tarnwick
