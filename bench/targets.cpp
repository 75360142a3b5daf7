// The targets, judged from the report's medians and the checks made on the way.
#include <algorithm>
#include <cstdio>

#include "phases.h"

namespace tarnwick::bench {
namespace {

constexpr double kEncoderOverPeer = 3.0;
constexpr double kReaderOverMemcpy = 0.7;
constexpr double kDiffusedPrintOverMemcpy = 0.25;
constexpr double kBlankPrintOverMemcpy = 0.5;
constexpr double kZerosOverMemcpy = 0.5;

std::string Text(const char* fmt, double a, double b = 0) {
    char text[256];
    std::snprintf(text, sizeof text, fmt, a, b);
    return text;
}

}  // namespace

void CheckTargets(BenchState& s, const PageList& pages) {
    Report& report = s.report;
    const double memcpy = report.MemcpyMBps().value_or(0);
    bool encoderSame = true;
    bool rowPathSame = true;
    bool printSame = true;
    for (const auto& e : pages) {
        const Page& page = e->page;
        const std::string kind = PageKindName(page.kind());
        encoderSame = encoderSame && e->encoderMatches;
        if (page.kind() == PageKind::kZeros) continue;
        rowPathSame = rowPathSame && e->rowPathMatches;
        if (page.dpi() != 720) continue;
        printSame = printSame && e->printMatches;
        const Result* ours = report.Find(kEncoderName, kind, 720);
        const auto peer = report.PeerMBps(kind, 720);
        const double ratio = ours != nullptr && peer ? Report::MBps(*ours) / *peer : 0;
        report.AddTarget(ratio >= kEncoderOverPeer && e->encoderMatches,
                         "PackBitsEncode at least 3x libtiff's PackBits on " + kind +
                             " 720 with output identical to the reference: " +
                             Text("%.2fx", ratio) + (e->encoderMatches ? "" : ", output differs"));
    }
    report.AddTarget(encoderSame,
                     "PackBitsEncode output identical to the reference encoder on "
                     "every page, decoding back to the rows");
    report.AddTarget(rowPathSame,
                     "row path transfers identical to the reference encoder on "
                     "every page");
    report.AddTarget(printSame,
                     "whole-print transfers identical to the reference encoder on "
                     "every 720 dpi page (a short job before timing, the long job after)");

    // The slowest page's reader, since the reader does not look at what the rows hold.
    double reader = 0;
    for (const auto& e : pages) {
        const Result* r = report.Find(kReaderName, PageKindName(e->page.kind()), 720);
        if (r != nullptr)
            reader = reader == 0 ? Report::MBps(*r) : std::min(reader, Report::MBps(*r));
    }
    const auto share = [memcpy](double mbps) { return memcpy > 0 ? mbps / memcpy : 0; };
    report.AddTarget(
        share(reader) >= kReaderOverMemcpy,
        Text("job reader alone at least 0.7 of memcpy on every page: %.2f", share(reader)));
    const Result* diffused = report.Find(kPrintName, "diffused", 720);
    const double diffusedShare = share(diffused != nullptr ? Report::MBps(*diffused) : 0);
    report.AddTarget(diffusedShare >= kDiffusedPrintOverMemcpy,
                     Text("whole print of the error-diffusion page at least 0.25 of memcpy: %.2f",
                          diffusedShare));
    const Result* sparse = report.Find(kPrintName, "sparse", 720);
    const double sparseShare = share(sparse != nullptr ? Report::MBps(*sparse) : 0);
    report.AddTarget(
        sparseShare >= kBlankPrintOverMemcpy,
        Text("whole print of the mostly blank page at least 0.5 of memcpy: %.2f", sparseShare));
    const Result* zeros = report.Find(kEncoderName, "zeros", 720);
    const double zerosShare = zeros != nullptr && memcpy > 0 ? Report::MBps(*zeros) / memcpy : 0;
    report.AddTarget(
        zerosShare >= kZerosOverMemcpy,
        Text("PackBitsEncode on a page of zeros at least 0.5 of memcpy: %.2f", zerosShare));
    for (const std::string& problem : s.problems) report.AddTarget(false, "problem: " + problem);
}

}  // namespace tarnwick::bench
