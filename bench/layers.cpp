// A whole print taken apart from three measurements of the same job: the job reader alone, the
// print into a channel that only counts, and the print to a file. The row path measured alone
// does not add up with them: it reads its rows from a 35 MB page, while in a print they come
// from line buffers that the reader has just filled.
#include "phases.h"

namespace tarnwick::bench {

void SplitPrintLayers(BenchState& s) {
    Report& report = s.report;
    for (const PageKind kind :
         {PageKind::kOrdered, PageKind::kDiffused, PageKind::kSparse, PageKind::kRandom}) {
        const std::string page = PageKindName(kind);
        const Result* reader = report.Find(kReaderName, page, 720);
        const Result* counted = report.Find(kCountedName, page, 720);
        const Result* printed = report.Find(kPrintName, page, 720);
        if (reader == nullptr || counted == nullptr || printed == nullptr) {
            continue;
        }
        LayerSplit split;
        split.page = page;
        split.reader = Report::NsPerPlaneRow(*reader);
        split.engine = Report::NsPerPlaneRow(*counted) - split.reader;
        split.file = Report::NsPerPlaneRow(*printed) - Report::NsPerPlaneRow(*counted);
        split.total = Report::NsPerPlaneRow(*printed);
        report.AddLayers(split);
    }
}

}  // namespace tarnwick::bench
