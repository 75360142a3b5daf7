#include "config/param_file_lookup.h"

#include <gtest/gtest.h>

#include <string>

#include "config/text_compare.h"
#include "config_test_root.h"

namespace tarnwick {
namespace {

using config_test::Hardware;
using config_test::TempConfigRoot;

const std::string kHardware = Hardware("<Model ID='Default'/>");

std::string ManufacturerList(const std::string& entries) {
    return "<RootElement><ManufacturerList>" + entries + "</ManufacturerList></RootElement>";
}

std::string Chosen(const char* model, const char* manufacturer) {
    AFilePath out;
    EXPECT_EQ(FindDitherParamsFile(model, manufacturer, out), 1);
    return out.c_str();
}

class ParamFileLookup : public ::testing::Test {
  protected:
    // One house with a model map; each listed model has its own file.
    void WriteMapHouse(const std::string& mapEntries) {
        root.WritePlain(
            "Ditherparams.xml",
            ManufacturerList("<M Name='Fellgate Systems' ManufactureMAPXML='fg\\map.xml'/>"));
        root.WriteEnciphered("fg/map.xml", "<RootElement>" + mapEntries + "</RootElement>");
    }
    TempConfigRoot root;
};

TEST(AsciiCaseCompare, FoldsAsciiLettersOnly) {
    EXPECT_EQ(AsciiCaseCompare("Zeta-AZ", "zETA-az"), 0);
    EXPECT_NE(AsciiCaseCompare("\xC4", "\xE4"), 0);  // Latin-1 umlauts stay apart
    EXPECT_LT(AsciiCaseCompare("CP52", "cp52-LM"), 0);
    EXPECT_GT(AsciiCaseCompare("b", nullptr), 0);
    EXPECT_EQ(AsciiCaseCompare(nullptr, ""), 0);
}

TEST_F(ParamFileLookup, NamesMatchWholeAndIgnoringAsciiCase) {
    WriteMapHouse("<E Name='CP52-LM' XMLFile='fg/lm.xml'/><E Name='cp52' XMLFile='fg/cp52.xml'/>");
    root.WriteEnciphered("fg/lm.xml", kHardware);
    root.WriteEnciphered("fg/cp52.xml", kHardware);
    EXPECT_EQ(Chosen("CP52", "FELLGATE systems"), root.Path("fg/cp52.xml"));
    EXPECT_EQ(Chosen("Cp52-lm", "fellgate systems"), root.Path("fg/lm.xml"));
    EXPECT_EQ(Chosen("CP5", "Fellgate Systems"), root.Path("Ditherparams.xml"));
    EXPECT_EQ(Chosen("CP52", "Fellgate"), root.Path("Ditherparams.xml"));
}

TEST_F(ParamFileLookup, FirstOfTwoEntriesWins) {
    root.WritePlain("Ditherparams.xml",
                    ManufacturerList("<M Name='Tarnwick Imaging' ManufactureXML='one.xml'/>"
                                     "<M Name='TARNWICK IMAGING' ManufactureXML='two.xml'/>"));
    root.WriteEnciphered("one.xml", kHardware);
    root.WriteEnciphered("two.xml", kHardware);
    EXPECT_EQ(Chosen("any", "Tarnwick Imaging"), root.Path("one.xml"));

    WriteMapHouse("<E Name='CP52' XMLFile='a.xml'/><E Name='CP52' XMLFile='b.xml'/>");
    root.WriteEnciphered("a.xml", kHardware);
    root.WriteEnciphered("b.xml", kHardware);
    EXPECT_EQ(Chosen("CP52", "Fellgate Systems"), root.Path("a.xml"));
}

TEST_F(ParamFileLookup, ManufacturerFileBeatsModelMap) {
    root.WritePlain("Ditherparams.xml",
                    ManufacturerList("<M Name='Tarnwick Imaging' ManufactureXML='house.xml' "
                                     "ManufactureMAPXML='map.xml'/>"));
    root.WriteEnciphered("house.xml", kHardware);
    root.WriteEnciphered("map.xml",
                         "<RootElement><E Name='CP52' XMLFile='cp52.xml'/></RootElement>");
    root.WriteEnciphered("cp52.xml", kHardware);
    EXPECT_EQ(Chosen("CP52", "Tarnwick Imaging"), root.Path("house.xml"));

    // Without its PrinterHardware the house file gives way to the top level,
    // not to the model map.
    root.WriteEnciphered("house.xml", "<RootElement/>");
    EXPECT_EQ(Chosen("CP52", "Tarnwick Imaging"), root.Path("Ditherparams.xml"));
}

TEST_F(ParamFileLookup, ModelMapFallsBackToItselfThenTopLevel) {
    WriteMapHouse("<E Name='CP52' XMLFile=''/>");
    EXPECT_EQ(Chosen("CP52", "Fellgate Systems"), root.Path("Ditherparams.xml"));
    EXPECT_EQ(Chosen("ASBRU_V3C", "Fellgate Systems"), root.Path("Ditherparams.xml"));

    // A map that carries PrinterHardware itself serves models without a file.
    root.WriteEnciphered("fg/map.xml",
                         "<RootElement><E Name='CP52' XMLFile=''/>"
                         "<PrinterHardware><Model ID='Default'/></PrinterHardware></RootElement>");
    EXPECT_EQ(Chosen("CP52", "Fellgate Systems"), root.Path("fg/map.xml"));
    EXPECT_EQ(Chosen("ASBRU_V3C", "Fellgate Systems"), root.Path("fg/map.xml"));
}

TEST_F(ParamFileLookup, UnusableManufacturerEntriesFallToTopLevel) {
    root.WritePlain("Ditherparams.xml",
                    ManufacturerList("<M Name='Empty' ManufactureXML='' ManufactureMAPXML=''/>"
                                     "<M Name='Missing' ManufactureXML='missing.xml'/>"
                                     "<M Name='Plain' ManufactureXML='plain.xml'/>"
                                     "<M Name='Broken' ManufactureXML='broken.xml'/>"
                                     "<M ManufactureXML='nameless.xml'/>"));
    root.WritePlain("plain.xml", kHardware);        // not enciphered: refused
    root.WritePlain("broken.xml", "TWENXML1\x10");  // cut off after the magic
    root.WriteEnciphered("nameless.xml", kHardware);
    for (const char* house : {"Empty", "Missing", "Plain", "Broken", ""}) {
        EXPECT_EQ(Chosen("CP52", house), root.Path("Ditherparams.xml")) << house;
    }
    EXPECT_EQ(Chosen("CP52", nullptr), root.Path("Ditherparams.xml"));
}

TEST_F(ParamFileLookup, BrokenOrMissingTopLevelStillNamesIt) {
    EXPECT_EQ(Chosen("CP52", "Tarnwick Imaging"), root.Path("Ditherparams.xml"));
    root.WritePlain("Ditherparams.xml", "<RootElement><ManufacturerList>");
    EXPECT_EQ(Chosen("CP52", "Tarnwick Imaging"), root.Path("Ditherparams.xml"));

    AFilePath out;
    EXPECT_EQ(FindScreeningParamsFile("CP52", "Tarnwick Imaging", out), 1);
    EXPECT_EQ(std::string(out.c_str()), root.Path("ScreeningParams.xml"));
}

TEST_F(ParamFileLookup, StepResultsAndPathOnFailure) {
    const std::string list = root.WritePlain(
        "list.xml", ManufacturerList("<M Name='A' ManufactureMAPXML='a-map.xml'/>"
                                     "<M Name='B' ManufactureXML='b.xml'/><M Name='C'/>"));
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
    EXPECT_EQ(HasPrinterHardware(AFilePath(root.WriteEnciphered("h.xml", kHardware).c_str())), 1);
}

}  // namespace
}  // namespace tarnwick
