// Timings that need no job file: the memory limit, libtiff, PackBitsEncode and the row path.
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <cstdio>

#include "channels.h"
#include "machine.h"
#include "phases.h"
#include "row_path.h"
#include "rtl/packbits.h"
#include "tiff_peer.h"
#include "timing.h"

namespace tarnwick::bench {
namespace {

// Iterations per repetition: enough for a repetition of some 50 ms at the expected speeds.
constexpr int kPeerIterations = 1;
constexpr int kEncoderIterations = 4;
constexpr int kRowPathIterations = 3;

Result PageResult(const std::string& measurement, const Page& page, const Samples& samples,
                  int64_t outputBytes) {
    Result r;
    r.measurement = measurement;
    r.page = PageKindName(page.kind());
    r.dpi = page.dpi();
    r.seconds = samples.Median();
    r.inputBytes = page.bytes();
    r.planeRows = page.planeRows();
    r.outputBytes = outputBytes;
    return r;
}

void TimePeer(BenchState& s, const Page& page, uint16_t compression, const std::string& name) {
    TiffPeer peer(compression);
    std::string error;
    const Samples samples =
        Measure(name, s.options.runs, kPeerIterations, {[&] { return peer.EncodePage(page, error); }, {}});
    if (!samples.ok()) return s.Problem(name + ": " + error);
    Result r = PageResult(name, page, samples, peer.StripBytes());
    r.peer = compression == COMPRESSION_PACKBITS;
    s.report.Add(r);
}

void TimeEncoder(BenchState& s, const Page& page) {
    std::vector<uint8_t> out(PackBitsWorstCase(static_cast<std::size_t>(page.rowBytes())));
    int64_t produced = 0;
    const Samples samples =
        Measure("PackBitsEncode", s.options.runs, kEncoderIterations, {[&] {
                    produced = 0;
                    for (int64_t k = 0; k < page.planeRows(); ++k) {
                        produced += PackBitsEncode(out.data(), page.PlaneRowAt(k).data(),
                                                   page.rowBytes());
                    }
                    benchmark::DoNotOptimize(out.data());
                    return true;
                },
                                                                        {}});
    s.report.Add(PageResult("PackBitsEncode", page, samples, produced));
}

void TimeRowPath(BenchState& s, const Page& page) {
    CountingChannel out;
    RowPath path(page, out);
    std::string error;
    if (!path.Start(error)) return s.Problem("row path: " + error);
    int64_t sent = 0;
    const Samples samples = Measure("RTL row path", s.options.runs, kRowPathIterations,
                                    {[&] {
                                         const int64_t before = out.bytes;
                                         const bool ok = path.SendPage();
                                         sent = out.bytes - before;
                                         return ok;
                                     },
                                     {}});
    if (!samples.ok()) return s.Problem("row path refused a row of " + std::string(PageKindName(page.kind())));
    s.report.Add(PageResult("RTL row path (SendAllColorData)", page, samples, sent));
}

// How much of libtiff's time is libtiff itself: the same strips without compression.
void NoteCodecOverhead(BenchState& s, const PageList& pages) {
    std::string text =
        "libtiff rows are timed whole (TIFFClientOpen, tags, one TIFFWriteEncodedStrip per plane "
        "row, TIFFClose); nothing is subtracted. Its own cost, the no-compression run over the "
        "PackBits run:";
    for (const auto& e : pages) {
        const std::string kind = PageKindName(e->page.kind());
        const Result* packed = s.report.Find("libtiff PackBits (TIFFWriteEncodedStrip)", kind, e->page.dpi());
        const Result* plain = s.report.Find("libtiff no compression (codec overhead)", kind, e->page.dpi());
        if (packed == nullptr || plain == nullptr || packed->seconds <= 0) continue;
        char part[64];
        std::snprintf(part, sizeof part, " %s %d %.0f%%;", kind.c_str(), e->page.dpi(),
                      100.0 * plain->seconds / packed->seconds);
        text += part;
    }
    s.report.AddNote(text);
}

}  // namespace

void TimeMemory(BenchState& s) {
    Progress("timing memcpy and a read-only pass over 1 GiB");
    MemoryPass pass;
    const auto add = [&](const char* name, const Samples& samples) {
        Result r;
        r.measurement = name;
        r.seconds = samples.Median();
        r.inputBytes = static_cast<int64_t>(MemoryPass::kBytes);
        s.report.Add(r);
    };
    add("memcpy 1 GiB", Measure("memcpy", s.options.runs, 1, {[&] {
                                                                  pass.Copy();
                                                                  return true;
                                                              },
                                                              {}}));
    add("read-only pass 1 GiB (sum of 64-bit words)",
        Measure("read", s.options.runs, 1, {[&] {
                                                benchmark::DoNotOptimize(pass.Read());
                                                return true;
                                            },
                                            {}}));
}

void TimeCodecs(BenchState& s, const PageList& pages) {
    for (const auto& e : pages) {
        const Page& page = e->page;
        Progress(std::string("timing ") + PageKindName(page.kind()) + " " +
                 std::to_string(page.dpi()));
        if (page.kind() != PageKind::kZeros) {
            TimePeer(s, page, COMPRESSION_PACKBITS, "libtiff PackBits (TIFFWriteEncodedStrip)");
            TimePeer(s, page, COMPRESSION_NONE, "libtiff no compression (codec overhead)");
        }
        TimeEncoder(s, page);
        if (page.kind() != PageKind::kZeros) TimeRowPath(s, page);
    }
    NoteCodecOverhead(s, pages);
}

}  // namespace tarnwick::bench
