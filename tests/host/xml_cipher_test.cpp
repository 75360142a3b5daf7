#include "host/xml_cipher.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/xml_tree.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

const std::string kPlain = "<RootElement a=\"1\"/>";

// kPlain enciphered, worked out by hand from docs/enciphered-xml.md: files already in the field
// must go on reading after any change to this code.
const std::vector<uint8_t> kEnciphered = {0x54, 0x57, 0x45, 0x4e, 0x58, 0x4d, 0x4c, 0x31, 0x14,
                                          0x00, 0x00, 0x00, 0x43, 0x5d, 0x45, 0x6d, 0x51, 0x6f,
                                          0x1a, 0x34, 0x6a, 0x86, 0xe9, 0xfc, 0x66, 0x12, 0x26,
                                          0x88, 0x2a, 0xfe, 0x2c, 0x80, 0x7d, 0xe8, 0xdd, 0x2e};

std::string Deciphered(const std::vector<uint8_t>& data, std::string& error) {
    std::vector<uint8_t> plain{'o', 'l', 'd'};
    if (!DecipherXml(data, plain, error)) {
        EXPECT_TRUE(plain.empty());
        return "<refused>";
    }
    return std::string(plain.begin(), plain.end());
}

TEST(XmlCipherTest, MatchesTheDocumentedLayout) {
    EXPECT_EQ(EncipherXml(Bytes(kPlain)), kEnciphered);
    std::string error;
    EXPECT_EQ(Deciphered(kEnciphered, error), kPlain);
}

TEST(XmlCipherTest, RoundTripsAndHidesTheText) {
    std::string big;
    for (int i = 0; i < 1000; ++i) big += "<Mode name=\"m" + std::to_string(i) + "\"/>";
    for (const std::string& plain : {std::string(), std::string("x"), big}) {
        const std::vector<uint8_t> data = EncipherXml(Bytes(plain));
        ASSERT_EQ(data.size(), plain.size() + kEncipheredHeaderBytes);
        if (!plain.empty()) {
            EXPECT_EQ(std::string(data.begin(), data.end()).find("Mode name"), std::string::npos);
        }
        std::string error;
        EXPECT_EQ(Deciphered(data, error), plain) << error;
    }
}

TEST(XmlCipherTest, RefusesPlainDamagedAndTruncatedData) {
    std::string error;
    EXPECT_EQ(Deciphered(Bytes(kPlain), error), "<refused>");
    EXPECT_EQ(error, "not an enciphered configuration file");
    EXPECT_EQ(Deciphered({}, error), "<refused>");
    EXPECT_EQ(error, "not an enciphered configuration file");

    std::vector<uint8_t> flipped = kEnciphered;
    flipped[20] ^= 0x01;
    EXPECT_EQ(Deciphered(flipped, error), "<refused>");
    EXPECT_NE(error.find("damaged (checksum mismatch)"), std::string::npos) << error;

    const std::vector<uint8_t> cut(kEnciphered.begin(), kEnciphered.end() - 1);
    EXPECT_EQ(Deciphered(cut, error), "<refused>");
    EXPECT_NE(error.find("truncated"), std::string::npos) << error;

    const std::vector<uint8_t> header(kEnciphered.begin(), kEnciphered.begin() + 10);
    EXPECT_EQ(Deciphered(header, error), "<refused>");
    EXPECT_NE(error.find("truncated"), std::string::npos) << error;

    std::vector<uint8_t> longer = kEnciphered;
    longer.push_back(0);
    EXPECT_EQ(Deciphered(longer, error), "<refused>");
    EXPECT_NE(error.find("damaged"), std::string::npos) << error;
}

TEST(XmlCipherTest, AbsurdLengthFieldIsRefusedBeforeAllocating) {
    std::vector<uint8_t> data = kEnciphered;
    data[8] = data[9] = data[10] = data[11] = 0xFF;
    std::string error;
    EXPECT_EQ(Deciphered(data, error), "<refused>");
    EXPECT_NE(error.find("truncated (20 of 4294967295 bytes)"), std::string::npos) << error;
}

class EnXmlFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = fs::path(::testing::TempDir()) / ("xml_cipher_test-" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Write(const char* name, const std::vector<uint8_t>& data) {
        const fs::path path = m_dir / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()), static_cast<long>(data.size()));
        return path.string();
    }

    fs::path m_dir;
};

TEST_F(EnXmlFileTest, LoadsEncipheredFileAndRefusesOthers) {
    AEnXMLTree tree("RootElement");
    ASSERT_NE(tree.loadFromFileEn(Write("good.enx", kEnciphered).c_str(), 1), 0)
        << tree.lastError();
    AXMLTreeNode root;
    ASSERT_NE(tree.getRootNode(root), 0);
    EXPECT_EQ(tree.getAttribute(root, "a"), "1");

    EXPECT_EQ(tree.loadFromFileEn(Write("plain.xml", Bytes(kPlain)).c_str(), 1), 0);
    EXPECT_NE(tree.lastError().find("not an enciphered configuration file"), std::string::npos);
    EXPECT_EQ(tree.getRootNode(root), 0);  // the earlier document is gone

    std::vector<uint8_t> damaged = kEnciphered;
    damaged.back() ^= 0x40;
    EXPECT_EQ(tree.loadFromFileEn(Write("damaged.enx", damaged).c_str(), 1), 0);
    EXPECT_NE(tree.lastError().find("checksum mismatch"), std::string::npos);

    EXPECT_EQ(tree.loadFromFileEn((m_dir / "missing.enx").c_str(), 1), 0);
    EXPECT_NE(tree.lastError().find("missing.enx"), std::string::npos);

    // Intact cipher around text that is not XML: the XML error comes through.
    EXPECT_EQ(tree.loadFromFileEn(Write("junk.enx", EncipherXml(Bytes("<a><b></a>"))).c_str(), 1),
              0);
    EXPECT_NE(tree.lastError().find("XML error"), std::string::npos) << tree.lastError();
}

TEST_F(EnXmlFileTest, FileFormsRoundTrip) {
    const std::string plainPath = Write("in.xml", Bytes(kPlain));
    const std::string encPath = (m_dir / "out.enx").string();
    const std::string backPath = (m_dir / "back.xml").string();
    std::string error;
    ASSERT_TRUE(EncipherFile(plainPath.c_str(), encPath.c_str(), error)) << error;
    ASSERT_TRUE(DecipherFile(encPath.c_str(), backPath.c_str(), error)) << error;
    std::ifstream back(backPath, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(back), {}), kPlain);

    EXPECT_FALSE(DecipherFile(plainPath.c_str(), backPath.c_str(), error));
    EXPECT_NE(error.find("not an enciphered"), std::string::npos);
    EXPECT_FALSE(EncipherFile((m_dir / "none").c_str(), encPath.c_str(), error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace tarnwick
