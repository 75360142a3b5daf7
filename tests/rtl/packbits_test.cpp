// PackBits: hand-written packets and the decoder's refusals (packbits.txt), the fast encoder held
// to the plain reference and to libtiff's decoder; random rows are the packbits fuzz target's.
#include "rtl/packbits.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "rtl/packbits_decode.h"
#include "rtl/packbits_scan.h"
#include "rtl/text_table.h"
#include "support/reference_packbits.h"
#include "support/rng.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using Bytes = std::vector<uint8_t>;

// No two neighbours equal.
Bytes Distinct(std::size_t count) {
    Bytes row(count);
    for (std::size_t k = 0; k < count; ++k) row[k] = static_cast<uint8_t>(k * 7 + 1);
    return row;
}

// Hex bytes of the table, "~N" standing for Distinct(N) and "~A-B" for its bytes A to B - 1.
Bytes TableBytes(const std::string& text) {
    Bytes all;
    std::istringstream items(text);
    for (std::string item; items >> item;) {
        const std::size_t dash = item.find('-');  // only in "~A-B"
        const bool range = dash != std::string::npos;
        const Bytes part = item[0] != '~' ? test::HexBytes(item)
                                          : Distinct(std::stoul(item.substr(range ? dash + 1 : 1)));
        const std::size_t from = range ? std::stoul(item.substr(1)) : 0;
        all.insert(all.end(), part.begin() + std::ptrdiff_t(from), part.end());
    }
    return all;
}

TEST(PackBits, PacketsOfTheTable) {
    for (const test::TableRow& r : test::ReadTable(__FILE__, "packbits.txt")) {
        SCOPED_TRACE(r.where);
        const Bytes in = TableBytes(r[1]);
        if (r[0] == "encode") {
            Bytes reference;
            test::ReferencePackBits(in, reference);
            EXPECT_EQ(reference, TableBytes(r[2]));
            EXPECT_EQ(test::CheckPackBitsEncode(in), "");
            continue;
        }
        ASSERT_EQ(r[0], "decode");
        const Bytes produced = TableBytes(r[4]);
        const std::size_t room = std::stoul(r[2]);
        Bytes out(room + 48, 0xA5);
        const PackBitsDecodeResult d = PackBitsDecode(in, std::span(out).first(room));
        EXPECT_EQ(std::tuple(PackBitsErrorText(d.error), d.consumed, d.produced),
                  std::tuple(r[5], std::stoul(r[3]), produced.size()));
        Bytes expected = produced;
        expected.resize(out.size(), 0xA5);  // nothing written beyond the decoded packets
        EXPECT_EQ(out, expected);
    }
}

// The span overload refuses a buffer one byte short of the worst case; the libtiff round trip
// below writes through it into buffers of exactly the worst case.
TEST(PackBitsEncode, TheSpanOverloadChecksItsBuffer) {
    Bytes out(PackBitsWorstCase(300) - 1);
    EXPECT_THROW(PackBitsEncode(out, Distinct(300)), std::length_error);
    EXPECT_EQ(PackBitsEncode(std::span<uint8_t>(), std::span<const uint8_t>()), 0u);
}

// Rows of length n whose shapes decide packet boundaries: uniform, no equal neighbours, runs of
// 1 to 4, and runs of every critical length placed at and around the 128-byte packet limits.
std::vector<Bytes> Shapes(std::size_t n) {
    std::vector<Bytes> rows = {Bytes(n, 0x00), Distinct(n)};
    Bytes runs;  // 1, 2, 3, 4, 1, ... bytes of the values 0, 1, 2, ...
    for (std::size_t len = 1, value = 0; runs.size() < n; len = len % 4 + 1, ++value)
        runs.insert(runs.end(), std::min(len, n - runs.size()), static_cast<uint8_t>(value));
    rows.push_back(runs);
    for (std::size_t at : {0, 1, 2, 3, 126, 127, 128, 129, 130, 254, 255, 256, 257}) {
        for (std::size_t run : {1, 2, 3, 4, 127, 128, 129, 130, 131, 255, 256, 257, 258}) {
            if (at >= n) continue;
            Bytes row = Distinct(n);
            std::fill_n(row.begin() + at, std::min(run, n - at), 0xEE);
            rows.push_back(row);
            // ... and after a long run, which leaves nothing or a single byte pending.
            row.assign(at, 0x00);
            row.insert(row.end(), run, 0xEE);
            for (std::size_t k = 0; row.size() < n; ++k) row.push_back(uint8_t(k * 7 + 1));
            row.resize(n);
            rows.push_back(row);
        }
    }
    return rows;
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

// Every length up to 300, and a printer's 5760, in those shapes: the reference's packets, the
// widest when no neighbours are equal; and for some lengths, with random and sparse rows too, our
// packets as the one-row strips of an 8-bit image, read back by libtiff's own decoder.
TEST(PackBitsEncode, MatchesTheReferenceAndRoundTripsThroughLibtiff) {
    test::TempDir dir;
    test::SplitMix64 rng(7);
    for (std::size_t width = 0; width <= 5760; width = width == 300 ? 5760 : width + 1) {
        std::vector<Bytes> rows = Shapes(width);
        for (std::size_t k = 0; k < rows.size(); ++k) {
            ASSERT_EQ(test::CheckPackBitsEncode(rows[k]), "")
                << "length " << width << ", shape " << k;
        }
        Bytes packed;
        test::ReferencePackBits(rows[1], packed);
        EXPECT_EQ(packed.size(), PackBitsWorstCase(width)) << "length " << width;
        if (!std::set<std::size_t>{1, 2, 3, 127, 128, 129, 300, 5760}.contains(width)) continue;
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
        packed.resize(PackBitsWorstCase(width));
        for (std::size_t k = 0; k < rows.size(); ++k) {
            const std::size_t n = PackBitsEncode(packed, rows[k]);
            ASSERT_GE(TIFFWriteRawStrip(tif, uint32_t(k), packed.data(), tmsize_t(n)), 0);
        }
        TIFFClose(tif);
        tif = TIFFOpen(path.c_str(), "r");
        ASSERT_NE(tif, nullptr);
        Bytes back(width);
        for (std::size_t k = 0; k < rows.size(); ++k) {
            ASSERT_GE(TIFFReadScanline(tif, back.data(), uint32_t(k)), 0);
            EXPECT_EQ(back, rows[k]) << "width " << width << " row " << k;
        }
        TIFFClose(tif);
    }
}

}  // namespace
}  // namespace tarnwick
