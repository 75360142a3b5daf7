// Pages written by JobWriter come back unchanged through OXJob, also while the host is still
// writing; placement of a page's content; refusal of bad reads and of damaged files
// (all in job_writer.txt), never reading out of bounds. The picture is packed pixel by pixel, apart
// from the byte-wise code under test.
#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <tuple>

#include "cli/cli_fixture.h"
#include "host/aob_list.h"
#include "host/job/bit_copy.h"
#include "host/job/colorant.h"
#include "host/job/image.h"
#include "host/job/job_format.h"
#include "host/job/job_writer.h"
#include "host/job/ox_job.h"
#include "rtl/text_table.h"

namespace tarnwick {
namespace {

using test::TempDir;

uint32_t Pixel(int page, int colorant, int row, int x, int bits) {
    uint32_t h = uint32_t(page * 7919 + colorant * 104729 + row * 31 + x * 17 + 5) * 2654435761u;
    return (h >> 8) & ((1u << bits) - 1);
}

std::vector<uint8_t> Pack(const std::vector<uint32_t>& values, int bits) {
    std::vector<uint8_t> out((values.size() * bits + 7) / 8, 0);
    for (size_t bit = 0; bit < values.size() * bits; ++bit) {
        if ((values[bit / bits] >> (bits - 1 - bit % bits)) & 1) out[bit / 8] |= 0x80 >> bit % 8;
    }
    return out;
}

// Row of the test picture with `blank` empty pixels in front.
std::vector<uint8_t> PictureRow(int page, int colorant, int row, int width, int bits,
                                int blank = 0) {
    std::vector<uint32_t> values(size_t(blank), 0);
    for (int x = 0; x < width; ++x) values.push_back(Pixel(page, colorant, row, x, bits));
    return Pack(values, bits);
}

bool AppendPictureRows(JobWriter& writer, const PageFormat& layout, int page, int firstRow,
                       int count, std::string& error) {
    for (int row = firstRow; row < firstRow + count; ++row) {
        std::vector<std::vector<uint8_t>> rows;
        for (const ColorantFormat& c : layout.colorants) {
            rows.push_back(PictureRow(page, int(rows.size()), row, layout.width, c.bitsPerPixel));
        }
        const std::vector<std::span<const uint8_t>> views(rows.begin(), rows.end());
        if (!writer.AppendRow(views, error)) return false;
    }
    return true;
}

// One row through ReadRows, or nothing when it is refused; the image writes exactly one row and
// leaves the destination untouched on refusal.
std::optional<std::vector<uint8_t>> ReadRow(AImage& image, const AColorant& colorant, int row) {
    const size_t size = (size_t(image.GetWidth()) * colorant.GetBitsPerPixel() + 7) / 8;
    std::vector<uint8_t> buffer(size + 8, 0xA5);
    const int ok = image.ReadRows(&colorant, row, 1, buffer.data(), 0);
    for (size_t i = ok ? size : 0; i < buffer.size(); ++i) {
        EXPECT_EQ(buffer[i], 0xA5) << "byte " << i << " of row " << row << " written";
    }
    if (!ok) return std::nullopt;
    buffer.resize(size);
    return buffer;
}

// Every page of a loaded job against the picture its `pages` were written with (offsets dropped):
// the colorants, every row present (all of a finished page, the written ones of the page being
// written) and the refusal of the row after them.
void ExpectPicture(OXJob& job, const std::vector<PageFormat>& pages) {
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
            EXPECT_EQ(std::tuple(colorant.GetName().str(), colorant.GetBitsPerPixel(),
                                 colorant.GetChannelIndex()),
                      std::tuple(page.colorants[size_t(c)].name,
                                 page.colorants[size_t(c)].bitsPerPixel, c));
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

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes, size_t n) {
    // A fresh file: truncating one that holds data makes some file systems flush it, slowly.
    std::filesystem::remove(path);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), n);
}

std::vector<std::unique_ptr<AColorant>> Colorants(const AImage& image) {
    AObList list(0, 10);
    image.GetColorants(list);
    std::vector<std::unique_ptr<AColorant>> out;
    for (int i = 0; i < list.GetCount(); ++i) out.push_back(list.Release(i));
    return out;
}

// A byte offset of the table: a number, or a part of the finished three-page file with an optional
// +/- number.
size_t Offset(const std::string& text) {
    const std::pair<const char*, size_t> parts[] = {
        {"P0", 64}, {"R0", 300}, {"P1", 351}, {"R1", 451}, {"P2", 459}, {"R2", 559}, {"END", 575}};
    const size_t sign = text.find_first_of("+-", 1);
    const long delta = sign == std::string::npos ? 0 : std::stol(text.substr(sign));
    for (const auto& [name, at] : parts) {
        if (text.substr(0, sign) == name) return size_t(long(at) + delta);
    }
    return size_t(std::stol(text, nullptr, 0));
}

TEST(JobWriter, EveryStepOfTheScriptLoadsConsistently) {
    const std::map<std::string, size_t> arguments = {{"create", 1}, {"batched", 2}, {"begin", 5},
                                                     {"rows", 2},   {"row", 1},     {"end", 0},
                                                     {"finish", 0}};
    TempDir dir;
    std::unique_ptr<JobWriter> writer;
    std::string path, error;
    std::vector<PageFormat> pages;
    std::unique_ptr<OXJob> last, kept;
    std::vector<std::unique_ptr<AColorant>> taken;
    WriteBytes(dir.file("text.twj"), {'h', 'e', 'l', 'l', 'o'}, 5);
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
    EXPECT_EQ(OXJob(0).Load(nullptr), 0);
    for (const test::TableRow& r : test::ReadTable(__FILE__, "job_writer.txt")) {
        SCOPED_TRACE(r.where);
        const std::string& op = r[0];
        bool ok = true;
        error.clear();
        if (op == "create" || op == "batched") {
            path = dir.file(r[1]);
            pages.clear();
            writer = JobWriter::Create(path, error, op == "batched" ? std::stoul(r[2]) : 0);
            ok = writer != nullptr;
        } else if (op == "begin") {
            PageFormat page{r.Int(1), r.Int(2), r.Int(3), r.Int(4), {}};
            for (const std::string& c :
                 r[5] == "-" ? std::vector<std::string>{} : test::Split(r[5], ',')) {
                page.colorants.push_back(
                    {c.substr(0, c.rfind(':')), std::stoi(c.substr(c.rfind(':') + 1))});
            }
            if ((ok = writer->BeginPage(page, error))) pages.push_back(page);
        } else if (op == "rows") {
            ok = AppendPictureRows(*writer, pages.back(), int(pages.size()) - 1, r.Int(1), r.Int(2),
                                   error);
        } else if (op == "row") {
            std::vector<std::vector<uint8_t>> rows;
            for (const std::string& size : test::Split(r[1], ','))
                rows.emplace_back(std::stoul(size));
            ok = writer->AppendRow(std::vector<std::span<const uint8_t>>(rows.begin(), rows.end()),
                                   error);
        } else if (op == "end" || op == "finish") {
            ok = op == "end" ? writer->EndPage(error) : writer->Finish(error);
        } else if (op == "drop") {
            writer.reset();
        } else if (op == "truncate") {
            std::filesystem::resize_file(path, r.Int(1));
        } else if (op == "load") {
            last = std::make_unique<OXJob>(0);
            ASSERT_EQ(last->Load(path.c_str()), 1) << last->lastError();
            EXPECT_EQ(std::tuple(last->m_bWriting, last->m_nJobPages, last->m_nWritePage,
                                 last->m_nWriteRows),
                      std::tuple(r.Int(1), r.Int(2), r.Int(3), r.Int(4)));
            std::string heights;
            for (int p = 0; p < last->m_nJobPages && last->GetImage(unsigned(p)); ++p) {
                heights +=
                    (p ? "," : "") + std::to_string(last->GetImage(unsigned(p))->GetHeight());
            }
            EXPECT_EQ(heights.empty() ? "-" : heights, r[5]);
            ExpectPicture(*last, pages);
        } else if (op == "cuts") {
            const std::vector<uint8_t> bytes = test::ReadBytes(path);
            ASSERT_LE(size_t(r.Int(1)), bytes.size());
            for (size_t size = 0; size <= bytes.size(); ++size) {
                WriteBytes(dir.file("0_copy.twj"), bytes, size);
                OXJob copy(0);
                const bool loaded = copy.Load(dir.file("0_copy.twj").c_str()) == 1;
                EXPECT_EQ(loaded, size >= size_t(r.Int(1))) << size << ": " << copy.lastError();
                EXPECT_EQ(loaded ? copy.m_nJobPages : r.Int(2), r.Int(2));
                if (loaded) ExpectPicture(copy, pages);
            }
        } else if (op == "image") {
            auto& image = dynamic_cast<AGroupImage&>(*last->GetImage(unsigned(r.Int(1))));
            int x = -1, y = -1;
            image.GetOffset(x, y);
            EXPECT_EQ(std::tuple(x, y, image.m_nBitsPerPixel),
                      std::tuple(r.Int(2), r.Int(3), r.Int(4)));
        } else if (op == "rowsat") {
            const int page = r.Int(1), c = r.Int(2), first = r.Int(3), count = r.Int(4);
            const auto colorant =
                std::move(Colorants(*last->GetImage(unsigned(page))).at(size_t(c)));
            std::vector<uint8_t> got, want;
            for (int row = first; row < first + count; ++row) {
                const auto one = PictureRow(page, c, row, pages[size_t(page)].width,
                                            colorant->GetBitsPerPixel());
                want.insert(want.end(), one.begin(), one.end());
            }
            got.resize(want.size());
            EXPECT_EQ(last->GetImage(unsigned(page))
                          ->ReadRows(colorant.get(), first, count, got.data(), 0),
                      1);
            EXPECT_EQ(got, want);
        } else if (op == "take") {
            taken = Colorants(*last->GetImage(unsigned(r.Int(1))));
        } else if (op == "close") {
            last->CloseData();
            EXPECT_EQ(last->GetImage(0), nullptr);
        } else if (op == "name") {
            const AFilePath ticket(r[2].c_str());
            EXPECT_EQ(OXJob::GetFileName(eHardCodePrefix(r.Int(1)), ticket).c_str(), r[3]);
        } else if (op == "refused") {
            OXJob other(0);
            ASSERT_EQ(other.Load(path.c_str()), 1) << other.lastError();
            EXPECT_EQ(other.Load(r[1] == "(none)" ? "" : dir.file(r[1]).c_str()), 0);
            EXPECT_NE(other.lastError().find(r[2]), std::string::npos) << other.lastError();
            // nothing of the earlier load survives
            EXPECT_EQ(std::tuple(other.m_nJobPages, other.GetImage(0)), std::tuple(0, nullptr));
        } else if (op == "place") {
            auto& image = dynamic_cast<AGroupImage&>(*last->GetImage(0));
            image.SetOffset(r.Int(1), r.Int(2));
            int x = 0, y = 0;
            image.GetOffset(x, y);
            EXPECT_EQ(std::tuple(image.GetWidth(), image.GetHeight(), x, y),
                      std::tuple(r.Int(3), r.Int(4), pages[0].offsetX, pages[0].offsetY));
        } else if (op == "read") {
            const AColorant colorant(r[1].c_str(), r.Int(2), r.Int(3));
            EXPECT_EQ(ReadRow(*last->GetImage(0), colorant, r.Int(4)),
                      r[5] == "-" ? std::nullopt : std::optional(test::HexBytes(r[5])));
        } else if (op == "cut" || op == "patch") {
            std::vector<uint8_t> bytes = test::ReadBytes(path);
            std::istringstream patches(op == "patch" ? r[1] : "");
            for (std::string patch; std::getline(patches, patch, ',');) {
                const size_t eq = patch.find('=');
                job_format::StoreI32(&bytes[Offset(patch.substr(0, eq))],
                                     int32_t(std::stoll(patch.substr(eq + 1), nullptr, 0)));
            }
            // Refused with a reason, keeping nothing.
            WriteBytes(dir.file("0_bad.twj"), bytes, op == "cut" ? Offset(r[1]) : bytes.size());
            OXJob damaged(0);
            EXPECT_EQ(std::tuple(damaged.Load(dir.file("0_bad.twj").c_str()), damaged.m_nJobPages,
                                 damaged.GetImage(0)),
                      std::tuple(0, 0, nullptr));
            EXPECT_NE(damaged.lastError().find(r[2]), std::string::npos) << damaged.lastError();
        } else if (op == "keep") {
            kept = std::move(last);
        } else if (op == "taken") {
            const int page = r.Int(1), c = r.Int(2), row = r.Int(3);
            const AColorant& colorant = *taken.at(size_t(c));
            EXPECT_EQ(ReadRow(*last->GetImage(unsigned(page)), colorant, row),
                      r[4] == "0"
                          ? std::nullopt
                          : std::optional(PictureRow(page, c, row, pages[size_t(page)].width,
                                                     colorant.GetBitsPerPixel())));
        } else {
            ASSERT_EQ(op, "kept");
            const int page = r.Int(1), bits = r.Int(3), channel = r.Int(4), row = r.Int(5);
            EXPECT_EQ(ReadRow(*kept->GetImage(unsigned(page)),
                              AColorant(r[2].c_str(), bits, channel), row),
                      r[6] == "0" ? std::nullopt
                                  : std::optional(PictureRow(page, channel, row,
                                                             pages[size_t(page)].width, bits)));
            if (r.words.size() > 7) {
                EXPECT_NE(kept->readError().find(r[7]), std::string::npos);
            }
        }
        // A step refused must say why, with the table's message.
        const std::string refusal =
            arguments.contains(op) && r.words.size() > arguments.at(op) + 1 ? r.words.back() : "";
        EXPECT_EQ(ok, refusal.empty()) << error;
        EXPECT_NE(ok ? 0 : error.find(refusal), std::string::npos) << error;
    }
}

TEST(JobBitCopy, MatchesPixelWisePackingForEveryShift) {
    for (int bits : {1, 2, 4, 8, 16}) {
        for (int blank = 0; blank < 10; ++blank) {
            for (int width = 0; width < 12; ++width) {
                std::vector<uint32_t> values;
                for (int x = 0; x < width; ++x) values.push_back(Pixel(0, 0, 0, x, bits));
                std::vector<uint8_t> src = Pack(values, bits);
                // Padding bits in the source must not reach the output.
                if ((width * bits) % 8) src.back() |= uint8_t(0xFF >> ((width * bits) % 8));
                values.insert(values.begin(), size_t(blank), 0);
                const std::vector<uint8_t> expected = Pack(values, bits);
                std::vector<uint8_t> dest(expected.size(), 0x5A);
                CopyBitsAfterBlank(dest, src, uint64_t(blank) * bits, uint64_t(width) * bits);
                EXPECT_EQ(dest, expected) << bits << " bits, " << blank << " blank, " << width;
            }
        }
    }
}

// Bad reads are refused and write nothing.
TEST(JobFiles, BadReadsWriteNothing) {
    TempDir dir;
    test::WriteJobData(dir.file("0_k.twj"), {test::TestPage{5, 3, 0, 0, {{"K", 4}}}});
    OXJob job(0);
    ASSERT_EQ(job.Load(dir.file("0_k.twj").c_str()), 1) << job.lastError();
    std::vector<uint8_t> dest(16, 0xA5);
    const AColorant k{"K", 4, 0};
    const std::tuple<const AColorant*, int, int, uint8_t*> bad[] = {
        {nullptr, 0, 1, dest.data()}, {&k, 0, 1, nullptr},     {&k, 0, 0, dest.data()},
        {&k, 0, -1, dest.data()},     {&k, 2, 2, dest.data()}, {&k, 1, INT_MAX, dest.data()},
        {&k, INT_MAX, 1, dest.data()}};
    for (const auto& [colorant, row, count, to] : bad) {
        EXPECT_EQ(job.GetImage(0)->ReadRows(colorant, row, count, to, 0), 0) << row << " " << count;
    }
    EXPECT_EQ(dest, std::vector<uint8_t>(16, 0xA5));
}

}  // namespace
}  // namespace tarnwick
