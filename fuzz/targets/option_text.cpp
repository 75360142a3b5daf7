// The option texts the host hands back: "DriverOption<i>=<v>" pairs, "DriverOptionBinary=<hex>"
// and the definition string the current values are written into. Every output lives in a heap
// block of exactly the size the host provides, so that the sanitizer sees a write past it.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "driver/cdriver.h"
#include "engine/abase_rtl.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "rtl/rtl.h"

namespace tarnwick::fuzz {
namespace {

// The host's buffer for a definition string, terminating NUL included.
constexpr std::size_t kDefinitionBuffer = 1024;
// Bytes "DriverOptionBinary" fills at most.
constexpr std::size_t kBinaryBytes = 200;
constexpr uint8_t kFill = 0x5A;

std::unique_ptr<uint8_t[]> Filled(std::size_t n) {
    auto block = std::make_unique<uint8_t[]>(n);
    std::fill_n(block.get(), n, kFill);
    return block;
}

void Pairs(Invariants& check, const char* text) {
    for (int n : {1, 8, 14}) {
        auto out = Filled(static_cast<std::size_t>(n));
        check.Check(ABaseRTL::ParseDriverOptionPairs(text, out.get(), n) == 1,
                    "the pair parser always answers 1");
    }
}

void Settings(Invariants& check, ABasePrinterDriver& driver, RTL& engine, const char* text,
              const char* model) {
    auto area = Filled(kSettingsAreaSize);
    check.Check(engine.ApplyDriverOptions(text, area.get(), model) == 1,
                "options apply to a settings record");
    // Only the option fields of the record can change.
    const std::size_t optionEnd = sizeof(PrinterSettings);
    check.Check(std::all_of(area.get() + optionEnd, area.get() + kSettingsAreaSize,
                            [](uint8_t b) { return b == kFill; }),
                "options never reach past the settings record");

    PrintSetup setup{};
    std::snprintf(setup.modelName, sizeof setup.modelName, "%s", model != nullptr ? model : "");
    auto viaDriver = Filled(kSettingsAreaSize);
    check.Check(driver.ParseDriverOptions(text, viaDriver.get(), &setup) == 1,
                "the driver's option slot answers 1");
}

void Binary(Invariants& check, RTL& engine, const std::string& text) {
    const std::string binary = "DriverOptionBinary=" + text;
    auto area = Filled(kSettingsAreaSize);
    engine.ParseDriverOptions(binary.c_str(), area.get(), nullptr);
    check.Check(std::all_of(area.get() + kBinaryBytes, area.get() + kSettingsAreaSize,
                            [](uint8_t b) { return b == kFill; }),
                "binary options fill at most 200 bytes");
    // Two hex digits per byte: bytes beyond the text's end keep their value.
    const std::size_t given = std::min(kBinaryBytes, (text.size() + 1) / 2);
    check.Check(std::all_of(area.get() + given, area.get() + kBinaryBytes,
                            [](uint8_t b) { return b == kFill; }),
                "binary options stop at the end of the text");
}

void Definition(Invariants& check, const std::string& text) {
    auto buffer = std::make_unique<char[]>(kDefinitionBuffer);
    const std::size_t n = std::min(text.size(), kDefinitionBuffer - 1);
    std::memcpy(buffer.get(), text.data(), n);
    buffer[n] = '\0';
    // One value per option entry; an entry is a colon, and the buffer holds at most 1023.
    auto values = std::make_unique<uint8_t[]>(kDefinitionBuffer);
    for (std::size_t i = 0; i < kDefinitionBuffer; ++i) values[i] = static_cast<uint8_t>(i % 7);
    ABaseRTL::InsertOptionValues(buffer.get(), values.get());
    check.Check(std::memchr(buffer.get(), '\0', kDefinitionBuffer) != nullptr,
                "the definition string stays terminated within its buffer");
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

    Pairs(check, text.c_str());
    for (const char* model : {"CP52", "Generic RTL", static_cast<const char*>(nullptr)}) {
        Settings(check, driver, *engine, text.c_str(), model);
    }
    Binary(check, *engine, text);
    Definition(check, text);
    return check.failures();
}

}  // namespace tarnwick::fuzz
