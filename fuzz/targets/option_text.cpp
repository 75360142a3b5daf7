// The option texts the host hands back: "DriverOption<i>=<v>" pairs, "DriverOptionBinary=<hex>"
// and the definition string the current values are written into. Every output lives in a heap
// block of exactly the size the host provides, so that the sanitizer sees a write past it.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "engine/abase_rtl.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "rtl/rtl.h"

namespace tarnwick::fuzz {
namespace {

constexpr std::size_t kDefinitionBuffer = 1024;  // the host's, terminating NUL included
constexpr std::size_t kBinaryBytes = 200;        // that "DriverOptionBinary" fills at most
constexpr uint8_t kFill = 0x5A;

std::unique_ptr<uint8_t[]> Filled(std::size_t n) {
    auto block = std::make_unique<uint8_t[]>(n);
    std::fill_n(block.get(), n, kFill);
    return block;
}

bool Untouched(const std::unique_ptr<uint8_t[]>& block, std::size_t from, std::size_t to) {
    return std::all_of(block.get() + from, block.get() + to, [](uint8_t b) { return b == kFill; });
}

}  // namespace

int FuzzOptionText(const uint8_t* data, size_t size) {
    Invariants check("option_text");
    FuzzRun run;
    // The host's texts end at their first NUL.
    const std::string text(reinterpret_cast<const char*>(data),
                           std::find(data, data + size, uint8_t{0}) - data);
    CDriver driver;
    auto* engine = dynamic_cast<RTL*>(driver.Engine());
    check.Check(engine != nullptr, "the driver's engine is the RTL printer class");
    if (engine == nullptr) return check.failures();

    for (int n : {1, 8, 14}) {
        auto out = Filled(static_cast<std::size_t>(n));
        check.Check(ABaseRTL::ParseDriverOptionPairs(text.c_str(), out.get(), n) == 1,
                    "the pair parser always answers 1");
    }
    for (const char* model : {"CP52", "Generic RTL", static_cast<const char*>(nullptr)}) {
        auto area = Filled(kSettingsAreaSize);
        check.Check(engine->ApplyDriverOptions(text.c_str(), area.get(), model) == 1,
                    "options apply to a settings record");
        // Only the option fields of the record can change.
        check.Check(Untouched(area, sizeof(PrinterSettings), kSettingsAreaSize),
                    "options never reach past the settings record");
        PrintSetup setup{};
        std::snprintf(setup.modelName, sizeof setup.modelName, "%s", model ? model : "");
        check.Check(
            driver.ParseDriverOptions(text.c_str(), Filled(kSettingsAreaSize).get(), &setup) == 1,
            "the driver's option slot answers 1");
    }

    const std::string binary = "DriverOptionBinary=" + text;
    auto area = Filled(kSettingsAreaSize);
    engine->ParseDriverOptions(binary.c_str(), area.get(), nullptr);
    check.Check(Untouched(area, kBinaryBytes, kSettingsAreaSize),
                "binary options fill at most 200 bytes");
    // Two hex digits per byte: bytes beyond the text's end keep their value.
    check.Check(Untouched(area, std::min(kBinaryBytes, (text.size() + 1) / 2), kBinaryBytes),
                "binary options stop at the end of the text");

    auto definition = std::make_unique<char[]>(kDefinitionBuffer);
    const std::size_t n = std::min(text.size(), kDefinitionBuffer - 1);
    std::memcpy(definition.get(), text.data(), n);
    definition[n] = '\0';
    // One value per option entry; an entry is a colon, and the buffer holds at most 1023.
    auto values = std::make_unique<uint8_t[]>(kDefinitionBuffer);
    for (std::size_t i = 0; i < kDefinitionBuffer; ++i) values[i] = static_cast<uint8_t>(i % 7);
    ABaseRTL::InsertOptionValues(definition.get(), values.get());
    check.Check(std::memchr(definition.get(), '\0', kDefinitionBuffer) != nullptr,
                "the definition string stays terminated within its buffer");
    return check.failures();
}

}  // namespace tarnwick::fuzz
