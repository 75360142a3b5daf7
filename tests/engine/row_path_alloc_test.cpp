// Once a page has started, its rows go out without touching the heap and without writes other than
// the flushes of the 1 MiB buffer. Allocations are counted by replacing glibc's malloc (which
// operator new calls); where a sanitizer owns malloc, the counting tests are skipped.
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <memory>

#include "driver/cdriver.h"
#include "halftone/pipeline.h"
#include "support/fake_clock.h"
#include "support/job_fixture.h"

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define TARNWICK_COUNT_MALLOC 1
#endif

namespace {

std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};

}  // namespace

#if defined(TARNWICK_COUNT_MALLOC)
// glibc's own allocator under its internal names; free stays glibc's.
extern "C" {
void* __libc_malloc(std::size_t n);
void* __libc_calloc(std::size_t n, std::size_t size);
void* __libc_realloc(void* p, std::size_t n);

void* malloc(std::size_t n) {
    if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1);
    return __libc_malloc(n);
}
void* calloc(std::size_t n, std::size_t size) {
    if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1);
    return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t n) {
    if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1);
    return __libc_realloc(p, n);
}
}
#define SKIP_WITHOUT_COUNTER()
#else
#define SKIP_WITHOUT_COUNTER() GTEST_SKIP() << "a sanitizer owns malloc"
#endif

namespace tarnwick {
namespace {

// Counts the allocations made while it exists.
struct AllocationWindow {
    AllocationWindow() { g_counting = true; }
    ~AllocationWindow() { g_counting = false; }
    long Count() const { return g_allocations.load() - start; }
    long start = g_allocations.load();
};

// A page of six 1-bit inks, 2,048 pixels wide and 3,000 rows long, at 720 dpi on the CP52, with
// and without the colour bar: no pixel repetition, incompressible content so that the output
// buffer is flushed several times while rows are sent.
TEST(RowPathAllocations, RowsAfterThePageStartAllocateNothing) {
    SKIP_WITHOUT_COUNTER();
    {
        // The counter sees new and calloc.
        AllocationWindow window;
        auto one = std::make_unique<int>(2);
        std::free(std::calloc(4, 16));
        ASSERT_EQ(window.Count(), 2);
    }
    constexpr int kRows = 3000;
    FakeClock clock;
    ScopedClock useClock{&clock};
    test::TestPage page{
        2048, kRows, 0, 0, {{"Cyan"}, {"Magenta"}, {"Yellow"}, {"Black"}, {"LCyan"}, {"LMagenta"}}};
    page.content = [](int c, int r, int i) {
        return static_cast<uint8_t>(
            ((uint32_t(r) * 2654435761u) ^ (uint32_t(i) * 40503u) ^ (uint32_t(c) * 97u)) >> 11);
    };
    for (const uint8_t colorBar : {0, 1}) {
        SCOPED_TRACE(colorBar);
        test::TempDir dir;
        JobTicket ticket = test::DefaultTicket("CP52", 720, 2);
        ticket.settings[offsetof(PrinterSettings, colorBar)] = colorBar;
        auto job = test::MakeJob(dir, ticket, {page});
        test::MemoryChannel out;
        out.keep = false;  // so that the host side allocates nothing either
        CDriver d;
        clock.SetAutoAdvance(0);
        ASSERT_EQ(d.OpenJob(job.get(), &out), 1);
        ASSERT_EQ(d.PrintStep(nullptr, nullptr, nullptr), 1);  // page start: buffers are made here
        const JobContext& ctx = *d.CurrentJobContext();
        clock.SetAutoAdvance(70);  // every look at the clock moves it on: three rows per step
        const int writesBefore = out.writes;
        const int64_t bytesBefore = out.taken;
        int steps = 0;
        const AllocationWindow window;
        while (ctx.m_bPageDone == 0 && steps < 10 * kRows && d.PrintStep(nullptr, nullptr, nullptr))
            ++steps;
        const long allocations = window.Count();
        ASSERT_EQ(ctx.m_nCurRow, kRows);
        EXPECT_GE(steps, kRows / 4);
        EXPECT_EQ(allocations, 0) << "over " << kRows << " rows in " << steps << " steps";
        // Only full buffers (of 1048544 bytes) went out while rows were sent.
        EXPECT_GE(out.writes - writesBefore, 3);
        EXPECT_LE(out.writes - writesBefore, (out.taken - bytesBefore) / 1048544 + 1);
    }
}

// The host's halftoning stage is counted here too, where the counter lives: once a page's
// pipeline is made, its bands (both threads) allocate nothing, by either method.
TEST(HalftoneAllocations, BandsAfterThePipelineIsMadeAllocateNothing) {
    SKIP_WITHOUT_COUNTER();
    std::string error;
    const auto data =
        halftone::LoadInkData(TARNWICK_SOURCE_DATADIR "/OutputDrivers/Halftone.xml", error);
    ASSERT_TRUE(data) << error;
    const std::vector<std::string> inks = {"Cyan",  "Magenta", "Yellow",
                                           "Black", "LCyan",   "LMagenta"};
    const std::vector<uint8_t> pixels(300 * 8 * 3, 140);  // 8 rows of 300 RGB pixels
    for (const auto method : {halftone::Method::kDiffusion, halftone::Method::kScreen}) {
        std::vector<std::string> warnings;
        auto separator = halftone::Separator::Create({halftone::PixelFormat::kRgb8, {}, {}, inks},
                                                     *data, warnings, error);
        ASSERT_TRUE(separator) << error;
        halftone::HalftoneSetup setup;
        setup.method = method;
        setup.dither.amounts.assign(inks.size(), {0.0f, 0.5f, 0.9f});
        setup.dither.levelCount = 3;
        setup.dither.noiseLevel = 0.5f;
        setup.dither.antiClogLevel = 1;
        setup.tiles = halftone::TilesForInks(ScreeningRecord{}, inks, 360, 360, warnings);
        halftone::Pipeline pipeline(std::move(separator), setup, 300, 8);
        ASSERT_TRUE(pipeline.Band(pixels, 8));  // the first band may warm anything up
        bool banded = true;
        AllocationWindow window;
        for (int band = 0; band < 10; ++band) banded = pipeline.Band(pixels, 8) && banded;
        const long allocations = window.Count();
        EXPECT_TRUE(banded);
        EXPECT_EQ(allocations, 0);
    }
}

}  // namespace
}  // namespace tarnwick
