// The job data file reader: a file is refused with a reason or every page it announces reads
// back within its rows; rows out of range are refused without touching the destination. A file
// that loads and is small is also printed, the host never finishing it if it says it is writing.
#include <algorithm>
#include <climits>
#include <memory>

#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "host/aob_list.h"
#include "host/job/colorant.h"
#include "host/job/image.h"
#include "host/job/ox_job.h"

namespace tarnwick::fuzz {
namespace {

constexpr uint8_t kUntouched = 0xA5;

struct Reader {
    Invariants& check;
    int64_t budget = int64_t{4} << 20;  // row bytes per input, so that absurd widths stay quick

    // Into a buffer of exactly the rows' size, so that the sanitizer sees a write past it.
    int Read(AImage& image, const AColorant& colorant, int row, int rowCount, int64_t rowBytes) {
        const int64_t bytes = rowBytes * rowCount;
        budget -= bytes;
        auto buffer = std::make_unique<uint8_t[]>(static_cast<std::size_t>(bytes));
        std::fill_n(buffer.get(), bytes, kUntouched);
        const int result = image.ReadRows(&colorant, row, rowCount, buffer.get(), 0);
        if (result == 0) {
            check.Check(std::count(buffer.get(), buffer.get() + bytes, kUntouched) == bytes,
                        "a refused read leaves the destination untouched");
        }
        return result;
    }

    void Colorant(AImage& image, const AColorant& colorant, bool complete) {
        const int height = image.GetHeight();
        const int64_t rowBytes = (int64_t{image.GetWidth()} * colorant.GetBitsPerPixel() + 7) / 8;
        for (int row : {0, 1, height / 2, height - 1}) {
            if (row < 0 || row >= height || budget < rowBytes) continue;
            const int result = Read(image, colorant, row, 1, rowBytes);
            if (complete) check.Check(result == 1, "every row of a complete page reads");
        }
        if (budget < 2 * rowBytes) return;
        for (int row : {-1, height, INT_MAX}) {
            check.Check(Read(image, colorant, row, 1, rowBytes) == 0,
                        "rows outside the page are not available");
        }
        if (height > 0) {
            check.Check(Read(image, colorant, height - 1, 2, rowBytes) == 0,
                        "a read running past the last row is refused");
        }
    }

    void Page(OXJob& job, unsigned page) {
        auto* image = dynamic_cast<AGroupImage*>(job.GetImage(page));
        check.Check(image != nullptr, "every page the file announces has an image");
        if (image == nullptr) return;
        const bool complete = job.m_bWriting == 0 || static_cast<int>(page) < job.m_nWritePage;
        AObList colorants(0, 10);
        image->GetColorants(colorants);
        int x = 0, y = 0;
        image->GetOffset(x, y);
        // As placed in the file, then with the placement dropped as the engine does.
        for (const auto& [dx, dy] : {std::pair{0, 0}, std::pair{-x, -y}}) {
            image->SetOffset(dx, dy);
            check.Check(image->GetWidth() >= 0 && image->GetHeight() >= 0,
                        "page sizes are not negative");
            for (int c = 0; c < std::min(colorants.GetCount(), 4); ++c) {
                Colorant(*image, *colorants.GetAt(c), complete);
            }
        }
        if (budget > 0) {
            check.Check(Read(*image, AColorant("Stranger", 1, 99), 0, 1, 1) == 0,
                        "a colorant of another page is not available");
        }
    }
};

// At most eight pages of at most 2048 pixels each way are printed.
bool SmallEnoughToPrint(OXJob& job) {
    if (job.m_nJobPages > 8) return false;
    for (int p = 0; p < job.m_nJobPages; ++p) {
        auto* image = dynamic_cast<AGroupImage*>(job.GetImage(static_cast<unsigned>(p)));
        if (image == nullptr || image->GetWidth() > 2048 || image->GetHeight() > 2048) return false;
    }
    return true;
}

}  // namespace

int FuzzJobData(const uint8_t* data, size_t size) {
    Invariants check("job_data");
    FuzzRun run;
    const std::string path = DataFileFor(run.Ticket());
    if (!WriteBytes(path, {data, size})) {
        check.Check(false, "the run's files can be written");
        return check.failures();
    }
    bool print = false;
    {
        OXJob job(0);
        if (job.Load(path.c_str()) == 0) {
            check.Check(!job.lastError().empty(), "a refused file says why");
            check.Check(job.m_nJobPages == 0 && job.GetImage(0) == nullptr,
                        "a refused file has no pages");
        } else {
            check.Check(job.m_nJobPages >= 0, "the page count is not negative");
            Reader reader{check};
            const unsigned pages = std::min(static_cast<unsigned>(job.m_nJobPages), 16u);
            for (unsigned p = 0; p < pages; ++p) reader.Page(job, p);
            check.Check(job.GetImage(static_cast<unsigned>(job.m_nJobPages)) == nullptr,
                        "no page past the count");
            print = SmallEnoughToPrint(job);
        }
    }
    if (print) {
        // A host that says it is still writing never adds a row: after a few waits its file goes
        // away, which ends the job.
        int waits = 0;
        run.Clock().onSleep = [&](uint32_t) {
            if (++waits == 3) std::remove(path.c_str());
        };
        run.Clock().SetAutoAdvance(40);
        PrintJob(check, run, TicketBytes("CP52", 180, 2, false), nullptr, 48, false);
        run.Clock().onSleep = nullptr;
    }
    return check.failures();
}

}  // namespace tarnwick::fuzz
