#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "host/aob_list.h"
#include "host/job/bit_copy.h"
#include "host/job/colorant.h"
#include "host/job/image.h"
#include "host/job/job_file_reader.h"
#include "host/job/job_format.h"

namespace tarnwick {

namespace {

int ClampPlacement(int64_t value, int64_t limit) {
    return static_cast<int>(std::clamp<int64_t>(value, 0, limit));
}

}  // namespace

AGroupImage::AGroupImage(PageLayout layout, JobFileReader* file)
    : m_layout(std::move(layout)),
      m_file(file),
      m_placeX(ClampPlacement(m_layout.offsetX, job_format::kMaxWidth)),
      m_placeY(ClampPlacement(m_layout.offsetY, job_format::kMaxHeight)) {
    for (const ColorantLayout& c : m_layout.colorants) {
        m_nBitsPerPixel = std::max(m_nBitsPerPixel, c.bitsPerPixel);
    }
}

AGroupImage::~AGroupImage() = default;

int AGroupImage::GetHeight() const {
    return m_layout.height + m_placeY;
}

int AGroupImage::GetWidth() const {
    return m_layout.width + m_placeX;
}

void AGroupImage::GetColorants(AObList& list) const {
    int index = 0;
    for (const ColorantLayout& c : m_layout.colorants) {
        list.AddTail(std::make_unique<AColorant>(AString(c.name), c.bitsPerPixel, index++));
    }
}

void AGroupImage::GetOffset(int& x, int& y) const {
    x = m_layout.offsetX;
    y = m_layout.offsetY;
}

void AGroupImage::SetOffset(int x, int y) {
    m_placeX = ClampPlacement(int64_t{m_layout.offsetX} + x, job_format::kMaxWidth);
    m_placeY = ClampPlacement(int64_t{m_layout.offsetY} + y, job_format::kMaxHeight);
}

// Colorants are copies that may come from an earlier load of the same job, so they are matched
// by channel, name and depth rather than by address.
const ColorantLayout* AGroupImage::FindColorant(const AColorant* colorant) const {
    if (!colorant) return nullptr;
    int index = colorant->GetChannelIndex();
    if (index < 0 || index >= static_cast<int>(m_layout.colorants.size())) return nullptr;
    const ColorantLayout& c = m_layout.colorants[static_cast<size_t>(index)];
    if (c.bitsPerPixel != colorant->GetBitsPerPixel() || c.name != colorant->GetName().str()) {
        return nullptr;
    }
    return &c;
}

int AGroupImage::ReadRows(const AColorant* colorant, int firstRow, int rowCount, uint8_t* dest,
                          int) {
    const ColorantLayout* c = FindColorant(colorant);
    if (!c || !dest || firstRow < 0 || rowCount <= 0) return 0;
    const int64_t endRow = int64_t{firstRow} + rowCount;
    if (endRow > GetHeight()) return 0;
    if (endRow - m_placeY > m_layout.availableRows) return 0;

    const uint64_t outBytes = job_format::PackedRowBytes(GetWidth(), c->bitsPerPixel);
    const uint64_t blankBits = uint64_t(m_placeX) * uint64_t(c->bitsPerPixel);
    const uint64_t contentBits = uint64_t(m_layout.width) * uint64_t(c->bitsPerPixel);
    for (int64_t row = firstRow; row < endRow; ++row, dest += outBytes) {
        if (row < m_placeY) {
            std::memset(dest, 0, outBytes);
            continue;
        }
        const uint64_t inPage = uint64_t(row - m_placeY) * m_layout.rowStride;
        const uint8_t* src =
            m_file ? m_file->View(m_layout.rowsFileOffset + inPage + c->offsetInRow, c->rowBytes)
                   : nullptr;
        if (src == nullptr) return 0;
        CopyBitsAfterBlank({dest, outBytes}, {src, c->rowBytes}, blankBits, contentBits);
    }
    return 1;
}

}  // namespace tarnwick
