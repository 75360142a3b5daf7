#include "halftone/pipeline.h"

#include <algorithm>
#include <cstring>
#include <iomanip>
#include <sstream>

namespace tarnwick::halftone {
namespace {

template <std::size_t N>
std::string Field(const char (&text)[N]) {
    return std::string(text, strnlen(text, N));
}

}  // namespace

std::vector<ScreenTile> TilesForInks(const ScreeningRecord& record,
                                     const std::vector<std::string>& inks, int dpiX, int dpiY,
                                     std::vector<std::string>& warnings) {
    const int count = std::clamp(record.count, 0, kMaxScreenEntries);
    std::vector<ScreenTile> tiles;
    // Inks that share a screen (a light ink and its full ink, usually) share its tile, built
    // and warned about once.
    struct Asked {
        std::string shape;
        double frequency;
        double angle;
    };
    std::vector<Asked> asked;
    for (const std::string& ink : inks) {
        const ScreenEntry* found = nullptr;
        for (int i = 0; i < count && !found; ++i) {
            if (SameInk(Field(record.entries[i].colorName), ink)) found = &record.entries[i];
        }
        Asked wanted{"Round", count > 0 ? record.entries[0].frequency : 60.0, 45.0};
        if (found) {
            wanted = {Field(found->shapeName), found->frequency, found->angle};
        } else {
            warnings.push_back("no screen for ink " + ink + "; Round at 45 degrees is used");
        }
        std::size_t same = 0;
        while (same < asked.size() &&
               (asked[same].shape != wanted.shape || asked[same].frequency != wanted.frequency ||
                asked[same].angle != wanted.angle)) {
            ++same;
        }
        if (same < asked.size()) {
            tiles.push_back(tiles[same]);
        } else {
            tiles.push_back(BuildScreenTile(wanted.shape, wanted.frequency, wanted.angle, dpiX,
                                            dpiY, warnings));
        }
        asked.push_back(std::move(wanted));
    }
    return tiles;
}

std::string Describe(const HalftoneSetup& setup, const std::vector<std::string>& inks,
                     const std::string& profileName) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << std::setprecision(4);
    out << "halftone: " << (setup.method == Method::kDiffusion ? "error diffusion" : "AM screen")
        << ", profile " << profileName << ", " << setup.dither.levelCount << " levels, "
        << PlaneBits(setup.dither.levelCount) << " bit(s) per pixel";
    if (setup.method == Method::kDiffusion) {
        out << ", noise " << setup.dither.noiseLevel << ", anti-clog " << setup.dither.antiClogLevel
            << " (a dot every " << AntiClogStretch(setup.dither.antiClogLevel)
            << " pixels at least)";
    }
    for (std::size_t i = 0; i < inks.size(); ++i) {
        out << "; " << inks[i] << " weights";
        const std::vector<float>& amounts = setup.dither.amounts[i];
        for (std::size_t k = 1; k < amounts.size(); ++k) out << (k == 1 ? " " : "/") << amounts[k];
        if (setup.method == Method::kScreen && i < setup.tiles.size()) {
            const ScreenTile& tile = setup.tiles[i];
            out << ", " << tile.shape << " " << tile.frequency << " lpi at " << tile.angle
                << " deg (tile " << tile.size << ")";
        }
    }
    return out.str();
}

Pipeline::Pipeline(std::unique_ptr<Separator> separator, HalftoneSetup setup, int width,
                   int bandRows)
    : m_separator(std::move(separator)),
      m_setup(std::move(setup)),
      m_width(width),
      m_bandRows(bandRows),
      m_bits(PlaneBits(m_setup.dither.levelCount)),
      m_inks(m_separator->inks().size()),
      m_pixelBytes(static_cast<std::size_t>(Channels(m_separator->format()))) {
    const auto w = static_cast<std::size_t>(width);
    const auto band = static_cast<std::size_t>(bandRows);
    m_rowBytes = (w * static_cast<std::size_t>(m_bits) + 7) / 8;
    m_amounts.resize(band * m_inks * w);
    m_scratch.resize(2 * 4 * w);
    m_levels.resize(2 * w);
    m_packed.resize(m_inks * band * m_rowBytes);
    if (m_setup.method == Method::kDiffusion) {
        const int stretch = AntiClogStretch(m_setup.dither.antiClogLevel);
        for (std::size_t ink = 0; ink < m_inks; ++ink) {
            m_diffusers.emplace_back(width, m_setup.dither.amounts[ink], stretch,
                                     m_setup.dither.noiseLevel,
                                     m_setup.seed + static_cast<uint32_t>(ink) * 0x9E3779B9u);
        }
    }
    m_worker = std::thread([this] { WorkerLoop(); });
}

Pipeline::~Pipeline() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_worker.join();
}

void Pipeline::WorkerLoop() {
    uint64_t seen = 0;
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stop || m_generation != seen; });
            if (m_stop) return;
            seen = m_generation;
        }
        Work(1);
        {
            std::lock_guard lock(m_mutex);
            m_finished = seen;
        }
        m_done.notify_one();
    }
}

void Pipeline::Work(int part) {
    const auto w = static_cast<std::size_t>(m_width);
    const auto p = static_cast<std::size_t>(part);
    if (m_stage == 0) {
        const std::size_t stride = w * static_cast<std::size_t>(m_pixelBytes);
        for (int row = part; row < m_rows; row += 2) {
            const auto r = static_cast<std::size_t>(row);
            m_separator->SeparateRow(m_pixels.subspan(r * stride, stride), m_width,
                                     std::span(m_amounts).subspan(r * m_inks * w, m_inks * w),
                                     std::span(m_scratch).subspan(p * 4 * w, 4 * w));
        }
        return;
    }
    const std::span<uint8_t> levels = std::span(m_levels).subspan(p * w, w);
    for (std::size_t ink = p; ink < m_inks; ink += 2) {
        for (int row = 0; row < m_rows; ++row) {
            const auto r = static_cast<std::size_t>(row);
            const std::span<const float> target =
                std::span<const float>(m_amounts).subspan((r * m_inks + ink) * w, w);
            if (m_setup.method == Method::kDiffusion) {
                m_diffusers[ink].Row(target, levels);
            } else {
                ScreenRow(m_setup.tiles[ink], m_setup.dither.amounts[ink], m_pageRow + row, target,
                          levels);
            }
            PackLevels(
                levels, m_bits,
                std::span(m_packed).subspan(
                    (ink * static_cast<std::size_t>(m_bandRows) + r) * m_rowBytes, m_rowBytes));
        }
    }
}

bool Pipeline::Band(std::span<const uint8_t> pixels, int rows) {
    if (rows < 0 || rows > m_bandRows ||
        pixels.size() <
            static_cast<std::size_t>(rows) * static_cast<std::size_t>(m_width) * m_pixelBytes) {
        return false;
    }
    m_pixels = pixels;
    m_rows = rows;
    for (int stage = 0; stage < 2; ++stage) {
        uint64_t generation = 0;
        {
            std::lock_guard lock(m_mutex);
            m_stage = stage;
            generation = ++m_generation;
        }
        m_wake.notify_one();
        Work(0);
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [&] { return m_finished == generation; });
    }
    m_pageRow += m_rows;
    return true;
}

std::span<const uint8_t> Pipeline::Packed(std::size_t ink, int row) const {
    return std::span<const uint8_t>(m_packed).subspan(
        (ink * static_cast<std::size_t>(m_bandRows) + static_cast<std::size_t>(row)) * m_rowBytes,
        m_rowBytes);
}

}  // namespace tarnwick::halftone
