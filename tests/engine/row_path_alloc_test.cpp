// Once a page has started, its rows go out without touching the heap and without output writes
// other than the flushes of the 1 MiB buffer. Allocations are counted by replacing the global
// operator new and, where no sanitizer owns malloc, malloc itself; both count only while a
// window is open, so the rest of the test program is not affected.
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "driver/cdriver.h"
#include "halftone/pipeline.h"
#include "platform/clock.h"
#include "support/fake_clock.h"
#include "support/job_fixture.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define TARNWICK_SANITIZER_OWNS_MALLOC 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TARNWICK_SANITIZER_OWNS_MALLOC 1
#endif
#if defined(__GLIBC__) && !defined(TARNWICK_SANITIZER_OWNS_MALLOC)
#define TARNWICK_COUNT_MALLOC 1
#endif

namespace {

std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};

void CountAllocation() {
    if (g_counting.load(std::memory_order_relaxed)) {
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    }
}

// operator new below goes through malloc; where malloc is counted, new must not count again.
#if defined(TARNWICK_COUNT_MALLOC)
constexpr bool kNewCounts = false;
#else
constexpr bool kNewCounts = true;
#endif

void* Allocate(std::size_t n) {
    if (kNewCounts) CountAllocation();
    return std::malloc(n != 0 ? n : 1);
}

void* AllocateAligned(std::size_t n, std::align_val_t align) {
    if (kNewCounts) CountAllocation();
    const auto a = static_cast<std::size_t>(align);
    return std::aligned_alloc(a, (n + a - 1) / a * a);
}

}  // namespace

#if defined(TARNWICK_COUNT_MALLOC)
// glibc's own allocator under its internal names; free stays glibc's.
extern "C" {
void* __libc_malloc(std::size_t n);
void* __libc_calloc(std::size_t n, std::size_t size);
void* __libc_realloc(void* p, std::size_t n);

void* malloc(std::size_t n) {
    CountAllocation();
    return __libc_malloc(n);
}
void* calloc(std::size_t n, std::size_t size) {
    CountAllocation();
    return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t n) {
    CountAllocation();
    return __libc_realloc(p, n);
}
}
#endif

void* operator new(std::size_t n) {
    if (void* p = Allocate(n)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
    if (void* p = Allocate(n)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    return Allocate(n);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    return Allocate(n);
}
void* operator new(std::size_t n, std::align_val_t a) {
    if (void* p = AllocateAligned(n, a)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n, std::align_val_t a) {
    if (void* p = AllocateAligned(n, a)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}

namespace tarnwick {
namespace {

// Counts the allocations made while it exists.
class AllocationWindow {
  public:
    AllocationWindow() : m_start(g_allocations.load()) { g_counting = true; }
    ~AllocationWindow() { g_counting = false; }
    AllocationWindow(const AllocationWindow&) = delete;
    AllocationWindow& operator=(const AllocationWindow&) = delete;

    long Count() const { return g_allocations.load() - m_start; }

  private:
    long m_start;
};

// Keeps nothing, so that the host side allocates nothing either.
test::MemoryChannel Counting() {
    test::MemoryChannel channel;
    channel.keep = false;
    return channel;
}

// The flush threshold of the driver's output buffer.
constexpr int64_t kFlushBytes = 1048544;

TEST(AllocationWindow, CountsNewAndMallocOnlyWhileOpen) {
    const long outside = g_allocations.load();
    auto madeOutside = std::make_unique<int>(1);
    EXPECT_EQ(g_allocations.load(), outside);

    AllocationWindow window;
    auto one = std::make_unique<int>(2);
    std::vector<uint8_t> two(4096);
    auto three = std::make_unique<uint8_t[]>(100);
    EXPECT_EQ(window.Count(), 3);
#if defined(TARNWICK_COUNT_MALLOC)
    void* four = std::malloc(64);
    void* five = std::calloc(4, 16);
    EXPECT_EQ(window.Count(), 5);
    std::free(four);
    std::free(five);
#endif
}

// A page of six 1-bit inks, 2,048 pixels wide and 3,000 rows long, at 720 dpi on the CP52:
// no pixel repetition, incompressible content so that the output buffer is flushed several
// times while rows are sent.
class RowPathAllocations : public ::testing::TestWithParam<bool> {
  protected:
    static constexpr int kRows = 3000;

    std::unique_ptr<HostJobRecord> MakeLongJob(bool colorBar) {
        JobTicket ticket = test::DefaultTicket("CP52", 720, 2);
        if (!colorBar) ticket.settings[offsetof(PrinterSettings, colorBar)] = 0;
        test::TestPage page{
            2048,
            kRows,
            0,
            0,
            {{"Cyan"}, {"Magenta"}, {"Yellow"}, {"Black"}, {"LCyan"}, {"LMagenta"}}};
        page.content = [](int c, int r, int i) {
            const uint32_t h = (static_cast<uint32_t>(r) * 2654435761u) ^
                               (static_cast<uint32_t>(i) * 40503u) ^
                               (static_cast<uint32_t>(c) * 97u);
            return static_cast<uint8_t>(h >> 11);
        };
        return test::MakeJob(dir, ticket, {page});
    }

    FakeClock clock;
    ScopedClock useClock{&clock};
    test::TempDir dir;
    test::MemoryChannel out = Counting();
};

TEST_P(RowPathAllocations, RowsAfterThePageStartAllocateNothing) {
    auto job = MakeLongJob(GetParam());
    CDriver d;
    ASSERT_EQ(d.OpenJob(job.get(), &out), 1);
    ASSERT_EQ(d.PrintStep(nullptr, nullptr, nullptr), 1);  // page start: buffers are made here
    const JobContext& ctx = *d.CurrentJobContext();
    ASSERT_EQ(ctx.m_bStartPage, 0);
    // Every look at the clock moves it 70 ms on: three rows per step.
    clock.SetAutoAdvance(70);

    const int writesBefore = out.writes;
    const int64_t bytesBefore = out.taken;
    int steps = 0;
    long allocations = 0;
    {
        AllocationWindow window;
        while (ctx.m_bPageDone == 0 && steps < 10 * kRows) {
            if (d.PrintStep(nullptr, nullptr, nullptr) != 1) break;
            ++steps;
        }
        allocations = window.Count();
    }
    ASSERT_EQ(ctx.m_nCurRow, kRows);
    EXPECT_GE(steps, kRows / 4);
    EXPECT_EQ(allocations, 0) << "over " << kRows << " rows in " << steps << " steps";

    // Only full buffers went out while rows were sent.
    const int writes = out.writes - writesBefore;
    const int64_t bytes = out.taken - bytesBefore;
    EXPECT_GE(writes, 3);
    EXPECT_LE(writes, bytes / kFlushBytes + 1);

    for (int i = 0; i < 10 && job->m_nDone != -1; ++i) {
        ASSERT_EQ(d.PrintStep(nullptr, nullptr, nullptr), 1);
    }
    EXPECT_EQ(job->m_nDone, -1);
}

INSTANTIATE_TEST_SUITE_P(ColorBar, RowPathAllocations, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "On" : "Off"; });

// The host's halftoning stage is counted here too, where the counter lives: once a page's
// pipeline is made, its bands (both threads) allocate nothing, by either method.
TEST(HalftoneAllocations, BandsAfterThePipelineIsMadeAllocateNothing) {
    std::string error;
    const auto data =
        halftone::LoadInkData(TARNWICK_SOURCE_DATADIR "/OutputDrivers/Halftone.xml", error);
    ASSERT_TRUE(data) << error;
    const std::vector<std::string> inks = {"Cyan",  "Magenta", "Yellow",
                                           "Black", "LCyan",   "LMagenta"};
    constexpr int kWidth = 300, kBand = 8;
    const std::vector<uint8_t> pixels(kWidth * kBand * 3, 140);
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
        halftone::Pipeline pipeline(std::move(separator), setup, kWidth, kBand);
        ASSERT_TRUE(pipeline.Band(pixels, kBand));  // the first band may warm anything up
        long allocations = 0;
        {
            AllocationWindow window;
            for (int band = 0; band < 10; ++band) {
                if (!pipeline.Band(pixels, kBand)) allocations = -1;
            }
            allocations = allocations < 0 ? -1 : window.Count();
        }
        EXPECT_EQ(allocations, 0);
    }
}

}  // namespace
}  // namespace tarnwick
