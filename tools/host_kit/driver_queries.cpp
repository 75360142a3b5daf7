#include "host_kit/driver_queries.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace tarnwick::hostkit {
namespace {

constexpr int kColorListEntries = 4096;
constexpr std::size_t kNameBuffer = 512;
constexpr std::size_t kOptionBuffer = 1024;
constexpr int kMaxColorModes = 64;  // a driver that never says "no more" cannot loop us forever

template <std::size_t N>
void CopyText(char (&field)[N], const std::string& text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

}  // namespace

PrintSetup MakeSetup(const std::string& model, const std::string& manufacturer) {
    PrintSetup setup;
    std::memset(&setup, 0, sizeof setup);
    CopyText(setup.modelName, model);
    CopyText(setup.manufacturerName, manufacturer);
    setup.text = nullptr;
    return setup;
}

SettingsArea DefaultSettings(ABasePrinterDriver& driver) {
    SettingsArea area;
    std::memset(&area, 0, sizeof area);
    driver.ValidateSettings(&area.settings);
    return area;
}

void ApplyDriverOptions(ABasePrinterDriver& driver, const std::string& model,
                        const std::vector<std::string>& pairs, SettingsArea& area) {
    if (pairs.empty()) return;
    std::string text;
    for (const std::string& pair : pairs) text += (text.empty() ? "" : " ") + pair;
    PrintSetup setup = MakeSetup(model);
    driver.ParseDriverOptions(text.c_str(), reinterpret_cast<uint8_t*>(&area), &setup);
}

std::vector<std::string> ColorModeNames(ABasePrinterDriver& driver, const std::string& model) {
    std::vector<std::string> names;
    PrintSetup setup = MakeSetup(model);
    for (int32_t index = 0; index < kMaxColorModes; ++index) {
        char name[kNameBuffer] = {};
        int32_t count = 0;
        if (driver.GetColorModeName(index, &count, name, &setup) == 0) break;
        name[kNameBuffer - 1] = '\0';
        names.emplace_back(name);
    }
    return names;
}

std::optional<std::vector<ColorEntry>> ColorModeInks(ABasePrinterDriver& driver, int32_t mode) {
    std::vector<ColorEntry> entries(kColorListEntries);
    for (ColorEntry& entry : entries) {
        entry = ColorEntry{};
        entry.print = 1;
        entry.depth = 1;
    }
    ColorList list{0, entries.data(), kColorListEntries};
    if (driver.GetColorList(mode, &list) == 0) return std::nullopt;
    const int count = std::clamp(list.count, 0, kColorListEntries);
    entries.resize(static_cast<std::size_t>(count));
    for (ColorEntry& entry : entries) {
        entry.name[sizeof entry.name - 1] = '\0';
        entry.displayName[sizeof entry.displayName - 1] = '\0';
    }
    return entries;
}

int32_t DefaultColorMode(ABasePrinterDriver& driver, const std::string& model, std::string* name) {
    char text[kNameBuffer] = {};
    PrintSetup setup = MakeSetup(model);
    const int32_t mode = driver.GetDefaultColorMode(text, &setup);
    text[kNameBuffer - 1] = '\0';
    if (name != nullptr) *name = text;
    return mode;
}

std::vector<PrintModeEntry> PrintModes(ABasePrinterDriver& driver, const std::string& model) {
    PrintModeList list;
    int32_t value = 0;
    driver.GetPrintModes(model.c_str(), nullptr, &list, &value);
    for (PrintModeEntry& entry : list) {
        entry.name[sizeof entry.name - 1] = '\0';
        entry.name2[sizeof entry.name2 - 1] = '\0';
    }
    return list;
}

std::vector<ResolutionEntry> Resolutions(ABasePrinterDriver& driver, const std::string& model,
                                         int32_t printMode) {
    ResolutionList list;
    int32_t value = 0;
    driver.GetResolutions(model.c_str(), nullptr, &printMode, &list, &value);
    for (ResolutionEntry& entry : list) entry.name[sizeof entry.name - 1] = '\0';
    return list;
}

std::string DriverOptionString(ABasePrinterDriver& driver, const std::string& model) {
    char text[kOptionBuffer] = {};
    driver.GetDriverOptionString(text, model.c_str());
    text[kOptionBuffer - 1] = '\0';
    return text;
}

std::vector<OptionMenu> OptionMenus(const std::string& definition) {
    std::vector<OptionMenu> menus;
    for (std::size_t start = 0; start < definition.size();) {
        const std::size_t end = std::min(definition.find(';', start), definition.size());
        const std::string entry = definition.substr(start, end - start);
        start = end + 1;
        const std::size_t colon = entry.find(':');
        if (colon == std::string::npos) continue;
        OptionMenu menu{entry.substr(0, colon), std::atoi(entry.c_str() + colon + 1), {}};
        std::size_t p = entry.find(',', colon + 1);  // past the default
        while (p != std::string::npos) {
            const std::size_t next = entry.find(',', p + 1);
            menu.values.push_back(
                entry.substr(p + 1, next == std::string::npos ? next : next - p - 1));
            p = next;
        }
        menus.push_back(std::move(menu));
    }
    return menus;
}

}  // namespace tarnwick::hostkit
