// Shared test fixtures: temporary folders, an in-memory output channel with
// fault injection, and writers for job tickets and job data files.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/job_ticket.h"
#include "support/memory_channel.h"
#include "support/temp_dir.h"
#include "tarnwick/printer_driver.h"
#include "tarnwick/records.h"

namespace tarnwick {
class JobWriter;
}

namespace tarnwick::test {

struct TestColorant {
    std::string name;
    int bits = 1;
};

struct TestPage {
    int width = 16;
    int height = 4;
    int offsetX = 0;
    int offsetY = 0;
    std::vector<TestColorant> colorants;
    // Byte `index` of row `row` of colorant `colorant`.
    std::function<uint8_t(int colorant, int row, int index)> content = [](int c, int r, int i) {
        return static_cast<uint8_t>(0x11 * (c + 1) + r * 7 + i);
    };
};

int RowBytes(const TestPage& page, int colorant);
void WriteJobData(const std::string& path, const std::vector<TestPage>& pages);
// Begins the page when firstRow is 0, appends rowCount rows (all remaining
// when -1, and then ends the page).
void AppendPage(JobWriter& writer, const TestPage& page, int firstRow = 0, int rowCount = -1);

// A ticket whose settings area holds the printer's defaults.
JobTicket DefaultTicket(const std::string& model, int16_t dpi = 360, int16_t colorModel = 0);

// A host record for the ticket at `ticketPath`, its data file under prefix 0.
std::unique_ptr<HostJobRecord> MakeHostRecord(const std::string& ticketPath);

// Writes the ticket and the data file of a job next to each other.
std::unique_ptr<HostJobRecord> MakeJob(const TempDir& dir, const JobTicket& ticket,
                                       const std::vector<TestPage>& pages);

struct DriverDeleter {
    void operator()(ABasePrinterDriver* d) const { delete d; }
};
using DriverPtr = std::unique_ptr<ABasePrinterDriver, DriverDeleter>;
DriverPtr MakeDriver();

// Opens the job and steps it until the driver is done; returns the number
// of steps, or -1 when a step failed.
int RunJob(ABasePrinterDriver& driver, HostJobRecord& job, OutputChannel& out,
           int maxSteps = 100000);

}  // namespace tarnwick::test
