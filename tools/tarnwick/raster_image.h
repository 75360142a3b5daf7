// Images read from files row by row, and the limits every reader enforces before it allocates
// anything. A page is never held whole: a banner of any length needs a few rows of memory.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tarnwick::cli {

// The job data file's own limits: an image beyond them could not become a page.
inline constexpr int64_t kMaxImageWidth = 1'000'000;
inline constexpr int64_t kMaxImageHeight = 10'000'000;
// The few images that must be decoded whole (an interlaced PNG) stay below 300 MB as RGB.
inline constexpr int64_t kMaxWholeImagePixels = 100'000'000;

// An image handed out one row at a time, first to last. Colour images give 8-bit RGB, three
// bytes a pixel; colorant planes give packed rows of 1, 2, 4 or 8 bits a pixel, most
// significant bits first (the job data file's row layout), where a set pixel or a higher level
// is more ink.
class RowImage {
  public:
    virtual ~RowImage() = default;
    int width() const { return m_width; }
    int height() const { return m_height; }
    int bits() const { return m_bits; }  // bits per pixel of a plane; 24 for RGB
    std::size_t RowBytes() const {
        return (static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_bits) + 7) / 8;
    }
    // Embedded in the file when it describes the RGB pixels handed out.
    const std::vector<uint8_t>& iccProfile() const { return m_iccProfile; }

    // The next row into out (RowBytes() bytes); false with error set (naming the file) when the
    // file turns out damaged or cut short.
    virtual bool NextRow(std::span<uint8_t> out, std::string& error) = 0;

  protected:
    int m_width = 0;
    int m_height = 0;
    int m_bits = 24;
    std::vector<uint8_t> m_iccProfile;
};

// True when bytes look like an ICC profile of RGB data (the header's colour space "RGB ").
bool IsRgbIccProfile(const std::vector<uint8_t>& bytes);

// Empty when width x height is acceptable, else the reason (naming the file).
std::string CheckImageSize(const std::string& path, int64_t width, int64_t height);

}  // namespace tarnwick::cli
