#include "support/job_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <span>

#include "host/job/job_writer.h"
#include "host/job/ox_job.h"
#include "rtl/rtl.h"

namespace tarnwick::test {

int RowBytes(const TestPage& page, int colorant) {
    return (page.width * page.colorants[static_cast<std::size_t>(colorant)].bits + 7) / 8;
}

void WriteJobData(const std::string& path, const std::vector<TestPage>& pages) {
    std::string error;
    auto writer = JobWriter::Create(path, error);
    ASSERT_TRUE(writer) << error;
    for (const TestPage& page : pages) AppendPage(*writer, page);
    ASSERT_TRUE(writer->Finish(error)) << error;
}

void AppendPage(JobWriter& writer, const TestPage& page, int firstRow, int rowCount) {
    std::string error;
    if (firstRow == 0) {
        PageFormat layout{page.width, page.height, page.offsetX, page.offsetY, {}};
        for (const auto& c : page.colorants) layout.colorants.push_back({c.name, c.bits});
        ASSERT_TRUE(writer.BeginPage(layout, error)) << error;
    }
    const int rows = rowCount >= 0 ? firstRow + rowCount : page.height;
    std::vector<std::vector<uint8_t>> data(page.colorants.size());
    for (int r = firstRow; r < rows; ++r) {
        std::vector<std::span<const uint8_t>> spans;
        for (std::size_t c = 0; c < page.colorants.size(); ++c) {
            data[c].resize(static_cast<std::size_t>(RowBytes(page, static_cast<int>(c))));
            for (std::size_t i = 0; i < data[c].size(); ++i)
                data[c][i] = page.content(int(c), r, int(i));
            spans.emplace_back(data[c]);
        }
        ASSERT_TRUE(writer.AppendRow(spans, error)) << error;
    }
    if (rowCount >= 0) return;
    ASSERT_TRUE(writer.EndPage(error)) << error;
}

JobTicket DefaultTicket(const std::string& model, int16_t dpi, int16_t colorModel) {
    JobTicket ticket;
    ticket.printerModel = model;
    ticket.resX = ticket.resY = dpi;
    ticket.colorModel = colorModel;
    RTL::ResetSettings(reinterpret_cast<PrinterSettings*>(ticket.settings.data()));
    return ticket;
}

std::unique_ptr<HostJobRecord> MakeHostRecord(const std::string& ticketPath) {
    auto job = std::make_unique<HostJobRecord>();
    std::snprintf(job->path, sizeof job->path, "%s", ticketPath.c_str());
    job->m_nOutputTag = 0x1122334455667788;
    job->m_bDirectDataName = 1;
    return job;
}

std::unique_ptr<HostJobRecord> MakeJob(const TempDir& dir, const JobTicket& ticket,
                                       const std::vector<TestPage>& pages) {
    const std::string ticketPath = dir.file("job.tkt");
    std::string error;
    EXPECT_TRUE(WriteJobTicket(ticketPath, ticket, error)) << error;
    const AFilePath data = OXJob::GetFileName(ePrefix0, AFilePath(ticketPath.c_str()));
    WriteJobData(data.c_str(), pages);
    return MakeHostRecord(ticketPath);
}

DriverPtr MakeDriver() {
    return DriverPtr(createNewPrinterDriver());
}

int RunJob(ABasePrinterDriver& driver, HostJobRecord& job, OutputChannel& out, int maxSteps) {
    if (driver.OpenJob(&job, &out) == 0) return -1;
    for (int step = 1; step <= maxSteps; ++step) {
        if (driver.PrintStep(nullptr, nullptr, nullptr) == 0) return -1;
        if (job.m_nDone == -1) return step;
    }
    return -1;
}

}  // namespace tarnwick::test
