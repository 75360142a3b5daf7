// AImage: the image of one page as the engine reads it; AGroupImage: the kind every page of a
// job data file is, an image placed at an offset on its page.
#pragma once

#include <cstdint>

#include "host/job/page_layout.h"

namespace tarnwick {

class AColorant;
class AObList;
class JobFileReader;

class AImage {
  public:
    AImage() = default;
    virtual ~AImage();
    AImage(const AImage&) = delete;
    AImage& operator=(const AImage&) = delete;

    // Copies rowCount packed rows of the colorant, starting at firstRow, into dest: each row is
    // (GetWidth() * bits of the colorant + 7) / 8 bytes, most significant bit first. Returns 1,
    // or 0 when a row is not available (out of range, not yet written, colorant not of this
    // image, or no longer in a file that was cut short), and then dest is left untouched up to
    // the failing row. flag is unused.
    virtual int ReadRows(const AColorant* colorant, int firstRow, int rowCount, uint8_t* dest,
                         int flag);
    virtual int GetHeight() const;
    virtual int GetWidth() const;
    // Appends a fresh copy of every colorant, in channel order.
    virtual void GetColorants(AObList& list) const;

    int m_nBitsPerPixel = 1;  // the largest bits per pixel among the colorants
};

// The page holds content of cw x ch pixels placed at (px, py). GetOffset gives (px, py).
// SetOffset(a, b) shifts the placement to (max(0, px + a), max(0, py + b)) -- the engine uses
// (-px, -py) to drop the offset; initially the shift is (0, 0). The image is then the content
// plus the placement: GetWidth() = cw + effective x, GetHeight() = ch + effective y. Rows above
// the effective y read as zero bytes; with an effective x > 0 every row starts with that many
// blank pixels. The effective offset is capped at the largest page width / height a file may
// hold, which keeps row sizes within int.
class AGroupImage : public AImage {
  public:
    // Rows are read through file, which the job object owns and keeps open for the image.
    AGroupImage(PageLayout layout, JobFileReader* file);
    ~AGroupImage() override;

    int ReadRows(const AColorant* colorant, int firstRow, int rowCount, uint8_t* dest,
                 int flag) override;
    int GetHeight() const override;
    int GetWidth() const override;
    void GetColorants(AObList& list) const override;

    void GetOffset(int& x, int& y) const;
    void SetOffset(int x, int y);

    // Rows of content in the file (fewer than announced while the host is writing the page).
    int GetAvailableRows() const { return m_layout.availableRows; }
    // The page as the file describes it, before any SetOffset.
    const PageLayout& layout() const { return m_layout; }

  private:
    const ColorantLayout* FindColorant(const AColorant* colorant) const;

    PageLayout m_layout;
    JobFileReader* m_file;
    int m_placeX;  // effective placement after SetOffset
    int m_placeY;
};

}  // namespace tarnwick
