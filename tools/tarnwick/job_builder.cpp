#include "job_builder.h"

#include <span>

#include "host/replace_file.h"
#include "host_kit/job_data_probe.h"

namespace tarnwick::cli {

using namespace hostkit;  // the host kit is the tool's own vocabulary
namespace {

bool WritePage(JobWriter& writer, PageSource& page, int number, const RowProgress& progress,
               std::string& error) {
    PageFormat layout{page.width(), page.height(), 0, 0, page.colorants()};
    if (!writer.BeginPage(layout, error)) return false;
    std::vector<std::vector<uint8_t>> rows;
    std::vector<std::span<const uint8_t>> spans;
    for (int y = 0; y < page.height(); ++y) {
        if (!page.NextRow(rows, error)) return false;
        spans.assign(rows.begin(), rows.end());
        if (!writer.AppendRow(spans, error)) return false;
        if (progress) progress(number, y + 1, page.height());
    }
    return writer.EndPage(error);
}

}  // namespace

bool WriteJob(const std::string& ticketPath, const JobTicket& ticket, std::size_t pageCount,
              const PageFactory& makePage, WrittenJob& written, std::string& error,
              const RowProgress& progress) {
    written = WrittenJob{};
    written.dataPath = JobDataFileName(ticketPath);
    // Both files are written beside their names first; an existing ticket or data file is
    // replaced only once the whole job is there, and a failure anywhere leaves both as they were.
    std::unique_ptr<ReplacementFile> tkt = ReplacementFile::Create(ticketPath, error);
    if (!tkt) return false;
    std::unique_ptr<ReplacementFile> data = ReplacementFile::Create(written.dataPath, error);
    if (!data || !tkt->Write(EncodeJobTicket(ticket), error) || !data->CloseFd(error)) {
        return false;
    }
    std::unique_ptr<JobWriter> writer =
        JobWriter::Create(data->tempPath(), error, JobWriter::kStreamingBatchBytes);
    if (!writer) return false;
    for (std::size_t i = 0; i < pageCount; ++i) {
        std::unique_ptr<PageSource> page = makePage(i, error);
        if (!page || !WritePage(*writer, *page, static_cast<int>(i) + 1, progress, error)) {
            return false;
        }
        ++written.pages;
    }
    if (!writer->Finish(error)) return false;
    // The data file first: a print host that finds the new ticket finds its data beside it.
    return data->Commit(error) && tkt->Commit(error);
}

}  // namespace tarnwick::cli
