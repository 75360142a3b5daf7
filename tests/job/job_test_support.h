// Helpers for the job library tests: a deterministic picture, a packer that works pixel by pixel
// (independent of the byte-wise code under test) and a check of a loaded job against the picture.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "host/aob_list.h"
#include "host/job/colorant.h"
#include "host/job/image.h"
#include "host/job/job_writer.h"
#include "host/job/ox_job.h"
#include "support/temp_dir.h"

namespace tarnwick::jobtest {

using TempDir = test::TempDir;

inline uint32_t Pixel(int page, int colorant, int row, int x, int bits) {
    uint32_t h = uint32_t(page * 7919 + colorant * 104729 + row * 31 + x * 17 + 5) * 2654435761u;
    return (h >> 8) & ((1u << bits) - 1);
}

inline std::vector<uint8_t> Pack(const std::vector<uint32_t>& values, int bits) {
    std::vector<uint8_t> out((values.size() * bits + 7) / 8, 0);
    for (size_t i = 0; i < values.size(); ++i) {
        for (int b = 0; b < bits; ++b) {
            if ((values[i] >> (bits - 1 - b)) & 1) {
                size_t bit = i * bits + b;
                out[bit / 8] |= uint8_t(0x80 >> (bit % 8));
            }
        }
    }
    return out;
}

// Row of the test picture with `blank` empty pixels in front.
inline std::vector<uint8_t> PictureRow(int page, int colorant, int row, int width, int bits,
                                       int blank = 0) {
    std::vector<uint32_t> values(size_t(blank), 0);
    for (int x = 0; x < width; ++x) values.push_back(Pixel(page, colorant, row, x, bits));
    return Pack(values, bits);
}

inline bool AppendPictureRows(JobWriter& writer, const PageFormat& layout, int page, int firstRow,
                              int count, std::string& error) {
    for (int row = firstRow; row < firstRow + count; ++row) {
        std::vector<std::vector<uint8_t>> rows;
        std::vector<std::span<const uint8_t>> views;
        for (size_t c = 0; c < layout.colorants.size(); ++c) {
            rows.push_back(
                PictureRow(page, int(c), row, layout.width, layout.colorants[c].bitsPerPixel));
        }
        for (const auto& r : rows) views.emplace_back(r);
        if (!writer.AppendRow(views, error)) return false;
    }
    return true;
}

// Writes every page in full and finishes the job.
inline void WritePictureJob(const std::string& path, const std::vector<PageFormat>& pages) {
    std::string error;
    auto writer = JobWriter::Create(path, error);
    ASSERT_TRUE(writer) << error;
    for (size_t p = 0; p < pages.size(); ++p) {
        ASSERT_TRUE(writer->BeginPage(pages[p], error)) << error;
        ASSERT_TRUE(AppendPictureRows(*writer, pages[p], int(p), 0, pages[p].height, error))
            << error;
        ASSERT_TRUE(writer->EndPage(error)) << error;
    }
    ASSERT_TRUE(writer->Finish(error)) << error;
}

// One row through ReadRows, or nothing when it is refused. Checks that the image writes
// exactly one row and leaves the destination untouched on refusal.
inline std::optional<std::vector<uint8_t>> ReadRow(AImage& image, const AColorant& colorant,
                                                   int row) {
    const size_t size = (size_t(image.GetWidth()) * colorant.GetBitsPerPixel() + 7) / 8;
    std::vector<uint8_t> buffer(size + 8, 0xA5);
    const int ok = image.ReadRows(&colorant, row, 1, buffer.data(), 0);
    const size_t untouchedFrom = ok ? size : 0;
    for (size_t i = untouchedFrom; i < buffer.size(); ++i) {
        EXPECT_EQ(buffer[i], 0xA5) << "byte " << i << " of row " << row << " written";
    }
    if (!ok) return std::nullopt;
    buffer.resize(size);
    return buffer;
}

// Every page of a loaded job against the picture its `pages` were written with (offsets dropped):
// the colorants, every row present (all of a finished page, the written ones of the page being
// written) and the refusal of the row after them.
inline void ExpectPicture(OXJob& job, const std::vector<PageFormat>& pages) {
    for (int p = 0; p < job.m_nJobPages; ++p) {
        SCOPED_TRACE("page " + std::to_string(p));
        auto* image = dynamic_cast<AGroupImage*>(job.GetImage(unsigned(p)));
        ASSERT_NE(image, nullptr);
        const PageFormat& page = pages.at(size_t(p));
        image->SetOffset(-page.offsetX, -page.offsetY);
        const int present = image->GetAvailableRows();
        const bool live = job.m_bWriting && p == job.m_nWritePage;
        EXPECT_EQ(present, live ? job.m_nWriteRows : image->GetHeight());
        AObList list(0, 10);
        image->GetColorants(list);
        ASSERT_EQ(size_t(list.GetCount()), page.colorants.size());
        for (int c = 0; c < list.GetCount(); ++c) {
            const AColorant& colorant = *list.GetAt(c);
            EXPECT_STREQ(colorant.GetName().c_str(), page.colorants[size_t(c)].name.c_str());
            EXPECT_EQ(colorant.GetBitsPerPixel(), page.colorants[size_t(c)].bitsPerPixel);
            EXPECT_EQ(colorant.GetChannelIndex(), c);
            for (int row = 0; row < present; ++row) {
                EXPECT_EQ(ReadRow(*image, colorant, row),
                          PictureRow(p, c, row, page.width, colorant.GetBitsPerPixel()))
                    << "colorant " << c << " row " << row;
            }
            if (present < image->GetHeight()) {
                EXPECT_EQ(ReadRow(*image, colorant, present), std::nullopt);
            }
        }
    }
    EXPECT_EQ(job.GetImage(unsigned(job.m_nJobPages)), nullptr);
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes, size_t n) {
    // A fresh file: truncating one that holds data makes some file systems flush it, slowly.
    std::filesystem::remove(path);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(n));
}

}  // namespace tarnwick::jobtest
