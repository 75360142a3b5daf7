// The configuration readers: the input, split at NUL bytes, becomes the files of a temporary
// OutputDrivers tree, and the engine answers its dither, screening and translation queries from
// it. The host's records are heap blocks of their exact size, so that a stray write shows.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "config/glossary.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "host/xml_cipher.h"

namespace tarnwick::fuzz {
namespace {

// The files below OutputDrivers (enciphered or not) the parts of an input fill, in order; a
// missing part leaves its file out.
constexpr std::pair<const char*, bool> kFiles[] = {
    {"Ditherparams.xml", false},
    {"ScreeningParams.xml", false},
    {"TarnwickImaging/TarnwickImaging.xml", true},
    {"Fellgate/ModelMap.xml", true},
    {"Fellgate/CP52.xml", true},
    {"OxGlossary.xml", false},
};

constexpr const char* kPausePhrase = "Do you want to continue printing the next page?";

// The queries of one print setup: model, manufacturer, media, print mode (and resolution), and
// colour mode.
void Query(Invariants& check, ABasePrinterDriver& driver, const char* model,
           const char* manufacturer, int media, int mode, int colorMode) {
    PrintSetup setup{};
    std::snprintf(setup.modelName, sizeof setup.modelName, "%s", model);
    std::snprintf(setup.manufacturerName, sizeof setup.manufacturerName, "%s", manufacturer);
    setup.media = media;
    setup.printMode = setup.resolution = mode;
    setup.colorMode = colorMode;
    auto dither = std::make_unique<DitherParamRecord>();
    const int read = driver.LoadDitherParams(model, manufacturer, &setup, dither.get(), nullptr);
    check.Check(read == 0 || read == 1, "the dither query answers 0 or 1");
    check.Check(dither->inkCount >= 0 && dither->inkCount <= kDitherInks,
                "the dither defaults keep to the record's inks");

    auto screens = std::make_unique<ScreeningRecord>();
    check.Check(driver.LoadScreeningParams(screens.get(), &setup) == 1,
                "the screening query always has an answer");
    check.Check(screens->count >= 0 && screens->count <= kMaxScreenEntries,
                "the screen count fits the record");
    for (int i = 0; i < std::clamp(screens->count, 0, kMaxScreenEntries); ++i) {
        const ScreenEntry& e = screens->entries[i];
        check.Check(std::memchr(e.shapeName, '\0', sizeof e.shapeName) != nullptr &&
                        std::memchr(e.colorName, '\0', sizeof e.colorName) != nullptr,
                    "screen names end within their fields");
    }
}

}  // namespace

int FuzzConfigFiles(const uint8_t* data, size_t size) {
    Invariants check("config_files");
    FuzzRun run;
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) parts.emplace_back();
        if (data[i] != 0) parts.back().push_back(static_cast<char>(data[i]));
    }
    for (size_t i = 0; i < std::min(parts.size(), std::size(kFiles)); ++i) {
        const auto path = std::filesystem::path(run.OutputDrivers()) / kFiles[i].first;
        std::error_code ec;
        std::filesystem::create_directories(path.parent_path(), ec);
        // Enciphered files are enciphered here, so that the input reaches their XML.
        const std::span<const uint8_t> plain = AsBytes(parts[i]);
        if (!WriteBytes(path.string(), kFiles[i].second
                                           ? EncipherXml(plain)
                                           : std::vector(plain.begin(), plain.end()))) {
            check.Check(false, "the run's files can be written");
            return check.failures();
        }
    }
    ClearGlossaryCache();
    {
        CDriver driver;
        Query(check, driver, "CP52", "Tarnwick Imaging", 0, 0, 0);
        Query(check, driver, "CP52", "Fellgate Systems", 1, 5, 2);
        Query(check, driver, "Generic RTL", "", 2, 2, 1);
        const AString translated = Translate(AString(kPausePhrase));
        if (parts.size() < std::size(kFiles)) {
            check.Check(translated.str() == kPausePhrase, "without a glossary a phrase stays");
        }
        for (const MessageRequest& message : run.Messages()) {
            check.Check(!message.text.empty(), "a message box says something");
        }
    }
    // The glossary is kept for the life of the process; the next input brings its own.
    ClearGlossaryCache();
    return check.failures();
}

}  // namespace tarnwick::fuzz
