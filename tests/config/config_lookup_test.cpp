// Which configuration file answers a setup, which child an ID picks and what the glossary
// says: the steps of lookup_cases.txt, and the single lookup steps' results.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/find_child_by_id.h"
#include "config/glossary.h"
#include "config/param_file_lookup.h"
#include "config/text_compare.h"
#include "config_test_root.h"
#include "support/scoped_env.h"

namespace tarnwick {
namespace {

using config_test::TempConfigRoot;

const char* Arg(const std::string& text) {
    return text == "(null)" ? nullptr : text.c_str();
}

std::string Pick(const std::string& children, int wanted) {
    AXMLTree tree("RootElement");
    EXPECT_NE(tree.loadXML(("<RootElement>" + children + "</RootElement>").c_str(), 1), 0);
    AXMLTreeNode root, found;
    EXPECT_NE(tree.getRootNode(root), 0);
    if (!FindChildById(tree, root, "S", wanted, found)) return "none";
    return tree.getAttribute(found, "Tag").c_str();
}

TEST(ConfigLookup, CaseTable) {
    std::optional<TempConfigRoot> root;
    std::unique_ptr<test::ScopedEnv> sample;
    std::vector<std::unique_ptr<test::ScopedEnv>> language;
    std::string drivers;
    const int steps = config_test::ForEachCase("lookup_cases.txt", [&](auto& column) {
        const std::string first = column[0];
        const std::string op = first.substr(0, first.find(' '));
        const auto rest = config_test::Split(first.substr(op.size()), '|');
        column[0] = rest.empty() ? "" : rest[0];
        if (op == "root" || op == "data") {
            sample.reset();
            root.reset();
            ClearGlossaryCache();
            if (op == "data") {
                sample =
                    std::make_unique<test::ScopedEnv>("TARNWICK_ROOT", TARNWICK_SOURCE_DATADIR);
                drivers = std::string(TARNWICK_SOURCE_DATADIR) + "/OutputDrivers/";
            } else {
                root.emplace();
                drivers = root->Path("");
            }
            return;
        }
        ASSERT_GE(column.size(), op == "lang"                                     ? 1u
                                 : op == "plain" || op == "cipher" || op == "say" ? 2u
                                                                                  : 3u);
        if (op == "plain") {
            root->WritePlain(column[0], column[1]);
        } else if (op == "cipher") {
            root->WriteEnciphered(column[0], column[1]);
        } else if (op == "dither" || op == "screen") {
            AFilePath out;
            const auto find = op == "dither" ? FindDitherParamsFile : FindScreeningParamsFile;
            EXPECT_EQ(find(Arg(column[0]), Arg(column[1]), out), 1);
            EXPECT_EQ(std::string(out.c_str()), drivers + column[2]);
        } else if (op == "pick") {
            EXPECT_EQ(Pick(column[0], std::stoi(column[1])), column[2]);
        } else if (op == "ids") {
            EXPECT_EQ(IdListContains(column[0], std::stoi(column[1])), column[2] == "1");
        } else if (op == "cmp") {
            const int sign = AsciiCaseCompare(Arg(column[0]), Arg(column[1]));
            const std::string got = sign < 0 ? "<" : sign > 0 ? ">" : "=";
            EXPECT_TRUE(column[2] == "!=" ? got != "=" : got == column[2]) << got;
        } else if (op == "lang") {
            language.clear();
            for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
                const char* value = std::string(name) == "LANG" ? column[0].c_str() : nullptr;
                language.push_back(std::make_unique<test::ScopedEnv>(name, value));
            }
            ClearGlossaryCache();
        } else if (op == "say") {
            EXPECT_EQ(Translate(column[0].c_str()), AString(column[1].c_str()));
        } else {
            FAIL() << "unknown step " << op;
        }
    });
    EXPECT_GE(steps, 110);
    ClearGlossaryCache();
}

TEST(ConfigLookup, StepResultsAndPathOnFailure) {
    TempConfigRoot root;
    const std::string list =
        root.WritePlain("list.xml",
                        "<RootElement><ManufacturerList><M Name='A' ManufactureMAPXML='a-map.xml'/>"
                        "<M Name='B' ManufactureXML='b.xml'/><M Name='C'/></ManufacturerList>"
                        "</RootElement>");
    AFilePath path("/base");
    int fromXml = 0;
    EXPECT_EQ(LookupManufacturer(AFilePath(list.c_str()), "a", path, fromXml), 1);
    EXPECT_EQ(std::string(path.c_str()), "/base/a-map.xml");
    EXPECT_EQ(fromXml, 0);

    path = "/base";
    EXPECT_EQ(LookupManufacturer(AFilePath(list.c_str()), "c", path, fromXml), 0);
    EXPECT_EQ(LookupManufacturer(AFilePath(list.c_str()), "D", path, fromXml), 0);
    EXPECT_EQ(std::string(path.c_str()), "/base");
    EXPECT_EQ(LookupManufacturer(AFilePath(list.c_str()), "B", path, fromXml), 1);
    EXPECT_EQ(fromXml, 1);

    const std::string map =
        root.WriteEnciphered("map.xml", "<RootElement><E Name='X' XMLFile='x.xml'/></RootElement>");
    path = "/base";
    EXPECT_EQ(LookupModelFile(AFilePath(map.c_str()), "Y", path), 0);
    EXPECT_EQ(LookupModelFile(AFilePath(root.Path("").c_str()), "X", path), 0);
    EXPECT_EQ(std::string(path.c_str()), "/base");

    EXPECT_EQ(HasPrinterHardware(AFilePath(root.Path("").c_str())), 0);
    const std::string hardware = config_test::Hardware("<Model ID='Default'/>");
    EXPECT_EQ(HasPrinterHardware(AFilePath(root.WriteEnciphered("h.xml", hardware).c_str())), 1);
}

}  // namespace
}  // namespace tarnwick
