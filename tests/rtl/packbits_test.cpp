// PackBits: packets written out by hand, the fast encoder held to the plain reference on the
// shapes that decide packet boundaries, a round trip through libtiff's decoder, and the decoder's
// refusals. Random rows against the reference are the packbits fuzz target's work.
#include "rtl/packbits.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "rtl/packbits_decode.h"
#include "rtl/packbits_scan.h"
#include "support/reference_packbits.h"
#include "support/rng.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// No two neighbours equal.
Bytes Distinct(std::size_t count) {
    Bytes row(count);
    for (std::size_t k = 0; k < count; ++k) row[k] = static_cast<uint8_t>(k * 7 + 1);
    return row;
}

// The fast encoder on an exact-size copy of the row (so the sanitizer sees any read past its
// end) into a worst-case buffer followed by a guard that must stay untouched.
Bytes Encode(const Bytes& row) {
    const std::size_t worst = PackBitsWorstCase(row.size());
    Bytes out(worst + 48, 0xA5);
    const int n = PackBitsEncode(out.data(), row.data(), static_cast<int>(row.size()));
    EXPECT_TRUE(n >= 0 && static_cast<std::size_t>(n) <= worst) << n << " of " << worst;
    EXPECT_TRUE(std::all_of(out.begin() + worst, out.end(), [](uint8_t b) { return b == 0xA5; }))
        << "wrote past the worst case";
    out.resize(static_cast<std::size_t>(std::max(n, 0)));
    return out;
}

TEST(PackBitsEncode, ProducesTheExpectedPackets) {
    const uint8_t c = 0x33;
    const uint8_t d = 0x44;
    const Bytes literal = Distinct(300);
    const auto part = [&](std::size_t from, std::size_t to) {
        return Bytes(literal.begin() + from, literal.begin() + to);
    };
    const std::vector<std::pair<Bytes, Bytes>> rows = {
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
        {Concat({Bytes(129, c), {d}}), {0x81, c, 0x01, c, d}},
        {Concat({Bytes(130, c), {d}}), {0x81, c, 0xFF, c, 0x00, d}},
        {Bytes(256, c), {0x81, c, 0x81, c}},
        {Bytes(257, c), {0x81, c, 0x81, c, 0x00, c}},
        {literal, Concat({{0x7F}, part(0, 128), {0x7F}, part(128, 256), {0x2B}, part(256, 300)})},
    };
    for (const auto& [in, want] : rows) {
        SCOPED_TRACE(std::to_string(in.size()) + " bytes");
        Bytes reference;
        test::ReferencePackBits(in, reference);
        EXPECT_EQ(reference, want);
        EXPECT_EQ(Encode(in), want);
    }
    // The span overload checks its buffer; a row without equal neighbours fills the worst case.
    Bytes out(PackBitsWorstCase(300));
    ASSERT_EQ(out.size(), 303u);
    EXPECT_THROW(PackBitsEncode(std::span(out).first(302), literal), std::length_error);
    ASSERT_EQ(PackBitsEncode(out, literal), 303u);
    EXPECT_EQ(out, rows.back().second);
    EXPECT_EQ(PackBitsEncode(std::span<uint8_t>(), std::span<const uint8_t>()), 0u);
}

// Rows of length n whose shapes decide packet boundaries: uniform, no equal neighbours, runs of
// 1 to 4, and runs of every critical length placed at and around the 128-byte packet limits.
std::vector<Bytes> Shapes(std::size_t n) {
    std::vector<Bytes> rows = {Bytes(n, 0x00), Distinct(n)};
    Bytes runs(n);
    for (std::size_t k = 0, left = 1, len = 1, value = 0; k < n; ++k) {
        runs[k] = static_cast<uint8_t>(value);
        if (--left == 0) {
            len = len % 4 + 1;
            left = len;
            ++value;
        }
    }
    rows.push_back(runs);
    for (std::size_t at : {0, 1, 2, 3, 126, 127, 128, 129, 130, 254, 255, 256, 257}) {
        for (std::size_t run : {1, 2, 3, 4, 127, 128, 129, 130, 131, 255, 256, 257, 258}) {
            if (at >= n) continue;
            Bytes row = Distinct(n);
            std::fill_n(row.begin() + at, std::min(run, n - at), 0xEE);
            rows.push_back(row);
            // ... and after a long run, which leaves nothing or a single byte pending.
            row = Concat({Bytes(at, 0x00), Bytes(run, 0xEE), Distinct(n)});
            row.resize(n);
            rows.push_back(row);
        }
    }
    return rows;
}

TEST(PackBitsEncode, MatchesTheReferenceForEveryShortLength) {
    for (std::size_t n = 0; n <= 300; ++n) {
        const std::vector<Bytes> rows = Shapes(n);
        for (std::size_t k = 0; k < rows.size(); ++k) {
            const std::string broken = test::CheckPackBitsEncode(rows[k]);
            ASSERT_TRUE(broken.empty()) << "length " << n << ", shape " << k << ": " << broken;
        }
        EXPECT_EQ(Encode(rows[1]).size(), PackBitsWorstCase(n)) << "length " << n;
    }
}

// The word fallback (for targets without SSE2) and the vector version agree with a byte loop;
// few symbols make equal neighbours common, and differences of 0x01 trip the usual zero-byte test.
TEST(PackBitsEncode, ScanPrimitivesAgreeWithABytewiseScan) {
    test::SplitMix64 rng(99);
    static const uint8_t kSymbols[] = {0x00, 0x01, 0x80, 0xFF};
    for (int round = 0; round < 3000; ++round) {
        Bytes row(65 + rng.Below(120));
        const std::size_t symbols = 1 + rng.Below(4);
        for (uint8_t& b : row) b = kSymbols[rng.Below(symbols)];
        const std::size_t at = rng.Below(row.size() - 64);
        uint64_t mask = 0;
        for (std::size_t k = 0; k < 64; ++k) mask |= uint64_t{row[at + k] == row[at + k + 1]} << k;
        const std::size_t n = 1 + rng.Below(row.size());
        const Bytes prefix(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(n));
        const std::size_t from = rng.Below(n + 1);
        const uint8_t c = from < n ? prefix[from] : 0;
        std::size_t end = from;
        while (end < n && prefix[end] == c) ++end;
        ASSERT_EQ(packbits_scan::portable::EqualMask64(row.data() + at), mask) << round;
        ASSERT_EQ(packbits_scan::portable::RunEnd(prefix.data(), from, n, c), end) << round;
#if defined(TARNWICK_PACKBITS_SSE2)
        ASSERT_EQ(packbits_scan::sse2::EqualMask64(row.data() + at), mask) << round;
        ASSERT_EQ(packbits_scan::sse2::RunEnd(prefix.data(), from, n, c), end) << round;
#endif
    }
}

// Our packets as the one-row strips of an 8-bit image, read back by libtiff's own decoder.
TEST(PackBitsEncode, RoundTripsThroughLibtiff) {
    test::TempDir dir;
    test::SplitMix64 rng(7);
    for (std::size_t width : {1, 2, 3, 127, 128, 129, 300, 5760}) {
        std::vector<Bytes> rows = Shapes(width);
        for (int k = 0; k < 16; ++k) {
            Bytes row(width);  // random, or sparse dots on blank
            for (uint8_t& b : row) {
                b = k % 2 ? static_cast<uint8_t>(rng.Next()) : rng.Below(16) ? 0 : 0x10;
            }
            rows.push_back(row);
        }
        const std::string path = dir.file(std::to_string(width) + ".tif");
        TIFF* tif = TIFFOpen(path.c_str(), "w");
        ASSERT_NE(tif, nullptr);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width));
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(rows.size()));
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_PACKBITS);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 1);
        Bytes packed(PackBitsWorstCase(width));
        for (std::size_t k = 0; k < rows.size(); ++k) {
            const std::size_t n = PackBitsEncode(packed, rows[k]);
            ASSERT_GE(TIFFWriteRawStrip(tif, static_cast<uint32_t>(k), packed.data(),
                                        static_cast<tmsize_t>(n)),
                      0);
        }
        TIFFClose(tif);
        tif = TIFFOpen(path.c_str(), "r");
        ASSERT_NE(tif, nullptr);
        Bytes back(width);
        for (std::size_t k = 0; k < rows.size(); ++k) {
            ASSERT_GE(TIFFReadScanline(tif, back.data(), static_cast<uint32_t>(k)), 0);
            EXPECT_EQ(back, rows[k]) << "width " << width << " row " << k;
        }
        TIFFClose(tif);
    }
}

TEST(PackBitsDecode, DecodesPacketsAndRefusesDamagedStreams) {
    struct Row {
        Bytes in;
        std::size_t room, consumed;
        Bytes produced;
        std::string error;
    };
    const Bytes literal = Distinct(128);
    const std::vector<Row> rows = {
        // literal, the no-op 0x80, the longest repeat, a short repeat, the longest literal
        {Concat({{0x00, 0x41, 0x80, 0x81, 0x42, 0xFF, 0x43, 0x7F}, literal}), 300, 136,
         Concat({{0x41}, Bytes(128, 0x42), {0x43, 0x43}, literal}), ""},
        {{0x80, 0x80}, 0, 2, {}, ""},
        {{0xFD, 0x41, 0x00, 0x42}, 5, 4, {0x41, 0x41, 0x41, 0x41, 0x42}, ""},
        {{0x02, 0x41, 0x42}, 10, 0, {}, "literal packet overruns the input"},
        {{0x00, 0x41, 0x80, 0x05, 0x41}, 10, 3, {0x41}, "literal packet overruns the input"},
        {{0xFE}, 10, 0, {}, "repeat packet overruns the input"},
        {{0xFE, 0x41, 0x81}, 10, 2, {0x41, 0x41, 0x41}, "repeat packet overruns the input"},
        {{0x02, 0x41, 0x42, 0x43}, 2, 0, {}, "literal packet overruns the output"},
        {{0xFF, 0x41, 0x81, 0x42}, 100, 2, {0x41, 0x41}, "repeat packet overruns the output"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.error + " " + std::to_string(row.in.size()));
        Bytes out(row.room + 48, 0xA5);
        const PackBitsDecodeResult r = PackBitsDecode(row.in, std::span(out).first(row.room));
        EXPECT_EQ(r.ok(), row.error.empty());
        EXPECT_EQ(PackBitsErrorText(r.error), row.error);
        EXPECT_EQ(r.consumed, row.consumed);
        ASSERT_EQ(r.produced, row.produced.size());
        EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(r.produced)),
                  row.produced);
        EXPECT_TRUE(std::all_of(out.begin() + static_cast<std::ptrdiff_t>(r.produced), out.end(),
                                [](uint8_t b) { return b == 0xA5; }))
            << "bytes written beyond the decoded packets";
    }
}

}  // namespace
}  // namespace tarnwick
