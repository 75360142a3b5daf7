#include "job_builder.h"

#include <cstdio>
#include <span>

#include "job_data_probe.h"

namespace tarnwick::cli {
namespace {

bool WritePage(JobWriter& writer, PageSource& page, std::string& error) {
    PageFormat layout{page.width(), page.height(), 0, 0, page.colorants()};
    if (!writer.BeginPage(layout, error)) return false;
    std::vector<std::vector<uint8_t>> rows;
    std::vector<std::span<const uint8_t>> spans;
    for (int y = 0; y < page.height(); ++y) {
        page.Row(y, rows);
        spans.assign(rows.begin(), rows.end());
        if (!writer.AppendRow(spans, error)) return false;
    }
    return writer.EndPage(error);
}

}  // namespace

bool WriteJob(const std::string& ticketPath, const JobTicket& ticket, std::size_t pageCount,
              const PageFactory& makePage, WrittenJob& written, std::string& error) {
    written = WrittenJob{};
    written.dataPath = JobDataFileName(ticketPath);
    const auto fail = [&] {
        std::remove(written.dataPath.c_str());
        std::remove(ticketPath.c_str());
        return false;
    };
    if (!WriteJobTicket(ticketPath, ticket, error)) return fail();
    std::unique_ptr<JobWriter> writer = JobWriter::Create(written.dataPath, error);
    if (!writer) return fail();
    for (std::size_t i = 0; i < pageCount; ++i) {
        std::unique_ptr<PageSource> page = makePage(i, error);
        if (!page || !WritePage(*writer, *page, error)) {
            writer.reset();
            return fail();
        }
        ++written.pages;
    }
    if (!writer->Finish(error)) {
        writer.reset();
        return fail();
    }
    return true;
}

}  // namespace tarnwick::cli
