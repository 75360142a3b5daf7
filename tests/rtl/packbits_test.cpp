#include "rtl/packbits.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "rtl/packbits_decode.h"
#include "rtl/packbits_scan.h"
#include "support/reference_packbits.h"
#include "support/rng.h"

namespace tarnwick {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReferenceEncode(std::span<const uint8_t> in) {
    Bytes out;
    test::ReferencePackBits(in, out);
    return out;
}

std::string Hex(std::span<const uint8_t> bytes, std::size_t from, std::size_t count) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t k = from; k < bytes.size() && k < from + count; ++k) {
        text += kDigits[bytes[k] >> 4];
        text += kDigits[bytes[k] & 15];
        text += ' ';
    }
    return text;
}

testing::AssertionResult SameBytes(std::span<const uint8_t> got, std::span<const uint8_t> want) {
    if (std::equal(got.begin(), got.end(), want.begin(), want.end())) {
        return testing::AssertionSuccess();
    }
    const auto diff = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
    const auto at = static_cast<std::size_t>(diff.first - got.begin());
    const std::size_t from = at < 8 ? 0 : at - 8;
    return testing::AssertionFailure()
           << "sizes " << got.size() << " vs " << want.size() << ", first difference at " << at
           << "\n  got:  " << Hex(got, from, 24) << "\n  want: " << Hex(want, from, 24);
}

constexpr std::size_t kGuard = 48;
constexpr uint8_t kGuardByte = 0xA5;

// Runs the fast encoder on an exact-size copy of the row (so the sanitizer
// sees any read past its end) into a worst-case buffer followed by a guard.
testing::AssertionResult Encode(std::span<const uint8_t> in, Bytes& out) {
    const Bytes row(in.begin(), in.end());
    const std::size_t worst = PackBitsWorstCase(row.size());
    out.assign(worst + kGuard, kGuardByte);
    const int n = PackBitsEncode(out.data(), row.data(), static_cast<int>(row.size()));
    if (n < 0 || static_cast<std::size_t>(n) > worst) {
        return testing::AssertionFailure() << "produced " << n << " bytes, worst case " << worst;
    }
    if (std::any_of(out.begin() + worst, out.end(), [](uint8_t b) { return b != kGuardByte; })) {
        return testing::AssertionFailure() << "wrote past the worst-case size " << worst;
    }
    out.resize(n);
    return testing::AssertionSuccess();
}

// Fast encoder == reference, within the worst case, and decodes back to the row.
testing::AssertionResult MatchesReference(std::span<const uint8_t> in) {
    const std::string broken = test::CheckPackBitsEncode(in);
    if (broken.empty()) return testing::AssertionSuccess();
    return testing::AssertionFailure() << broken;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes Repeat(std::size_t count, uint8_t value) {
    return Bytes(count, value);
}

// No two neighbours equal.
Bytes Distinct(std::size_t count) {
    Bytes row(count);
    for (std::size_t k = 0; k < count; ++k) row[k] = static_cast<uint8_t>(k * 7 + 1);
    return row;
}

TEST(PackBitsEncode, ProducesTheExpectedPackets) {
    const uint8_t c = 0x33;
    const uint8_t d = 0x44;
    Bytes all_literal = Distinct(300);
    Bytes all_literal_packets = Concat({{0x7F},
                                        Bytes(all_literal.begin(), all_literal.begin() + 128),
                                        {0x7F},
                                        Bytes(all_literal.begin() + 128, all_literal.begin() + 256),
                                        {0x2B},
                                        Bytes(all_literal.begin() + 256, all_literal.end())});
    const std::vector<std::pair<Bytes, Bytes>> cases = {
        {{}, {}},
        {{0x07}, {0x00, 0x07}},
        {{0x41, 0x41}, {0x01, 0x41, 0x41}},
        {{0x41, 0x41, 0x41}, {0xFE, 0x41}},
        {{0x41, 0x41, 0x42}, {0xFF, 0x41, 0x00, 0x42}},
        {{0x58, 0x41, 0x41, 0x42}, {0x03, 0x58, 0x41, 0x41, 0x42}},
        {{0x41, 0x42, 0x42, 0x42}, {0x00, 0x41, 0xFE, 0x42}},
        {{0x41, 0x42, 0x42, 0x42, 0x42}, {0x00, 0x41, 0xFD, 0x42}},
        // The last two bytes never start a run of their own.
        {{0x41, 0x42, 0x43, 0x43}, {0x03, 0x41, 0x42, 0x43, 0x43}},
        {{0x41, 0x41, 0x41, 0x42, 0x42}, {0xFE, 0x41, 0x01, 0x42, 0x42}},
        {Concat({Repeat(129, c), {d}}), {0x81, c, 0x01, c, d}},
        {Concat({Repeat(130, c), {d}}), {0x81, c, 0xFF, c, 0x00, d}},
        {Repeat(256, c), {0x81, c, 0x81, c}},
        {Repeat(257, c), {0x81, c, 0x81, c, 0x00, c}},
        {all_literal, all_literal_packets},
    };
    for (const auto& [in, want] : cases) {
        SCOPED_TRACE("input " + Hex(in, 0, 8) + "(" + std::to_string(in.size()) + " bytes)");
        EXPECT_TRUE(SameBytes(ReferenceEncode(in), want));
        Bytes got;
        ASSERT_TRUE(Encode(in, got));
        EXPECT_TRUE(SameBytes(got, want));
    }
}

TEST(PackBitsEncode, SpanOverloadChecksTheBufferAgainstTheWorstCase) {
    const Bytes row = Distinct(300);
    const std::size_t worst = PackBitsWorstCase(row.size());
    ASSERT_EQ(worst, 303u);
    Bytes out(worst);
    EXPECT_THROW(PackBitsEncode(std::span(out).first(worst - 1), row), std::length_error);
    // A row without equal neighbours reaches the worst case exactly.
    ASSERT_EQ(PackBitsEncode(out, row), worst);
    EXPECT_TRUE(SameBytes(out, ReferenceEncode(row)));
    EXPECT_EQ(PackBitsEncode(std::span<uint8_t>(), std::span<const uint8_t>()), 0u);
}

// Every length up to 300 with the shapes that decide packet boundaries.
std::vector<Bytes> PatternsOfLength(std::size_t n) {
    std::vector<Bytes> rows = {Repeat(n, 0x00), Repeat(n, 0xFF), Distinct(n)};
    Bytes alternating(n);
    Bytes runs_1_to_4(n);
    for (std::size_t k = 0, left = 1, len = 1, value = 0; k < n; ++k) {
        alternating[k] = (k & 1) ? 0xAA : 0x55;
        runs_1_to_4[k] = static_cast<uint8_t>(value);
        if (--left == 0) {
            len = len % 4 + 1;
            left = len;
            ++value;
        }
    }
    rows.push_back(alternating);
    rows.push_back(runs_1_to_4);
    for (std::size_t boundary : {127, 128, 129, 130, 255, 256, 257}) {
        for (std::size_t run = 1; run <= 4; ++run) {
            // A short run at a packet boundary, after pending literal bytes ...
            for (std::size_t at : {boundary - 1, boundary}) {
                if (at >= n) continue;
                Bytes row = Distinct(n);
                std::fill_n(row.begin() + at, std::min(run, n - at), 0xEE);
                rows.push_back(row);
            }
            // ... and right after a long run, which leaves either nothing or a
            // single byte pending.
            if (boundary < n) {
                Bytes row = Concat({Repeat(boundary, 0x00), Repeat(run, 0xEE), Distinct(n)});
                row.resize(n);
                rows.push_back(row);
            }
        }
    }
    for (std::size_t before : {0, 1, 2, 3}) {
        for (std::size_t run : {2, 3, 127, 128, 129, 130, 131, 254, 255, 256, 257, 258, 259}) {
            if (before + run > n) continue;
            Bytes row = Distinct(n);
            std::fill_n(row.begin() + before, run, 0xEE);
            rows.push_back(row);
        }
    }
    uint32_t state = static_cast<uint32_t>(n) * 2654435761u + 1;
    for (int symbols : {2, 3}) {
        for (int seed = 0; seed < 4; ++seed) {
            Bytes row(n);
            for (uint8_t& b : row) {
                state = state * 1664525u + 1013904223u;
                b = static_cast<uint8_t>((state >> 24) % symbols * 0x55);
            }
            rows.push_back(row);
        }
    }
    return rows;
}

TEST(PackBitsEncode, MatchesTheReferenceForEveryShortLength) {
    for (std::size_t n = 0; n <= 300; ++n) {
        const std::vector<Bytes> rows = PatternsOfLength(n);
        for (std::size_t k = 0; k < rows.size(); ++k) {
            ASSERT_TRUE(MatchesReference(rows[k])) << "length " << n << ", pattern " << k;
        }
        Bytes out;
        ASSERT_TRUE(Encode(rows[2], out));
        EXPECT_EQ(out.size(), PackBitsWorstCase(n)) << "no equal neighbours, length " << n;
    }
}

using Rng = test::SplitMix64;

// Halftone-like content of the kinds a driver sends, 8 pixels per byte.
enum class Kind { kRandom, kFewSymbols, kSparseDots, kOrderedDither, kErrorDiffusion, kBlank };
constexpr std::size_t kRowPixels = 8 * 6000;

Bytes MakePool(Kind kind, std::size_t size, Rng& rng) {
    static const int kBayer[8][8] = {
        {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
        {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
        {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
        {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};
    Bytes pool(size);
    double error = 0;
    for (std::size_t k = 0; k < size;) {
        const std::size_t x = k * 8 % kRowPixels;
        const std::size_t y = k * 8 / kRowPixels;
        switch (kind) {
            case Kind::kRandom:
                pool[k++] = static_cast<uint8_t>(rng.Next());
                break;
            case Kind::kFewSymbols:
                pool[k++] = static_cast<uint8_t>(rng.Below(3) * 0x7F);
                break;
            case Kind::kSparseDots:
                pool[k++] = rng.Below(16) == 0 ? static_cast<uint8_t>(1u << rng.Below(8)) : 0;
                break;
            case Kind::kOrderedDither:
            case Kind::kErrorDiffusion: {
                // A smooth tone around 30% ink, steady over each byte.
                const double gray = 0.3 + 0.2 * std::sin(x / 300.0) * std::cos(y / 40.0) +
                                    0.05 * std::sin(x / 56.0);
                uint8_t byte = 0;
                for (std::size_t bit = 0; bit < 8; ++bit) {
                    bool ink;
                    if (kind == Kind::kOrderedDither) {
                        ink = gray * 64 > kBayer[y % 8][(x + bit) % 8] + 0.5;
                    } else {
                        error += gray;
                        ink = error > 0.5 + (static_cast<double>(rng.Below(256)) - 128) / 1024;
                        if (ink) error -= 1;
                    }
                    byte = static_cast<uint8_t>(byte << 1 | ink);
                }
                pool[k++] = byte;
                break;
            }
            case Kind::kBlank: {
                // Long blank stretches with short bursts of ink, sometimes solid.
                const std::size_t blank = std::min<std::size_t>(size - k, rng.Below(3000));
                k += blank;
                const std::size_t burst = std::min<std::size_t>(size - k, 1 + rng.Below(200));
                const bool solid = rng.Below(4) == 0;
                for (std::size_t b = 0; b < burst; ++b) {
                    pool[k++] = solid ? 0xFF : static_cast<uint8_t>(rng.Next() & rng.Next());
                }
                break;
            }
        }
    }
    return pool;
}

// The word fallback (for targets without SSE2) and the vector version must
// agree with a byte loop; rows are exact-size so overreads show under ASan.
TEST(PackBitsScan, WordAndVectorPrimitivesAgreeWithABytewiseScan) {
    Rng rng(99);
    for (int round = 0; round < 3000; ++round) {
        Bytes row(65 + rng.Below(120));
        // Few symbols, so equal neighbours are common; differences of 0x01
        // trip the usual (inexact) zero-byte test.
        static const uint8_t kSymbols[] = {0x00, 0x01, 0x80, 0xFF};
        const std::size_t symbols = 1 + rng.Below(4);
        for (uint8_t& b : row) b = kSymbols[rng.Below(symbols)];
        const std::size_t at = rng.Below(row.size() - 64);
        uint64_t want_mask = 0;
        for (std::size_t k = 0; k < 64; ++k) {
            want_mask |= static_cast<uint64_t>(row[at + k] == row[at + k + 1]) << k;
        }
        const std::size_t n = 1 + rng.Below(row.size());
        const Bytes prefix(row.begin(), row.begin() + n);
        const std::size_t from = rng.Below(n + 1);
        const uint8_t c = from < n ? prefix[from] : 0;
        std::size_t want_end = from;
        while (want_end < n && prefix[want_end] == c) ++want_end;

        EXPECT_EQ(packbits_scan::portable::EqualMask64(row.data() + at), want_mask);
        EXPECT_EQ(packbits_scan::portable::RunEnd(prefix.data(), from, n, c), want_end);
#if defined(TARNWICK_PACKBITS_SSE2)
        EXPECT_EQ(packbits_scan::sse2::EqualMask64(row.data() + at), want_mask);
        EXPECT_EQ(packbits_scan::sse2::RunEnd(prefix.data(), from, n, c), want_end);
#endif
        if (HasFailure()) FAIL() << "round " << round << ", n " << n << ", from " << from;
    }
}

// In-memory file for libtiff, so the round trip needs no temporary files.
struct MemoryFile {
    Bytes data;
    std::size_t pos = 0;

    static MemoryFile& Of(thandle_t h) { return *static_cast<MemoryFile*>(h); }
    static tmsize_t Read(thandle_t h, void* buf, tmsize_t size) {
        MemoryFile& f = Of(h);
        const std::size_t n =
            std::min<std::size_t>(size, f.data.size() - std::min(f.pos, f.data.size()));
        std::memcpy(buf, f.data.data() + f.pos, n);
        f.pos += n;
        return static_cast<tmsize_t>(n);
    }
    static tmsize_t Write(thandle_t h, void* buf, tmsize_t size) {
        MemoryFile& f = Of(h);
        if (f.data.size() < f.pos + size) f.data.resize(f.pos + size);
        std::memcpy(f.data.data() + f.pos, buf, size);
        f.pos += size;
        return size;
    }
    static toff_t Seek(thandle_t h, toff_t off, int whence) {
        MemoryFile& f = Of(h);
        const toff_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? f.pos : f.data.size();
        f.pos = static_cast<std::size_t>(base + off);
        return f.pos;
    }
    static int Close(thandle_t) { return 0; }
    static toff_t Size(thandle_t h) { return Of(h).data.size(); }
    static int Map(thandle_t, void**, toff_t*) { return 0; }
    static void Unmap(thandle_t, void*, toff_t) {}

    std::unique_ptr<TIFF, void (*)(TIFF*)> Open(const char* mode) {
        pos = 0;
        return {TIFFClientOpen("memory", mode, this, Read, Write, Seek, Close, Size, Map, Unmap),
                TIFFClose};
    }
};

// Stores our packets as the strips (one row each) of an 8-bit image and reads
// the rows back through libtiff's own PackBits decoder.
std::vector<Bytes> RoundTripThroughLibtiff(const std::vector<Bytes>& rows) {
    const std::size_t width = rows.front().size();
    MemoryFile file;
    {
        auto tif = file.Open("w");
        if (!tif) return {};
        TIFFSetField(tif.get(), TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width));
        TIFFSetField(tif.get(), TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(rows.size()));
        TIFFSetField(tif.get(), TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif.get(), TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif.get(), TIFFTAG_COMPRESSION, COMPRESSION_PACKBITS);
        TIFFSetField(tif.get(), TIFFTAG_ROWSPERSTRIP, 1);
        Bytes packed(PackBitsWorstCase(width));
        for (std::size_t k = 0; k < rows.size(); ++k) {
            const std::size_t n = PackBitsEncode(packed, rows[k]);
            if (TIFFWriteRawStrip(tif.get(), static_cast<uint32_t>(k), packed.data(),
                                  static_cast<tmsize_t>(n)) < 0) {
                return {};
            }
        }
    }
    std::vector<Bytes> back;
    auto tif = file.Open("r");
    if (!tif) return {};
    for (std::size_t k = 0; k < rows.size(); ++k) {
        Bytes row(width);
        if (TIFFReadScanline(tif.get(), row.data(), static_cast<uint32_t>(k)) < 0) return {};
        back.push_back(row);
    }
    return back;
}

TEST(PackBitsEncode, RoundTripsThroughLibtiff) {
    Rng rng(7);
    std::vector<Bytes> pools;
    for (Kind kind : {Kind::kRandom, Kind::kSparseDots, Kind::kOrderedDither, Kind::kBlank}) {
        pools.push_back(MakePool(kind, 1 << 16, rng));
    }
    for (std::size_t width : {1, 2, 3, 127, 128, 129, 300, 5760}) {
        std::vector<Bytes> rows = PatternsOfLength(width);
        for (const Bytes& pool : pools) {
            for (int k = 0; k < 8; ++k) {
                const std::size_t offset = rng.Below(pool.size() - width);
                rows.emplace_back(pool.begin() + offset, pool.begin() + offset + width);
            }
        }
        EXPECT_EQ(RoundTripThroughLibtiff(rows), rows) << "width " << width;
    }
}

TEST(PackBitsDecode, DecodesEveryPacketKind) {
    const Bytes in = {0x00, 0x41, 0x80, 0x81, 0x42, 0xFF, 0x43, 0x7F};
    Bytes stream = in;
    const Bytes literal = Distinct(128);
    stream.insert(stream.end(), literal.begin(), literal.end());
    Bytes out(300, 0);
    const PackBitsDecodeResult r = PackBitsDecode(stream, out);
    ASSERT_TRUE(r.ok()) << PackBitsErrorText(r.error);
    EXPECT_EQ(r.consumed, stream.size());
    const Bytes want = Concat({{0x41}, Repeat(128, 0x42), Repeat(2, 0x43), literal});
    ASSERT_EQ(r.produced, want.size());
    EXPECT_TRUE(SameBytes(std::span(out).first(r.produced), want));
}

TEST(PackBitsDecode, ReportsDamagedStreamsWithoutWritingPastTheOutput) {
    struct Case {
        Bytes in;
        std::size_t room;
        std::size_t consumed;
        std::size_t produced;
        std::string error;
    };
    const std::vector<Case> cases = {
        {{0x02, 0x41, 0x42}, 10, 0, 0, "literal packet overruns the input"},
        {{0x00, 0x41, 0x80, 0x05, 0x41}, 10, 3, 1, "literal packet overruns the input"},
        {{0xFE}, 10, 0, 0, "repeat packet overruns the input"},
        {{0xFE, 0x41, 0x81}, 10, 2, 3, "repeat packet overruns the input"},
        {{0x02, 0x41, 0x42, 0x43}, 2, 0, 0, "literal packet overruns the output"},
        {{0xFF, 0x41, 0x81, 0x42}, 100, 2, 2, "repeat packet overruns the output"},
        {{0x80, 0x80}, 0, 2, 0, ""},
        {{0xFD, 0x41, 0x00, 0x42}, 5, 4, 5, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("stream " + Hex(c.in, 0, 8));
        Bytes out(c.room + kGuard, kGuardByte);
        const PackBitsDecodeResult r = PackBitsDecode(c.in, std::span(out).first(c.room));
        EXPECT_EQ(r.ok(), c.error.empty());
        EXPECT_EQ(PackBitsErrorText(r.error), c.error);
        EXPECT_EQ(r.consumed, c.consumed);
        EXPECT_EQ(r.produced, c.produced);
        EXPECT_TRUE(std::all_of(out.begin() + c.produced, out.end(), [](uint8_t b) {
            return b == kGuardByte;
        })) << "bytes written beyond the decoded packets";
    }
}

}  // namespace
}  // namespace tarnwick
