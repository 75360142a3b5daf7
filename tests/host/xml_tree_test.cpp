#include "host/xml_tree.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

const char* const kDoc =
    "<?xml version=\"1.0\"?>\n"
    "<RootElement version=\"2\">\n"
    "  <!-- comment --><?pi data?>loose text\n"
    "  <Mode name=\"draft\">fast<Extra/></Mode>\n"
    "  <Mode name=\"fine\"/>\n"
    "  <Other><![CDATA[raw <text>]]></Other>\n"
    "</RootElement>\n";

class XmlTreeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(m_tree.loadXML(kDoc, 1), 0) << m_tree.lastError();
        ASSERT_NE(m_tree.getRootNode(m_root), 0);
    }

    AXMLTree m_tree{"RootElement"};
    AXMLTreeNode m_root;
};

TEST_F(XmlTreeTest, CountsAndIndexesElementChildrenOnly) {
    EXPECT_EQ(m_tree.getName(m_root), "RootElement");
    EXPECT_EQ(m_tree.getChildCount(m_root), 3);
    AXMLTreeNode child;
    ASSERT_NE(m_tree.getChild(0, m_root, child), 0);
    EXPECT_EQ(m_tree.getAttribute(child, "name"), "draft");
    ASSERT_NE(m_tree.getChild(2, m_root, child), 0);
    EXPECT_EQ(m_tree.getName(child), "Other");
    EXPECT_EQ(m_tree.getValue(child), "raw <text>");

    // Out of range: result 0, out still the node found before.
    EXPECT_EQ(m_tree.getChild(3, m_root, child), 0);
    EXPECT_EQ(m_tree.getChild(-1, m_root, child), 0);
    EXPECT_EQ(m_tree.getName(child), "Other");
}

TEST_F(XmlTreeTest, NamedLookupFindsFirstMatchOrLeavesOutAlone) {
    AXMLTreeNode mode;
    ASSERT_NE(m_tree.getChild("Mode", m_root, mode), 0);
    EXPECT_EQ(m_tree.getAttribute(mode, "name"), "draft");
    EXPECT_EQ(m_tree.getValue(mode), "fast");
    EXPECT_EQ(m_tree.getChildCount(mode), 1);

    AXMLTreeNode out = mode;
    EXPECT_EQ(m_tree.getChild("Missing", m_root, out), 0);
    EXPECT_EQ(m_tree.getChild("mode", m_root, out), 0);  // exact name only
    EXPECT_EQ(m_tree.getChild(nullptr, m_root, out), 0);
    EXPECT_EQ(m_tree.getAttribute(out, "name"), "draft");

    EXPECT_EQ(m_tree.getAttribute(mode, "absent"), "");
    EXPECT_EQ(m_tree.getAttribute(mode, nullptr), "");
    EXPECT_EQ(m_tree.getValue(m_root).Find("loose text"), 0);  // text, yet not a child
}

TEST_F(XmlTreeTest, EmptyNodeAnswersNothing) {
    const AXMLTreeNode empty;
    AXMLTreeNode out;
    EXPECT_EQ(m_tree.getChild("Mode", empty, out), 0);
    EXPECT_EQ(m_tree.getChild(0, empty, out), 0);
    EXPECT_TRUE(out.IsEmpty());
    EXPECT_EQ(m_tree.getChildCount(empty), 0);
    EXPECT_EQ(m_tree.getName(empty), "");
    EXPECT_EQ(m_tree.getAttribute(empty, "name"), "");
    EXPECT_EQ(m_tree.getValue(empty), "");
}

TEST(XmlTreeLoadTest, BadTextIsRefusedWithAReason) {
    AXMLTree tree("RootElement");
    AXMLTreeNode root;
    for (const char* bad : {"<a><b></a>", "", "<!-- only a comment -->", "not xml at all",
                            "<a attr=\"unterminated></a>", "\x01\x02\xff\xfe<"}) {
        EXPECT_EQ(tree.loadXML(bad, 1), 0) << bad;
        EXPECT_FALSE(tree.lastError().empty()) << bad;
        EXPECT_EQ(tree.getRootNode(root), 0) << bad;
    }
    EXPECT_EQ(tree.loadXML(nullptr, 1), 0);
    ASSERT_NE(tree.loadXML("<Other/>", 1), 0);  // the root name is not checked
    EXPECT_TRUE(tree.lastError().empty());
}

TEST(XmlTreeLoadTest, EntityBombStaysSmall) {
    std::string bomb = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">";
    for (int i = 1; i < 10; ++i) {
        bomb += "<!ENTITY lol" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k)
            bomb += "&lol" + (i == 1 ? std::string() : std::to_string(i - 1)) + ";";
        bomb += "\">";
    }
    bomb += "]><RootElement>&lol9;</RootElement>";
    AXMLTree tree("RootElement");
    AXMLTreeNode root;
    if (tree.loadXML(bomb.c_str(), 1) != 0 && tree.getRootNode(root) != 0) {
        EXPECT_LT(tree.getValue(root).GetLength(), 100);
    }
}

TEST(XmlTreeLoadTest, DeepNestingLoadsWithoutRecursion) {
    constexpr int kDepth = 10000;
    std::string deep;
    for (int i = 0; i < kDepth; ++i) deep += "<n>";
    for (int i = 0; i < kDepth; ++i) deep += "</n>";
    AXMLTree tree("RootElement");
    ASSERT_NE(tree.loadXML(deep.c_str(), 1), 0) << tree.lastError();
    AXMLTreeNode node;
    ASSERT_NE(tree.getRootNode(node), 0);
    int depth = 1;
    while (tree.getChild(0, node, node) != 0) ++depth;
    EXPECT_EQ(depth, kDepth);
}

class XmlTreeFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = fs::path(::testing::TempDir()) / ("xml_tree_test-" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    fs::path m_dir;
};

TEST_F(XmlTreeFileTest, LoadsFilesAndExplainsFailures) {
    std::ofstream(m_dir / "ok.xml") << kDoc;
    AXMLTree tree("RootElement");
    ASSERT_NE(tree.loadFromFile((m_dir / "ok.xml").c_str(), 1), 0) << tree.lastError();
    AXMLTreeNode root;
    ASSERT_NE(tree.getRootNode(root), 0);
    EXPECT_EQ(tree.getAttribute(root, "version"), "2");

    EXPECT_EQ(tree.loadFromFile((m_dir / "missing.xml").c_str(), 1), 0);
    EXPECT_NE(tree.lastError().find("missing.xml"), std::string::npos);
    EXPECT_EQ(tree.getRootNode(root), 0);
    EXPECT_EQ(tree.loadFromFile(m_dir.c_str(), 1), 0);  // a folder
    EXPECT_FALSE(tree.lastError().empty());
    EXPECT_EQ(tree.loadFromFile(nullptr, 1), 0);

    std::ofstream(m_dir / "broken.xml") << "<RootElement><a></RootElement>";
    EXPECT_EQ(tree.loadFromFile((m_dir / "broken.xml").c_str(), 1), 0);
    EXPECT_NE(tree.lastError().find("broken.xml"), std::string::npos);
}

TEST_F(XmlTreeFileTest, RefusesFilesOver64MiB) {
    const fs::path huge = m_dir / "huge.xml";
    const int fd = ::open(huge.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 64 * 1024 * 1024 + 1), 0);  // sparse: costs no disk space
    ::close(fd);
    AXMLTree tree("RootElement");
    EXPECT_EQ(tree.loadFromFile(huge.c_str(), 1), 0);
    EXPECT_NE(tree.lastError().find("larger than the limit of 64 MiB"), std::string::npos)
        << tree.lastError();
}

}  // namespace
}  // namespace tarnwick
