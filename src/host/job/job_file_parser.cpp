#include "host/job/job_file_parser.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tarnwick {

namespace {

using namespace job_format;

std::string Num(int64_t v) {
    return std::to_string(v);
}

bool OutOfRange(int64_t v, int64_t low, int64_t high, const std::string& what, std::string& error) {
    if (v >= low && v <= high) return false;
    error = "job data file damaged: " + what + " " + Num(v) + " is out of range (" + Num(low) +
            " to " + Num(high) + ")";
    return true;
}

bool CheckFileHeader(std::span<const uint8_t> head, uint64_t fileSize, uint64_t& firstPage,
                     JobCounts& counts, std::string& error) {
    // A short file that starts like a job data file is a truncated one, not a stranger.
    const size_t magicBytes = std::min(head.size(), kFileMagic.size());
    if (!std::equal(kFileMagic.begin(), kFileMagic.begin() + magicBytes, head.begin())) {
        error = "not a job data file (bad magic)";
        return false;
    }
    if (head.size() < kFileHeaderSize) {
        error = "job data file truncated in its header (" + Num(int64_t(head.size())) + " of " +
                Num(kFileHeaderSize) + " bytes)";
        return false;
    }
    const uint32_t version = LoadU32(head.data() + kFileVersionAt);
    if (version != kVersion) {
        error = "unsupported job data file version " + Num(version) + " (this reader knows " +
                Num(kVersion) + ")";
        return false;
    }
    const uint32_t headerSize = LoadU32(head.data() + kFileHeaderSizeAt);
    if (OutOfRange(headerSize, kFileHeaderSize, kMaxFileHeaderSize, "header size", error)) {
        return false;
    }
    if (headerSize > fileSize) {
        error = "job data file truncated in its header (" + Num(int64_t(fileSize)) + " of " +
                Num(headerSize) + " bytes)";
        return false;
    }
    firstPage = headerSize;

    counts = LoadCounts(head.data() + kCountsAt);
    if (OutOfRange(counts.writing, 0, 1, "writing flag", error) ||
        OutOfRange(counts.jobPages, 0, kMaxPages, "page count", error) ||
        OutOfRange(counts.writeRows, 0, kMaxHeight, "count of written rows", error)) {
        return false;
    }
    // Every page needs at least its fixed header, which bounds the page count by the file.
    if (uint64_t(counts.jobPages) * kPageFixedSize > fileSize - headerSize) {
        error = "job data file damaged: page count " + Num(counts.jobPages) +
                " exceeds what a file of " + Num(int64_t(fileSize)) + " bytes can hold";
        return false;
    }
    const int32_t lastPage = counts.jobPages > 0 ? counts.jobPages - 1 : 0;
    if (counts.writePage != lastPage || (counts.jobPages == 0 && counts.writeRows != 0)) {
        error = "job data file damaged: page being written " + Num(counts.writePage) +
                " and written rows " + Num(counts.writeRows) + " do not fit a page count of " +
                Num(counts.jobPages);
        return false;
    }
    return true;
}

// Reads and checks the page header at pos; next is where the following page starts. Of the
// page being written only the rows the counts announce need to be in the file.
bool ParsePage(JobFileReader& file, uint64_t pos, int index, const JobCounts& counts,
               PageLayout& page, uint64_t& next, std::vector<uint8_t>& table, std::string& error) {
    const uint64_t size = file.size();
    const std::string name = "page " + Num(index);
    if (pos > size || size - pos < kPageFixedSize) {
        error = "job data file truncated in " + name + " header";
        return false;
    }
    std::array<uint8_t, kPageFixedSize> fixed{};
    if (!file.ReadExact(pos, fixed, error)) return false;
    const uint8_t* h = fixed.data();
    if (!std::equal(kPageMagic.begin(), kPageMagic.end(), h)) {
        error = "job data file damaged: " + name + " header has a bad magic";
        return false;
    }
    page.width = LoadI32(h + kPageWidthAt);
    page.height = LoadI32(h + kPageHeightAt);
    page.offsetX = LoadI32(h + kPageOffsetXAt);
    page.offsetY = LoadI32(h + kPageOffsetYAt);
    const uint32_t colorantCount = LoadU32(h + kPageColorantCountAt);
    if (OutOfRange(page.width, 0, kMaxWidth, name + " width", error) ||
        OutOfRange(page.height, 0, kMaxHeight, name + " height", error) ||
        OutOfRange(page.offsetX, 0, kMaxWidth, name + " offset x", error) ||
        OutOfRange(page.offsetY, 0, kMaxHeight, name + " offset y", error) ||
        OutOfRange(colorantCount, 0, kMaxColorants, name + " colorant count", error)) {
        return false;
    }
    const uint64_t headerBytes = kPageFixedSize + uint64_t(colorantCount) * kColorantEntrySize;
    if (size - pos < headerBytes) {
        error = "job data file truncated in " + name + " colorant table";
        return false;
    }
    table.resize(colorantCount * kColorantEntrySize);
    if (!file.ReadExact(pos + kPageFixedSize, table, error)) return false;

    page.colorants.clear();
    page.colorants.reserve(colorantCount);  // at most kMaxColorants
    uint64_t stride = 0;
    for (uint32_t k = 0; k < colorantCount; ++k) {
        const uint8_t* entry = table.data() + uint64_t(k) * kColorantEntrySize;
        const int32_t bits = LoadI32(entry);
        const std::string what = name + " colorant " + Num(k);
        if (!IsValidBitsPerPixel(bits)) {
            error = "job data file damaged: " + what + " has " + Num(bits) +
                    " bits per pixel (1, 2, 4, 8 or 16 expected)";
            return false;
        }
        const uint8_t* text = entry + 4;
        const void* nul = std::memchr(text, 0, kNameFieldSize);
        if (!nul) {
            error = "job data file damaged: " + what + " name is not NUL-terminated within " +
                    Num(kNameFieldSize) + " bytes";
            return false;
        }
        const uint64_t rowBytes = PackedRowBytes(page.width, bits);
        page.colorants.push_back({std::string(reinterpret_cast<const char*>(text),
                                              static_cast<const uint8_t*>(nul) - text),
                                  bits, stride, rowBytes});
        stride += rowBytes;
    }
    const uint32_t rowBytesField = LoadU32(h + kPageRowBytesAt);
    if (rowBytesField != stride) {
        error = "job data file damaged: " + name + " row size " + Num(rowBytesField) +
                " does not match its colorants (" + Num(int64_t(stride)) + ")";
        return false;
    }

    const bool beingWritten = counts.writing != 0 && index == counts.writePage;
    if (beingWritten && counts.writeRows > page.height) {
        error = "job data file damaged: " + Num(counts.writeRows) + " rows of " + name +
                " are said to be written but it has " + Num(page.height);
        return false;
    }
    page.availableRows = beingWritten ? counts.writeRows : page.height;
    page.rowStride = stride;
    page.rowsFileOffset = pos + headerBytes;

    // All factors are bounded above, but the checks keep that from being an assumption.
    uint64_t present = 0, presentEnd = 0, full = 0;
    if (__builtin_mul_overflow(uint64_t(page.availableRows), stride, &present) ||
        __builtin_add_overflow(page.rowsFileOffset, present, &presentEnd) || presentEnd > size) {
        error = "job data file truncated in " + name + " rows (" + Num(page.availableRows) +
                " rows need " + Num(int64_t(present)) + " bytes, " +
                Num(int64_t(size - std::min(size, page.rowsFileOffset))) + " present)";
        return false;
    }
    if (__builtin_mul_overflow(uint64_t(page.height), stride, &full) ||
        __builtin_add_overflow(page.rowsFileOffset, full, &next)) {
        error = "job data file damaged: " + name + " is too large";
        return false;
    }
    return true;
}

}  // namespace

bool ParseJobFile(std::span<const uint8_t> head, JobFileReader& file, ParsedJob& out,
                  std::string& error) {
    out = {};
    uint64_t pos = 0;
    if (!CheckFileHeader(head, file.size(), pos, out.counts, error)) return false;

    // Pages are added as they are found in the file, so memory follows the real file size and
    // never a count read from it.
    std::vector<uint8_t> table;
    for (int i = 0; i < out.counts.jobPages; ++i) {
        PageLayout page;
        uint64_t next = 0;
        if (!ParsePage(file, pos, i, out.counts, page, next, table, error)) return false;
        out.pages.push_back(std::move(page));
        pos = next;
    }
    if (out.counts.writing == 0 && !out.pages.empty() &&
        out.counts.writeRows != out.pages.back().height) {
        error = "job data file damaged: the finished job says " + Num(out.counts.writeRows) +
                " rows of its last page were written but that page has " +
                Num(out.pages.back().height);
        return false;
    }
    return true;
}

}  // namespace tarnwick
