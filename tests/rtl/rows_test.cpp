// Raster rows: plane order, PackBits framing and the colour-bar strip.
#include <array>

#include "host/kv_log.h"
#include "rtl_test_support.h"
#include "support/log_capture.h"

namespace tarnwick::rtl_test {
namespace {

using namespace std::string_literals;
using Bytes = std::vector<uint8_t>;

constexpr int32_t kBufSize = 64;
constexpr int32_t kRowBytes = 31;  // 16 image pixels + 226 strip pixels at 360 dpi

// A plain PackBits decoder, the printer's side of the transfer.
Bytes Unpack(const std::string& packed) {
    Bytes out;
    for (std::size_t i = 0; i < packed.size();) {
        const auto header = static_cast<int8_t>(packed[i++]);
        if (header >= 0) {
            for (int k = 0; k <= header; ++k) out.push_back(static_cast<uint8_t>(packed[i++]));
        } else {
            out.insert(out.end(), static_cast<std::size_t>(1 - header),
                       static_cast<uint8_t>(packed[i++]));
        }
    }
    return out;
}

// A strip row: the image bytes, zeros up to kRowBytes, 0xAA over [first, last].
Bytes StripRow(Bytes image, int first, int last) {
    image.resize(kRowBytes, 0);
    for (int i = first; i <= last; ++i) image[static_cast<std::size_t>(i)] = 0xAA;
    return image;
}

class RtlRowsTest : public RtlTest {
  protected:
    // A 16-pixel page at 360 dpi; the header sets the row length with strip.
    void StartPage(const char* model, int16_t planes, uint8_t colorBar) {
        PrinterSettings& s = StartJob(model);
        s.colorBar = colorBar;
        ctx.m_nPlanes = planes;
        ctx.m_nPlaneLayout = planes == 6 ? 1 : 0;
        ctx.m_nFullWidth = 16;
        rtl->SetGeometry(360, 360, 16, 4, 0);
        rtl->SetRowBufSize(kBufSize);
        rtl->InitPlaneOrder();
        ASSERT_EQ(rtl->SendHeader(), 1);
        ASSERT_EQ(rtl->RowBytes(), kRowBytes);
        rtl->calls.clear();
        for (int i = 0; i < kMaxPlanes; ++i) {
            // Leftovers past the image must not reach the printer.
            buffers[static_cast<std::size_t>(i)].assign(kBufSize, 0xFF);
            pointers[static_cast<std::size_t>(i)] = buffers[static_cast<std::size_t>(i)].data();
        }
        std::memset(rtl->Scratch(), 0x55, kBufSize);
    }
    void SetRow(int plane, Bytes bytes) {
        std::copy(bytes.begin(), bytes.end(), buffers[static_cast<std::size_t>(plane)].begin());
        lengths[static_cast<std::size_t>(plane)] = static_cast<int32_t>(bytes.size());
    }
    int Send() { return rtl->SendAllColorData(lengths.data(), pointers.data()); }

    // The planes of the row as the printer unpacks them, and the letter that
    // ended each transfer.
    std::vector<std::pair<Bytes, char>> Planes() const {
        std::vector<std::pair<Bytes, char>> planes;
        for (std::size_t i = 0; i + 1 < rtl->calls.size(); i += 2) {
            const std::string& command = rtl->calls[i].bytes;
            const std::string& data = rtl->calls[i + 1].bytes;
            EXPECT_EQ(command, "\x1b*b" + std::to_string(data.size()) + command.back());
            planes.emplace_back(Unpack(data), command.back());
        }
        return planes;
    }

    std::array<Bytes, kMaxPlanes> buffers;
    std::array<uint8_t*, kMaxPlanes> pointers{};
    std::array<int32_t, kMaxPlanes> lengths{};
};

TEST_F(RtlRowsTest, OnePlaneWithoutColorBarIsOneTransfer) {
    StartPage("Plain", 1, 0);
    SetRow(0, {0x12, 0x34});
    ASSERT_EQ(Send(), 1);
    EXPECT_EQ(Stream(), "\x1b*b3W\x01\x12\x34");
}

TEST_F(RtlRowsTest, FourPlanesGoOutInOrderWithPackBits) {
    StartPage("Plain", 4, 0);
    SetRow(0, {0x00, 0x00, 0x00, 0x00});
    SetRow(1, {0x01, 0x02, 0x03});
    SetRow(2, {0xAA, 0xAA, 0xAB});
    SetRow(3, {0x7F});
    ASSERT_EQ(Send(), 1);
    EXPECT_EQ(Stream(),
              "\x1b*b2V\xfd\x00"
              "\x1b*b4V\x02\x01\x02\x03"
              "\x1b*b4V\xff\xaa\x00\xab"
              "\x1b*b2W\x00\x7f"s);
}

TEST_F(RtlRowsTest, SixPlanesFollowThePlaneOrder) {
    StartPage("CP52", 6, 0);
    ctx.m_nPlaneLayout = 2;  // orange before green
    rtl->InitPlaneOrder();
    for (int i = 0; i < 6; ++i) SetRow(i, {static_cast<uint8_t>(0x10 + i)});
    ASSERT_EQ(Send(), 1);
    EXPECT_EQ(Stream(),
              "\x1b*b2V\x00\x13\x1b*b2V\x00\x10\x1b*b2V\x00\x11"
              "\x1b*b2V\x00\x12\x1b*b2V\x00\x15\x1b*b2W\x00\x14"s);
}

// With w = trunc(360 * 0.07874) = 28 pixels, patch k starts at byte
// (7 + 28k) / 8 = 0, 4, 7, 11, 14, 18, 21, 25, 28 of the strip, which starts
// at byte 2 (the image row length).
TEST_F(RtlRowsTest, PureColorBarOnFourPlanesAddsTwoPatchPlanes) {
    StartPage("CP52", 4, 1);
    for (int i = 0; i < 4; ++i) SetRow(i, {static_cast<uint8_t>(i), 0x0F});
    ASSERT_EQ(Send(), 1);
    const auto planes = Planes();
    ASSERT_EQ(planes.size(), 6u);
    const std::vector<std::pair<Bytes, char>> expected = {
        {StripRow({0, 0x0F}, 9, 12), 'V'},  {StripRow({1, 0x0F}, 13, 15), 'V'},
        {StripRow({2, 0x0F}, 16, 19), 'V'}, {StripRow({3, 0x0F}, 20, 22), 'V'},
        {StripRow({0, 0}, 23, 26), 'V'},    {StripRow({0, 0}, 27, 29), 'W'},
    };
    EXPECT_EQ(planes, expected);
}

TEST_F(RtlRowsTest, MixedColorBarOnOnePlaneSharesPatchPairs) {
    StartPage("CP52", 1, 2);
    SetRow(0, {0xC3, 0x3C});
    ASSERT_EQ(Send(), 1);
    const std::vector<std::pair<Bytes, char>> expected = {
        {StripRow({0xC3, 0x3C}, 9, 15), 'V'}, {StripRow({0, 0}, 9, 15), 'V'},
        {StripRow({0, 0}, 16, 22), 'V'},      {StripRow({0, 0}, 16, 22), 'V'},
        {StripRow({0, 0}, 23, 29), 'V'},      {StripRow({0, 0}, 23, 29), 'W'},
    };
    EXPECT_EQ(Planes(), expected);
}

TEST_F(RtlRowsTest, MixedColorBarOnSixPlanesMarksByPosition) {
    StartPage("CP52", 6, 2);
    for (int i = 0; i < 6; ++i) SetRow(i, {static_cast<uint8_t>(i), 0x80});
    ASSERT_EQ(Send(), 1);
    // Order 3, 0, 1, 2, 4, 5: the patch goes with the position, not the plane.
    const std::vector<std::pair<Bytes, char>> expected = {
        {StripRow({3, 0x80}, 9, 15), 'V'},  {StripRow({0, 0x80}, 9, 15), 'V'},
        {StripRow({1, 0x80}, 16, 22), 'V'}, {StripRow({2, 0x80}, 16, 22), 'V'},
        {StripRow({4, 0x80}, 23, 29), 'V'}, {StripRow({5, 0x80}, 23, 29), 'W'},
    };
    EXPECT_EQ(Planes(), expected);
}

TEST_F(RtlRowsTest, EmptyRowSendsACountOfZero) {
    StartPage("Plain", 1, 0);
    lengths[0] = 0;
    ASSERT_EQ(Send(), 1);
    EXPECT_EQ(Stream(), "\x1b*b0W");
}

TEST_F(RtlRowsTest, ShortWritesFailThePlaneAndTheRow) {
    StartPage("Plain", 4, 0);
    for (int i = 0; i < 4; ++i) SetRow(i, {0x01, 0x02});
    rtl->failCall = 0;  // the first command
    rtl->failResult = 3;
    ASSERT_EQ(Send(), 0);
    EXPECT_EQ(rtl->calls.size(), 1u);  // plane 0 stopped after its command, and the row with it

    rtl->calls.clear();
    rtl->failCall = 1;  // the first plane's data
    rtl->failResult = 2;
    EXPECT_EQ(rtl->SendPlaneRow(0, 2, buffers[0].data(), 1), 0);
    rtl->calls.clear();
    rtl->failCall.reset();
    EXPECT_EQ(rtl->SendPlaneRow(0, 2, buffers[0].data(), 1), 1);
}

TEST_F(RtlRowsTest, RowsThatCouldOverrunABufferAreRefusedWhole) {
    ScopedLogCapture log;
    StartPage("Plain", 4, 0);
    rtl->SetRowBufSize(30000);
    Bytes big(20322, 0x5A);
    for (auto& b : buffers) b.resize(big.size());
    for (int i = 0; i < 4; ++i) {
        pointers[static_cast<std::size_t>(i)] = buffers[static_cast<std::size_t>(i)].data();
        lengths[static_cast<std::size_t>(i)] = 2;
    }
    // 20,321 bytes compress to at most 20,480: still fits.
    EXPECT_EQ(rtl->SendPlaneRow(0, 20321, big.data(), 1), 1);
    rtl->calls.clear();
    EXPECT_EQ(rtl->SendPlaneRow(0, 20322, big.data(), 1), 0);
    lengths[2] = 20322;
    EXPECT_EQ(Send(), 0);
    EXPECT_TRUE(rtl->calls.empty());
    EXPECT_EQ(log.entries().size(), 2u);
    EXPECT_NE(log.entries()[0].text.find("exceeds the command buffer"), std::string::npos);

    // A row longer than its line buffer, a strip past the line buffer, a
    // plane count the tables cannot hold.
    lengths[2] = 2;
    rtl->SetRowBufSize(10);
    lengths[1] = 11;
    EXPECT_EQ(Send(), 0);
    StartPage("CP52", 4, 1);
    rtl->SetRowBufSize(kRowBytes - 1);
    EXPECT_EQ(Send(), 0);
    EXPECT_EQ(buffers[0][5], 0xFF);  // nothing was touched
    ctx.m_nPlanes = 7;
    rtl->SetRowBufSize(kBufSize);
    EXPECT_EQ(Send(), 0);
    EXPECT_TRUE(rtl->calls.empty());
}

}  // namespace
}  // namespace tarnwick::rtl_test
