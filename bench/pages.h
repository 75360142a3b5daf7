// The pages every measurement works on: six one-bit planes, generated the same way on every run.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tarnwick::bench {

enum class PageKind { kOrdered, kDiffused, kSparse, kRandom, kZeros };

// Short lower-case name for tables ("ordered", "diffused", "sparse", "random", "zeros").
const char* PageKindName(PageKind kind);

inline constexpr int kPlanes = 6;
inline constexpr int kRollInches = 64;

// A plane row of the 64-inch roll at dpi, and the rows of a page of about 35 MB at that dpi
// (1,000 rows at 720 dpi).
int RollRowBytes(int dpi);
int RollRows(int dpi);

class Page {
  public:
    Page(PageKind kind, int dpi, int rowBytes, int rows);

    PageKind kind() const { return m_kind; }
    int dpi() const { return m_dpi; }
    int rowBytes() const { return m_rowBytes; }
    int rows() const { return m_rows; }
    int64_t planeRows() const { return int64_t{m_rows} * kPlanes; }
    int64_t bytes() const { return static_cast<int64_t>(m_data.size()); }

    // Rows are stored as the job data file holds them: every plane of row 0, then of row 1...
    const uint8_t* Row(int plane, int row) const {
        return m_data.data() + (static_cast<std::size_t>(row) * kPlanes + plane) * m_rowBytes;
    }
    std::span<const uint8_t> PlaneRow(int plane, int row) const {
        return {Row(plane, row), static_cast<std::size_t>(m_rowBytes)};
    }
    // Plane row k in storage order (row k / 6, plane k % 6).
    std::span<const uint8_t> PlaneRowAt(int64_t k) const {
        return {m_data.data() + k * m_rowBytes, static_cast<std::size_t>(m_rowBytes)};
    }
    std::span<const uint8_t> All() const { return m_data; }
    // Share of set bits, to show that the pages have the ink they claim.
    double InkShare() const;

  private:
    friend Page MakePage(PageKind kind, int dpi, int rowBytes, int rows);
    uint8_t* MutableRow(int plane, int row) { return const_cast<uint8_t*>(Row(plane, row)); }

    PageKind m_kind;
    int m_dpi;
    int m_rowBytes;
    int m_rows;
    std::vector<uint8_t> m_data;
};

Page MakePage(PageKind kind, int dpi, int rowBytes, int rows);

}  // namespace tarnwick::bench
