#include "config/find_child_by_id.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

// Loads `children` under a root and gives the "Tag" attribute of the child
// FindChildById picks for `wanted`, or "none".
std::string Pick(const std::string& children, int wanted, const char* element = "S") {
    AXMLTree tree("RootElement");
    EXPECT_NE(tree.loadXML(("<RootElement>" + children + "</RootElement>").c_str(), 1), 0);
    AXMLTreeNode root;
    EXPECT_NE(tree.getRootNode(root), 0);
    AXMLTreeNode found;
    if (!FindChildById(tree, root, element, wanted, found)) return "none";
    return tree.getAttribute(found, "Tag").c_str();
}

TEST(FindChildById, ListedValueBeatsDefaultWhereverItStands) {
    const std::string siblings =
        "<S ID='Default' Tag='d'/><S ID='2,4' Tag='a'/><S ID='4' Tag='b'/>";
    EXPECT_EQ(Pick(siblings, 4), "a");
    EXPECT_EQ(Pick(siblings, 2), "a");
    EXPECT_EQ(Pick(siblings, 3), "d");
    EXPECT_EQ(Pick("<S ID='4' Tag='a'/><S ID='Default' Tag='d'/>", 4), "a");
    EXPECT_EQ(Pick("<S ID='-3, 7' Tag='a'/>", -3), "a");
    EXPECT_EQ(Pick("<S ID='-3, 7' Tag='a'/>", 7), "a");  // "%d" skips the blank
}

TEST(FindChildById, DefaultIsExactAndTheLaterOneWins) {
    EXPECT_EQ(Pick("<S ID='Default' Tag='first'/><S ID='Default' Tag='second'/>", 9), "second");
    EXPECT_EQ(Pick("<S ID='default' Tag='x'/>", 9), "none");
    EXPECT_EQ(Pick("<S ID=' Default' Tag='x'/>", 0), "none");
    EXPECT_EQ(Pick("<S Tag='no id'/>", 0), "none");
}

TEST(FindChildById, OnlyElementsOfTheNameTakePart) {
    const std::string mixed = "<Other ID='1' Tag='o'/><s ID='1' Tag='lower'/><S ID='1' Tag='s'/>";
    EXPECT_EQ(Pick(mixed, 1), "s");
    EXPECT_EQ(Pick("<SS ID='Default' Tag='x'/>", 1), "none");
    EXPECT_EQ(Pick("", 1), "none");
}

TEST(FindChildById, FieldRules) {
    EXPECT_TRUE(IdListContains("1,,3", 1));
    EXPECT_FALSE(IdListContains("1,,3", 3));  // an empty field ends the list
    EXPECT_FALSE(IdListContains(",1", 1));
    EXPECT_TRUE(IdListContains("x,2", 2));  // a field without a number matches nothing
    EXPECT_FALSE(IdListContains("x", 0));
    EXPECT_TRUE(IdListContains("7abc", 7));
    EXPECT_FALSE(IdListContains("", 0));

    // Fields are cut to 63 characters and the ID to 255.
    EXPECT_TRUE(IdListContains(std::string(62, ' ') + "5", 5));
    EXPECT_FALSE(IdListContains(std::string(63, ' ') + "5", 5));
    EXPECT_FALSE(IdListContains(std::string(254, '0') + ",8", 8));
    EXPECT_TRUE(IdListContains(std::string(253, '0') + ",8", 8));
}

}  // namespace
}  // namespace tarnwick
