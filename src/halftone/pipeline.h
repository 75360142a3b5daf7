// The host's halftoning stage for one page: pixels in, packed plane rows out, a band of rows at a
// time. Separation splits a band's rows between two threads, halftoning splits the inks.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "halftone/dither.h"
#include "halftone/separation.h"

namespace tarnwick::halftone {

enum class Method { kDiffusion, kScreen };

struct HalftoneSetup {
    Method method = Method::kDiffusion;
    DitherSettings dither;          // levels and weights are used by both methods
    std::vector<ScreenTile> tiles;  // Method::kScreen: one per ink
    uint32_t seed = 1;              // the noise's; with noise 0 it changes nothing
};

// The screen entry for each ink: the one whose colorName matches, else the first entry's
// frequency at 45 degrees, Round (with a warning).
std::vector<ScreenTile> TilesForInks(const ScreeningRecord& record,
                                     const std::vector<std::string>& inks, int dpiX, int dpiY,
                                     std::vector<std::string>& warnings);

// One line describing what is applied, for the job's log.
std::string Describe(const HalftoneSetup& setup, const std::vector<std::string>& inks,
                     const std::string& profileName);

class Pipeline {
  public:
    // bandRows: the rows handed to Band at most at once; width and bandRows at least 1, and
    // setup.dither (and setup.tiles for screening) made for the separator's inks.
    Pipeline(std::unique_ptr<Separator> separator, HalftoneSetup setup, int width, int bandRows);
    ~Pipeline();
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    int bits() const { return m_bits; }
    int bandRows() const { return m_bandRows; }
    std::size_t rowBytes() const { return m_rowBytes; }
    std::size_t inkCount() const { return m_inks; }

    // The next `rows` rows of the page (rows <= bandRows), pixels row after row in the
    // separator's format. Replaces the packed rows of the previous band. False (and nothing
    // done) when rows exceed bandRows or pixels are too few.
    bool Band(std::span<const uint8_t> pixels, int rows);
    std::span<const uint8_t> Packed(std::size_t ink, int row) const;

  private:
    void Work(int part);
    void WorkerLoop();

    std::unique_ptr<Separator> m_separator;
    HalftoneSetup m_setup;
    int m_width;
    int m_bandRows;
    int m_bits;
    std::size_t m_inks;
    std::size_t m_pixelBytes;
    std::size_t m_rowBytes = 0;
    std::vector<LevelDiffuser> m_diffusers;
    std::vector<float> m_amounts;     // bandRows x inks x width
    std::vector<uint16_t> m_scratch;  // 2 parts x 4 x width
    std::vector<uint8_t> m_levels;    // 2 parts x width
    std::vector<uint8_t> m_packed;    // inks x bandRows x rowBytes

    // The band in progress, read by both parts.
    std::span<const uint8_t> m_pixels;
    int m_rows = 0;
    int m_pageRow = 0;
    int m_stage = 0;  // 0 separate, 1 halftone

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    uint64_t m_generation = 0;
    uint64_t m_finished = 0;
    bool m_stop = false;
    std::thread m_worker;
};

}  // namespace tarnwick::halftone
