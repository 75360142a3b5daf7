// JobWriter: the host side of a job data file, written so that a reader that loads the file at
// any moment finds it consistent: bytes are appended first, and the counts in the file header
// announce them only afterwards, with one write.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "host/job/job_format.h"

namespace tarnwick {

struct ColorantFormat {
    std::string name;  // at most 63 bytes, no NUL
    int bitsPerPixel;  // 1, 2, 4, 8 or 16
};

struct PageFormat {
    int width;
    int height;
    int offsetX = 0;
    int offsetY = 0;
    std::vector<ColorantFormat> colorants;
};

class JobWriter {
    struct Key {
        explicit Key() = default;
    };

  public:
    // A batch size for hosts that write rows faster than a printer takes them: rows written in
    // pieces of a few kilobytes lie in small page-cache folios, which a reader copies out at about
    // half the speed of the large folios that writes of this size make.
    static constexpr size_t kStreamingBatchBytes = size_t{256} << 10;

    // Creates (or empties) the file and writes a header that says the job is being written.
    // Rows reach the file and are announced to readers one by one, or with a batchBytes above
    // zero, about that many bytes at a time (and whatever is left at EndPage and Finish).
    static std::unique_ptr<JobWriter> Create(const std::string& path, std::string& error,
                                             size_t batchBytes = 0);

    // Appends the page header. Readers see the page only once its first row is written (or at
    // EndPage for a page without rows).
    bool BeginPage(const PageFormat& page, std::string& error);
    // One packed row per colorant, in colorant order, each exactly its row size.
    bool AppendRow(std::span<const std::span<const uint8_t>> colorantRows, std::string& error);
    // A page that got fewer rows than announced has its height rewritten to the rows written.
    bool EndPage(std::string& error);
    // Ends an open page and marks the job complete; nothing can be added afterwards.
    bool Finish(std::string& error);

    JobWriter(Key, int fd, size_t batchBytes);
    ~JobWriter();  // Finish() if not done
    JobWriter(const JobWriter&) = delete;
    JobWriter& operator=(const JobWriter&) = delete;

  private:
    bool WriteAt(uint64_t offset, std::span<const uint8_t> data, std::string& error);
    bool PublishCounts(const job_format::JobCounts& counts, std::string& error);
    bool CheckUsable(std::string& error) const;
    // Writes the rows gathered so far and announces them.
    bool WriteBatch(std::string& error);

    int m_fd;
    size_t m_batchBytes;
    uint64_t m_end = 0;  // end of what was appended so far
    job_format::JobCounts m_counts;
    int m_pagesBegun = 0;
    bool m_finished = false;

    // The open page.
    bool m_pageOpen = false;
    bool m_pageVisible = false;
    uint64_t m_pageHeaderAt = 0;
    int m_pageHeight = 0;
    int m_rowsWritten = 0;             // in the file and announced
    int m_rowsBatched = 0;             // accepted, waiting in m_batch
    std::vector<uint64_t> m_rowBytes;  // per colorant
    uint64_t m_rowStride = 0;
    std::vector<uint8_t> m_batch;  // whole file rows, reused
};

}  // namespace tarnwick
