#include "config_test_root.h"

#include <fstream>
#include <span>
#include <stdexcept>

#include "config/fixed_text.h"
#include "host/xml_cipher.h"

namespace tarnwick::config_test {
namespace fs = std::filesystem;

namespace {

void WriteBytes(const fs::path& path, std::span<const uint8_t> bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

TempConfigRoot::TempConfigRoot()
    : m_root(m_dir.path()), m_rootVariable("TARNWICK_ROOT", m_dir.path()) {
    fs::create_directories(m_root / "OutputDrivers");
}

std::string TempConfigRoot::Path(std::string_view relative) const {
    return (m_root / "OutputDrivers" / relative).string();
}

std::string TempConfigRoot::WritePlain(std::string_view relative, std::string_view text) const {
    const std::string path = Path(relative);
    WriteBytes(path, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    return path;
}

std::string TempConfigRoot::WriteEnciphered(std::string_view relative,
                                            std::string_view text) const {
    const std::string path = Path(relative);
    WriteBytes(path, EncipherXml({reinterpret_cast<const uint8_t*>(text.data()), text.size()}));
    return path;
}

PrintSetup MakeSetup(const char* model, const char* manufacturer, int media, int printMode,
                     int resolution, int colorMode) {
    PrintSetup setup{};
    CopyFixedText(setup.modelName, model);
    CopyFixedText(setup.manufacturerName, manufacturer);
    setup.media = media;
    setup.printMode = printMode;
    setup.resolution = resolution;
    setup.colorMode = colorMode;
    return setup;
}

std::string Hardware(std::string_view body) {
    return "<RootElement><PrinterHardware>" + std::string(body) +
           "</PrinterHardware></RootElement>";
}

}  // namespace tarnwick::config_test
