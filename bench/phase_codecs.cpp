// Measurements that need no job file: the memory limit, libtiff, PackBitsEncode and the row path.
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <cstdio>
#include <memory>

#include "channels.h"
#include "machine.h"
#include "phases.h"
#include "row_path.h"
#include "rtl/packbits.h"
#include "tiff_peer.h"

namespace tarnwick::bench {
namespace {

// Iterations per repetition: a repetition then takes some 100 ms or more.
constexpr int kPeerIterations = 2;
constexpr int kEncoderIterations = 8;
constexpr int kRowPathIterations = 6;

constexpr const char* kPeerName = "libtiff PackBits (TIFFWriteEncodedStrip)";
constexpr const char* kPlainName = "libtiff no compression (codec overhead)";

Result PageResult(const std::string& measurement, const Page& page, const Samples& samples,
                  int64_t outputBytes) {
    return MeasuredResult(measurement, page, samples, page.bytes(), page.planeRows(), outputBytes);
}

void AddPeer(BenchState& s, Schedule& schedule, const Page& page, uint16_t compression) {
    auto peer = std::make_shared<TiffPeer>(compression);
    auto error = std::make_shared<std::string>();
    const std::string name = compression == COMPRESSION_PACKBITS ? kPeerName : kPlainName;
    schedule.Add(name, kPeerIterations,
                 {[peer, error, &page] { return peer->EncodePage(page, *error); }},
                 [&s, &page, peer, error, name](const Samples& samples) {
                     if (!samples.ok()) return s.Problem(name + ": " + *error);
                     Result r = PageResult(name, page, samples, peer->StripBytes());
                     r.peer = name == kPeerName;
                     s.report.Add(r);
                 });
}

void AddEncoder(BenchState& s, Schedule& schedule, const Page& page) {
    auto out = std::make_shared<std::vector<uint8_t>>(
        PackBitsWorstCase(static_cast<std::size_t>(page.rowBytes())));
    auto produced = std::make_shared<int64_t>(0);
    schedule.Add("PackBitsEncode", kEncoderIterations, {[out, produced, &page] {
                     int64_t total = 0;
                     for (int64_t k = 0; k < page.planeRows(); ++k) {
                         total += PackBitsEncode(out->data(), page.PlaneRowAt(k).data(),
                                                 page.rowBytes());
                     }
                     benchmark::DoNotOptimize(out->data());
                     *produced = total;
                     return true;
                 }},
                 [&s, &page, produced](const Samples& samples) {
                     s.report.Add(PageResult(kEncoderName, page, samples, *produced));
                 });
}

// The row path keeps its engine and channel from one repetition to the next.
struct RowPathRun {
    explicit RowPathRun(const Page& page) : path(page, out) {}
    CountingChannel out;
    RowPath path;
    int64_t sent = 0;
};

void AddRowPath(BenchState& s, Schedule& schedule, const Page& page) {
    auto run = std::make_shared<RowPathRun>(page);
    std::string error;
    if (!run->path.Start(error)) return s.Problem("row path: " + error);
    schedule.Add("RTL row path", kRowPathIterations, {[run] {
                     const int64_t before = run->out.bytes;
                     const bool ok = run->path.SendPage();
                     run->sent = run->out.bytes - before;
                     return ok;
                 }},
                 [&s, &page, run](const Samples& samples) {
                     if (!samples.ok()) {
                         return s.Problem(std::string("the row path refused a row of ") +
                                          PageKindName(page.kind()));
                     }
                     s.report.Add(PageResult(kRowPathName, page, samples, run->sent));
                 });
}

Result PassResult(const char* name, const Samples& samples) {
    Result r;
    r.measurement = name;
    r.seconds = samples.MedianCpu();
    r.wallSeconds = samples.MedianWall();
    r.inputBytes = static_cast<int64_t>(MemoryPass::kBytes);
    return r;
}

}  // namespace

void AddMemoryTasks(BenchState& s, Schedule& schedule) {
    auto pass = std::make_shared<MemoryPass>();
    schedule.Add("memcpy", 1, {[pass] {
                     pass->Copy();
                     return true;
                 }},
                 [&s](const Samples& samples) { s.report.Add(PassResult(kMemcpyName, samples)); });
    schedule.Add(
        "read", 1, {[pass] {
            benchmark::DoNotOptimize(pass->Read());
            return true;
        }},
        [&s](const Samples& samples) {
            s.report.Add(PassResult("read-only pass 1 GiB (sum of 64-bit words)", samples));
        });
}

void AddCodecTasks(BenchState& s, Schedule& schedule, const PageList& pages) {
    for (const auto& e : pages) {
        const Page& page = e->page;
        if (page.kind() != PageKind::kZeros) {
            AddPeer(s, schedule, page, COMPRESSION_PACKBITS);
            AddPeer(s, schedule, page, COMPRESSION_NONE);
        }
        AddEncoder(s, schedule, page);
        if (page.kind() != PageKind::kZeros) AddRowPath(s, schedule, page);
    }
}

void NoteCodecOverhead(BenchState& s, const PageList& pages) {
    std::string text =
        "libtiff rows are timed whole (TIFFClientOpen, tags, one TIFFWriteEncodedStrip per plane "
        "row, TIFFClose); nothing is subtracted. Its own cost, the no-compression run over the "
        "PackBits run:";
    for (const auto& e : pages) {
        const std::string kind = PageKindName(e->page.kind());
        const Result* packed = s.report.Find(kPeerName, kind, e->page.dpi());
        const Result* plain = s.report.Find(kPlainName, kind, e->page.dpi());
        if (packed == nullptr || plain == nullptr || packed->seconds <= 0) continue;
        char part[64];
        std::snprintf(part, sizeof part, " %s %d %.0f%%;", kind.c_str(), e->page.dpi(),
                      100.0 * plain->seconds / packed->seconds);
        text += part;
    }
    s.report.AddNote(text);
}

}  // namespace tarnwick::bench
