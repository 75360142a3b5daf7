// The XML rows of docs/bad-inputs.md: hostile documents (100,000 levels deep, a 10 MB
// attribute, "billion laughs" entities, cut short, 100,000 siblings) as the job options and
// custom colour mode of a job and as each configuration file.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "config/glossary.h"
#include "driver/cdriver.h"
#include "engine/arow_base_rtl.h"
#include "hardening/hardening_support.h"
#include "platform/clock.h"
#include "support/fake_clock.h"
#include "support/log_capture.h"
#include "support/message_script.h"
#include "support/stream_rows.h"

namespace tarnwick {
namespace {

using test::TestPage;

constexpr int kDepth = 100'000;
constexpr std::size_t kHugeAttribute = std::size_t{10} << 20;
constexpr int kSiblings = 100'000;

std::string DeepNesting() {
    std::string text;
    text.reserve(7 * kDepth);
    for (int i = 0; i < kDepth; ++i) text += "<n>";
    for (int i = 0; i < kDepth; ++i) text += "</n>";
    return text;
}

std::string HugeAttribute() {
    return "<Big A=\"" + std::string(kHugeAttribute, 'x') + "\"/>";
}

// Each entity is ten of the one before: &lol9; would be 10^9 "lol"s if it were expanded.
std::string LaughsDoctype(const char* root) {
    std::string doctype = std::string("<!DOCTYPE ") + root + " [<!ENTITY lol \"lol\">";
    for (int i = 1; i <= 9; ++i) {
        doctype += "<!ENTITY lol" + std::to_string(i) + " \"";
        const std::string previous = i == 1 ? "&lol;" : "&lol" + std::to_string(i - 1) + ";";
        for (int k = 0; k < 10; ++k) doctype += previous;
        doctype += "\">";
    }
    return doctype + "]>";
}

const std::string kDeclaration = "<?xml version=\"1.0\"?>";

// ---- Job options and custom colour mode ----

class JobOptionsXml : public ::testing::Test {
  protected:
    // Prints a two-page job with `xml` as its job options; true when every step succeeded and
    // the job ended.
    bool PrintWith(const std::string& xml, const std::vector<TestPage>& pages = {kPage, kPage}) {
        JobTicket ticket = test::DefaultTicket("CP52", 180, 0);
        ticket.settings[13] = 0;
        job = test::MakeJob(dir, ticket, pages);
        job->m_pszCustomColorXml = xml.c_str();
        if (driver.OpenJob(job.get(), &out) == 0) return false;
        for (int step = 0; step < 100 && job->m_nDone != -1; ++step) {
            if (driver.PrintStep(nullptr, nullptr, nullptr) == 0) return false;
        }
        job->m_pszCustomColorXml = nullptr;
        return job->m_nDone == -1;
    }

    ARowBaseRTL& Engine() { return *dynamic_cast<ARowBaseRTL*>(driver.Engine()); }

    void ExpectBothPagesWhole() {
        const auto pages = test::ReadStreamRows(out.bytes);
        ASSERT_EQ(pages.size(), 2u);
        EXPECT_EQ(pages[0].rows.size(), 3u);
        EXPECT_EQ(pages[1].rows.size(), 3u);
    }

    static inline const TestPage kPage{16, 3, 0, 0, {{"Cyan"}, {"Magenta"}, {"Yellow"}, {"Black"}}};

    FakeClock clock;
    ScopedClock useClock{&clock};
    hardening::PrivateLocks locks;
    ScopedMessageScript messages{IDYES};
    ScopedLogCapture log;
    test::TempDir dir;
    test::MemoryChannel out;
    CDriver driver;
    std::unique_ptr<HostJobRecord> job;
};

TEST_F(JobOptionsXml, HundredThousandLevelsDeepAreReadAroundTheNesting) {
    const std::string xml = kDeclaration + "<RootElement><JobId>77</JobId><CustomColorMode>" +
                            "<Color><Order>1</Order>" + DeepNesting() +
                            "</Color></CustomColorMode></RootElement>";
    ASSERT_TRUE(PrintWith(xml));
    EXPECT_EQ(Engine().JobId().str(), "77");
    ExpectBothPagesWhole();
    EXPECT_TRUE(fuzz::JobLocksFree(77));
    EXPECT_TRUE(log.entries().empty());
}

TEST_F(JobOptionsXml, TenMegabyteAttributeIsReadAroundTheAttribute) {
    const std::string xml = kDeclaration + "<RootElement>" + HugeAttribute() +
                            "<JobId>78</JobId><CustomColorMode>" + HugeAttribute() +
                            "</CustomColorMode></RootElement>";
    ASSERT_TRUE(PrintWith(xml));
    EXPECT_EQ(Engine().JobId().str(), "78");
    ExpectBothPagesWhole();
    EXPECT_TRUE(fuzz::JobLocksFree(78));
}

TEST_F(JobOptionsXml, EntitiesAreNeverExpanded) {
    const std::string xml = kDeclaration + LaughsDoctype("RootElement") +
                            "<RootElement><JobId>&lol9;</JobId><CustomColorMode><Color>"
                            "<InternalName>&lol9;</InternalName><Order>1</Order></Color>"
                            "</CustomColorMode></RootElement>";
    ASSERT_TRUE(PrintWith(xml));
    EXPECT_EQ(Engine().JobId().str(), "&lol9;");  // as written: the id is 0
    ExpectBothPagesWhole();
    EXPECT_TRUE(fuzz::JobLocksFree(0));
}

TEST_F(JobOptionsXml, DocumentCutShortIsIgnoredWhole) {
    const std::string xml = kDeclaration +
                            "<RootElement><JobId>79</JobId><PauseBtwPages>1</PauseBtwPages>"
                            "<CustomColorMode><Color><Order>1</Order><ColorDepth>3</Colo";
    ASSERT_TRUE(PrintWith(xml));
    EXPECT_EQ(Engine().JobId().str(), "");  // no options: id 0, no pause, the printer's inks
    EXPECT_TRUE(messages.requests().empty());
    ExpectBothPagesWhole();
    EXPECT_TRUE(log.entries().empty());
}

TEST_F(JobOptionsXml, HundredThousandColoursAreReadInOnePass) {
    std::string xml = kDeclaration + "<RootElement><CustomColorMode>";
    xml.reserve(xml.size() + 40 * kSiblings);
    // Orders beyond the colour list have no place to go; only the last entry has one.
    for (int i = 1; i < kSiblings; ++i) xml += "<Color><Order>99999</Order></Color>";
    xml += "<Color><InternalName>Spot</InternalName><Order>2</Order></Color>";
    xml += "</CustomColorMode></RootElement>";
    const TestPage page{16, 3, 0, 0, {{"Spot"}, {"Cyan"}}};
    ASSERT_TRUE(PrintWith(xml, {page, page}));
    EXPECT_EQ(Engine().PlaneChannel(2), 0);  // entry 2 names the spot ink (four planes rotate)
    ExpectBothPagesWhole();
}

// ---- Configuration files ----

constexpr const char* kPhrase = "Do you want to continue printing the next page?";

std::string TopLevel(const std::string& inject, const std::string& section) {
    return "<RootElement>" + inject +
           "<ManufacturerList><Manufacturer Name=\"Tarnwick Imaging\" "
           "ManufactureXML=\"Maker.xml\"/></ManufacturerList><PrinterHardware><Model "
           "ID=\"Default\"><Media ID=\"Default\"><PrintMode ID=\"Default\"><Resolution "
           "ID=\"Default\"><ColorMode ID=\"Default\">" +
           section +
           "</ColorMode></Resolution></PrintMode></Media></Model></PrinterHardware>"
           "</RootElement>";
}

std::string DitherSection(const std::string& noise) {
    return "<DitherParams ID=\"2\"><Level Value=\"2\"><Weight ColorInk=\"Default\" Level=\"0\" "
           "Value=\"0.9\"/></Level><AntiClogLevel Value=\"1\"/><NoiseLevel Value=\"" +
           noise + "\"/></DitherParams>";
}

std::string Maker(const std::string& inject, const std::string& colorName) {
    return "<RootElement>" + inject +
           "<PrinterHardware><Model ID=\"CP52\"><Media ID=\"Default\"><PrintMode "
           "ID=\"Default\"><Resolution ID=\"Default\"><ColorMode ID=\"Default\">" +
           DitherSection("0.5") + "<Item ColorName=\"" + colorName +
           "\" Angle=\"15\" Frequency=\"40\" ShapeName=\"Round\"/></ColorMode></Resolution>"
           "</PrintMode></Media></Model></PrinterHardware></RootElement>";
}

std::string Glossary(const std::string& inject, const std::string& res) {
    return "<RootElement>" + inject + "<Glossary><Entry Phrase=\"" + kPhrase + "\" Res=\"" + res +
           "\"/></Glossary></RootElement>";
}

struct Answers {
    int dither = -1;
    float noise = 0.0f;
    int screens = -1;
    std::string firstScreen;
    std::string translation;
};

class ConfigXml : public ::testing::Test {
  protected:
    void SetUp() override { ClearGlossaryCache(); }
    void TearDown() override { ClearGlossaryCache(); }

    // Writes a working tree with `inject` placed first in every file and `prefix` (a DOCTYPE)
    // before each document.
    void WriteTree(const std::string& inject, const std::string& prefix = "",
                   const std::string& noise = "0.8", const std::string& colorName = "Cyan",
                   const std::string& res = "Weiter?") {
        root.Write("Ditherparams.xml", prefix + TopLevel(inject, DitherSection(noise)));
        root.Write("ScreeningParams.xml",
                   prefix + TopLevel(inject,
                                     "<Item ColorName=\"Black\" Angle=\"45\"/>"
                                     "<Item ColorName=\"Cyan\" Angle=\"15\"/>"));
        root.Write("Maker.xml", prefix + Maker(inject, colorName), true);
        root.Write("OxGlossary.xml", prefix + Glossary(inject, res));
    }

    Answers Ask(const char* model, const char* manufacturer) {
        PrintSetup setup{};
        std::snprintf(setup.modelName, sizeof setup.modelName, "%s", model);
        std::snprintf(setup.manufacturerName, sizeof setup.manufacturerName, "%s", manufacturer);
        auto dither = std::make_unique<DitherParamRecord>();
        auto screens = std::make_unique<ScreeningRecord>();
        Answers a;
        a.dither = driver.LoadDitherParams(model, manufacturer, &setup, dither.get(), nullptr);
        a.noise = dither->noiseLevel;
        EXPECT_EQ(driver.LoadScreeningParams(screens.get(), &setup), 1);
        a.screens = screens->count;
        a.firstScreen = screens->entries[0].colorName;
        a.translation = Translate(AString(kPhrase)).str();
        return a;
    }

    // What a working tree answers, whatever was injected around it.
    void ExpectWorkingAnswers() {
        const Answers maker = Ask("CP52", "Tarnwick Imaging");
        EXPECT_EQ(maker.dither, 1);
        EXPECT_FLOAT_EQ(maker.noise, 0.5f);
        EXPECT_EQ(maker.screens, 1);
        EXPECT_EQ(maker.firstScreen, "Cyan");
        EXPECT_EQ(maker.translation, "Weiter?");
        const Answers fallback = Ask("Other", "Nobody");
        EXPECT_EQ(fallback.dither, 1);
        EXPECT_FLOAT_EQ(fallback.noise, 0.8f);
        EXPECT_EQ(fallback.screens, 2);
        EXPECT_TRUE(messages.requests().empty());
    }

    hardening::PrivateConfigRoot root;
    ScopedMessageScript messages;
    CDriver driver;
};

TEST_F(ConfigXml, HundredThousandLevelsDeepAreReadAroundTheNesting) {
    WriteTree(DeepNesting());
    ExpectWorkingAnswers();
}

TEST_F(ConfigXml, TenMegabyteAttributeIsReadAroundTheAttribute) {
    WriteTree(HugeAttribute());
    ExpectWorkingAnswers();
}

TEST_F(ConfigXml, EntitiesAreNeverExpanded) {
    WriteTree("", LaughsDoctype("RootElement"), "&lol9;", "&lol9;", "&lol9;");
    const Answers maker = Ask("CP52", "Tarnwick Imaging");
    EXPECT_EQ(maker.dither, 1);
    EXPECT_EQ(maker.firstScreen, "&lol9;");  // stored as written
    EXPECT_EQ(maker.translation, "&lol9;");
    const Answers fallback = Ask("Other", "Nobody");
    EXPECT_EQ(fallback.dither, 1);
    EXPECT_FLOAT_EQ(fallback.noise, 1.0f);  // no number in the value: the default stays
    EXPECT_TRUE(messages.requests().empty());
}

TEST_F(ConfigXml, FilesCutShortFallBackWithoutAMessage) {
    WriteTree("");
    // The manufacturer file cut short: its printers get the top-level section.
    const std::string maker = Maker("", "Cyan");
    root.Write("Maker.xml", maker.substr(0, maker.size() / 2), true);
    Answers a = Ask("CP52", "Tarnwick Imaging");
    EXPECT_EQ(a.dither, 1);
    EXPECT_FLOAT_EQ(a.noise, 0.8f);
    EXPECT_EQ(a.screens, 2);

    // Every top-level file cut short: no dither answer, the default screen, no translation.
    for (const char* file : {"Ditherparams.xml", "ScreeningParams.xml", "OxGlossary.xml"}) {
        root.Write(file, "<RootElement><ManufacturerList><Manufacturer Name=\"Tarn");
    }
    ClearGlossaryCache();
    a = Ask("CP52", "Tarnwick Imaging");
    EXPECT_EQ(a.dither, 0);
    EXPECT_EQ(a.screens, 8);
    EXPECT_EQ(a.firstScreen, "Cyan");
    EXPECT_EQ(a.translation, kPhrase);
    EXPECT_TRUE(messages.requests().empty());
}

TEST_F(ConfigXml, HundredThousandSiblingsAreReadInOnePass) {
    std::string siblings;
    for (int i = 0; i < kSiblings; ++i) siblings += "<Entry/>";
    root.Write("Ditherparams.xml", TopLevel("", siblings + DitherSection("0.8")));
    root.Write("ScreeningParams.xml",
               TopLevel("", siblings + "<Item ColorName=\"Black\"/><Item ColorName=\"Cyan\"/>"));
    root.Write("Maker.xml", Maker("", "Cyan"), true);
    root.Write("OxGlossary.xml", "<RootElement><Glossary>" + siblings + "<Entry Phrase=\"" +
                                     kPhrase + "\" Res=\"Weiter?\"/></Glossary></RootElement>");
    const Answers fallback = Ask("Other", "Nobody");
    EXPECT_EQ(fallback.dither, 1);
    EXPECT_EQ(fallback.screens, 2);
    EXPECT_EQ(fallback.translation, "Weiter?");
}

}  // namespace
}  // namespace tarnwick
