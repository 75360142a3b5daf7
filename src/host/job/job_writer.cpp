#include "host/job/job_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tarnwick {

namespace {

using namespace job_format;

std::string Num(int64_t v) {
    return std::to_string(v);
}

bool CheckRange(int64_t v, int64_t low, int64_t high, const std::string& what, std::string& error) {
    if (v >= low && v <= high) return true;
    error = what + " " + Num(v) + " is out of range (" + Num(low) + " to " + Num(high) + ")";
    return false;
}

bool CheckPage(const PageFormat& page, std::string& error) {
    if (!CheckRange(page.width, 0, kMaxWidth, "page width", error) ||
        !CheckRange(page.height, 0, kMaxHeight, "page height", error) ||
        !CheckRange(page.offsetX, 0, kMaxWidth, "page offset x", error) ||
        !CheckRange(page.offsetY, 0, kMaxHeight, "page offset y", error) ||
        !CheckRange(int64_t(page.colorants.size()), 0, kMaxColorants, "colorant count", error)) {
        return false;
    }
    for (const ColorantFormat& c : page.colorants) {
        if (!IsValidBitsPerPixel(c.bitsPerPixel)) {
            error = "colorant '" + c.name + "' has " + Num(c.bitsPerPixel) +
                    " bits per pixel (1, 2, 4, 8 or 16 expected)";
            return false;
        }
        if (c.name.size() >= kNameFieldSize || c.name.find('\0') != std::string::npos) {
            error = "colorant name '" + c.name + "' is longer than " + Num(kNameFieldSize - 1) +
                    " bytes or holds a NUL";
            return false;
        }
    }
    return true;
}

std::vector<uint8_t> EncodePageHeader(const PageFormat& page, uint64_t rowBytes) {
    std::vector<uint8_t> h(kPageFixedSize + page.colorants.size() * kColorantEntrySize, 0);
    std::copy(kPageMagic.begin(), kPageMagic.end(), h.begin());
    StoreI32(&h[kPageWidthAt], page.width);
    StoreI32(&h[kPageHeightAt], page.height);
    StoreI32(&h[kPageOffsetXAt], page.offsetX);
    StoreI32(&h[kPageOffsetYAt], page.offsetY);
    StoreU32(&h[kPageColorantCountAt], static_cast<uint32_t>(page.colorants.size()));
    StoreU32(&h[kPageRowBytesAt], static_cast<uint32_t>(rowBytes));
    uint8_t* entry = h.data() + kPageFixedSize;
    for (const ColorantFormat& c : page.colorants) {
        StoreI32(entry, c.bitsPerPixel);
        std::memcpy(entry + 4, c.name.data(), c.name.size());
        entry += kColorantEntrySize;
    }
    return h;
}

}  // namespace

std::unique_ptr<JobWriter> JobWriter::Create(const std::string& path, std::string& error,
                                             size_t batchBytes) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = "cannot create job data file '" + path + "': " + std::strerror(errno);
        return nullptr;
    }
    auto writer = std::make_unique<JobWriter>(Key{}, fd, batchBytes);
    std::array<uint8_t, kFileHeaderSize> header{};
    std::copy(kFileMagic.begin(), kFileMagic.end(), header.begin());
    StoreU32(&header[kFileVersionAt], kVersion);
    StoreU32(&header[kFileHeaderSizeAt], kFileHeaderSize);
    writer->m_counts.writing = 1;
    const auto counts = EncodeCounts(writer->m_counts);
    std::copy(counts.begin(), counts.end(), header.begin() + kCountsAt);
    if (!writer->WriteAt(0, header, error)) {
        writer->m_finished = true;  // nothing worth finishing
        return nullptr;
    }
    writer->m_end = kFileHeaderSize;
    return writer;
}

JobWriter::JobWriter(Key, int fd, size_t batchBytes) : m_fd(fd), m_batchBytes(batchBytes) {}

JobWriter::~JobWriter() {
    std::string ignored;
    if (!m_finished) Finish(ignored);
    if (m_fd >= 0) close(m_fd);
}

bool JobWriter::WriteAt(uint64_t offset, std::span<const uint8_t> data, std::string& error) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n =
            pwrite(m_fd, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = std::string("cannot write job data file: ") +
                    (n < 0 ? std::strerror(errno) : "no progress");
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool JobWriter::PublishCounts(const JobCounts& counts, std::string& error) {
    const auto bytes = EncodeCounts(counts);
    if (!WriteAt(kCountsAt, bytes, error)) return false;
    m_counts = counts;
    return true;
}

bool JobWriter::CheckUsable(std::string& error) const {
    if (m_finished) error = "the job data file is already finished";
    return !m_finished;
}

bool JobWriter::BeginPage(const PageFormat& page, std::string& error) {
    if (!CheckUsable(error)) return false;
    if (m_pageOpen) {
        error = "page " + Num(m_pagesBegun - 1) + " is still open";
        return false;
    }
    if (m_pagesBegun >= kMaxPages) {
        error = "a job holds at most " + Num(kMaxPages) + " pages";
        return false;
    }
    if (!CheckPage(page, error)) return false;

    m_rowBytes.clear();
    uint64_t stride = 0;
    for (const ColorantFormat& c : page.colorants) {
        m_rowBytes.push_back(PackedRowBytes(page.width, c.bitsPerPixel));
        stride += m_rowBytes.back();
    }
    const std::vector<uint8_t> header = EncodePageHeader(page, stride);
    if (!WriteAt(m_end, header, error)) return false;
    m_pageHeaderAt = m_end;
    m_end += header.size();
    m_rowStride = stride;
    m_batch.clear();
    // Reserved once per page, so that rows do not allocate.
    m_batch.reserve(static_cast<size_t>(std::max<uint64_t>(stride, m_batchBytes + stride)));
    m_rowsBatched = 0;
    m_pageOpen = true;
    m_pageVisible = false;
    m_pageHeight = page.height;
    m_rowsWritten = 0;
    ++m_pagesBegun;
    return true;
}

bool JobWriter::AppendRow(std::span<const std::span<const uint8_t>> colorantRows,
                          std::string& error) {
    if (!CheckUsable(error)) return false;
    if (!m_pageOpen) {
        error = "no page is open";
        return false;
    }
    if (m_rowsWritten + m_rowsBatched >= m_pageHeight) {
        error = "the page already has all its " + Num(m_pageHeight) + " rows";
        return false;
    }
    if (colorantRows.size() != m_rowBytes.size()) {
        error = "got rows for " + Num(int64_t(colorantRows.size())) + " colorants, the page has " +
                Num(int64_t(m_rowBytes.size()));
        return false;
    }
    for (size_t i = 0; i < colorantRows.size(); ++i) {
        if (colorantRows[i].size() != m_rowBytes[i]) {
            error = "row of colorant " + Num(int64_t(i)) + " has " +
                    Num(int64_t(colorantRows[i].size())) + " bytes, expected " +
                    Num(int64_t(m_rowBytes[i]));
            return false;
        }
    }
    for (const std::span<const uint8_t>& row : colorantRows) {
        m_batch.insert(m_batch.end(), row.begin(), row.end());
    }
    ++m_rowsBatched;
    if (m_batch.size() < m_batchBytes) return true;
    if (WriteBatch(error)) return true;
    // The refused row is taken back, so that the host can offer it again; the rows before it
    // stay and go with the next attempt.
    m_batch.resize(m_batch.size() - m_rowStride);
    --m_rowsBatched;
    return false;
}

bool JobWriter::WriteBatch(std::string& error) {
    if (m_rowsBatched == 0) return true;
    // m_end moves only once the rows are announced, so a failed attempt is simply overwritten by
    // the next one.
    if (!WriteAt(m_end, m_batch, error)) return false;
    JobCounts next = m_counts;
    next.jobPages = m_pagesBegun;
    next.writePage = m_pagesBegun - 1;
    next.writeRows = m_rowsWritten + m_rowsBatched;
    if (!PublishCounts(next, error)) return false;
    m_end += m_batch.size();
    m_pageVisible = true;
    m_rowsWritten += m_rowsBatched;
    m_rowsBatched = 0;
    m_batch.clear();
    return true;
}

bool JobWriter::EndPage(std::string& error) {
    if (!CheckUsable(error)) return false;
    if (!m_pageOpen) {
        error = "no page is open";
        return false;
    }
    if (!WriteBatch(error)) return false;
    // The height goes first: a reader that walks past this page needs its true length, and one
    // that loads now sees a page still being written either way.
    if (m_rowsWritten < m_pageHeight) {
        std::array<uint8_t, 4> height{};
        StoreI32(height.data(), m_rowsWritten);
        if (!WriteAt(m_pageHeaderAt + kPageHeightAt, height, error)) return false;
        m_pageHeight = m_rowsWritten;
    }
    if (!m_pageVisible) {
        JobCounts next = m_counts;
        next.jobPages = m_pagesBegun;
        next.writePage = m_pagesBegun - 1;
        next.writeRows = 0;
        if (!PublishCounts(next, error)) return false;
        m_pageVisible = true;
    }
    m_pageOpen = false;
    return true;
}

bool JobWriter::Finish(std::string& error) {
    if (!CheckUsable(error)) return false;
    if (m_pageOpen && !EndPage(error)) return false;
    JobCounts done = m_counts;
    done.writing = 0;
    if (!PublishCounts(done, error)) return false;
    m_finished = true;
    close(m_fd);
    m_fd = -1;
    return true;
}

}  // namespace tarnwick
