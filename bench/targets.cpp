// The targets, judged from the report's medians and the checks made on the way.
#include <cstdio>

#include "phases.h"

namespace tarnwick::bench {
namespace {

constexpr double kEncoderOverPeer = 3.0;
constexpr double kPrintMBps = 1000.0;  // 1 GB/s of plane data
constexpr double kBlankPrintOverMemcpy = 0.30;
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

    const Result* diffused = report.Find(kPrintName, "diffused", 720);
    const double diffusedMBps = diffused != nullptr ? Report::MBps(*diffused) : 0;
    report.AddTarget(diffusedMBps >= kPrintMBps,
                     Text("whole print of the error-diffusion page at least 1 GB/s of plane "
                          "data: %.0f MB/s",
                          diffusedMBps));
    const Result* sparse = report.Find(kPrintName, "sparse", 720);
    const double sparseShare = sparse != nullptr && memcpy > 0 ? Report::MBps(*sparse) / memcpy : 0;
    report.AddTarget(sparseShare >= kBlankPrintOverMemcpy,
                     Text("whole print of the mostly blank page at least 30%% of memcpy: %.0f%%",
                          100 * sparseShare));
    const Result* zeros = report.Find(kEncoderName, "zeros", 720);
    const double zerosShare = zeros != nullptr && memcpy > 0 ? Report::MBps(*zeros) / memcpy : 0;
    report.AddTarget(
        zerosShare >= kZerosOverMemcpy,
        Text("PackBitsEncode on a page of zeros at least 0.5 of memcpy: %.2f", zerosShare));
    for (const std::string& problem : s.problems) report.AddTarget(false, "problem: " + problem);
}

}  // namespace tarnwick::bench
