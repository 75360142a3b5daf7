#include "raster_job.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "host/progress_text.h"
#include "host_kit/driver_queries.h"
#include "host_kit/job_data_probe.h"
#include "host_kit/page_watch.h"
#include "rtl/settings_check.h"

namespace tarnwick::app {
namespace {

// The driver's output channel: every byte goes straight on to the job's device, and the page
// ends in it are counted for the job's progress.
class DeviceChannel : public OutputChannel {
  public:
    DeviceChannel(const JobOutput& output, std::atomic<uint64_t>& bytes)
        : m_output(output), m_bytes(bytes) {}

    int32_t Write(const uint8_t* data, int32_t length, int64_t) override {
        if (length <= 0) return 0;
        if (!m_output.write(data, static_cast<std::size_t>(length))) {
            m_failed = true;
            return 0;
        }
        m_watch.Feed({data, static_cast<std::size_t>(length)});
        m_bytes += static_cast<uint64_t>(length);
        return length;
    }
    bool failed() const { return m_failed; }
    // The page being sent, counting from 1.
    int page() const { return m_watch.pagesEnded() + 1; }

  private:
    const JobOutput& m_output;
    std::atomic<uint64_t>& m_bytes;
    hostkit::PageWatch m_watch;
    bool m_failed = false;
};

constexpr int kStartRows = 4096;

std::size_t PixelBytes(halftone::PixelFormat format) {
    return static_cast<std::size_t>(halftone::Channels(format));
}

}  // namespace

RasterJob::RasterJob(const ModelDescription& model, JobRequest request, std::string spoolBase,
                     std::string jobId, JobOutput output)
    : m_model(model),
      m_request(std::move(request)),
      m_ticketPath(std::move(spoolBase) + ".tkt"),
      m_dataPath(hostkit::JobDataFileName(m_ticketPath)),
      // Prints of one id wait for each other in the driver; every job has its own.
      m_jobOptionsXml("<?xml version=\"1.0\"?><RootElement><JobId>" + jobId +
                      "</JobId></RootElement>"),
      m_output(std::move(output)) {}

RasterJob::~RasterJob() {
    std::string ignored;  // a job dropped without Finish was already reported as failed
    if (!m_finished) Finish(true, ignored);
}

bool RasterJob::StartJob(const PageLayout& page, std::string& error) {
    JobRequest request = m_request;
    request.dpiX = page.dpiX;
    request.dpiY = page.dpiY;
    std::optional<DriverChoice> choice = ChooseForJob(m_model, request, error);
    if (!choice) return false;
    m_choice = std::move(*choice);
    m_jobDpiX = page.dpiX;
    m_jobDpiY = page.dpiY;

    m_module = hostkit::DriverModule::Open("", error);
    if (!m_module) return false;
    ABasePrinterDriver& driver = m_module->driver();

    JobTicket ticket;
    ticket.printerModel = m_model.model;
    ticket.resX = static_cast<int16_t>(page.dpiX);
    ticket.resY = static_cast<int16_t>(page.dpiY);
    ticket.colorModel = static_cast<int16_t>(m_choice.colorMode);
    SettingsArea area = m_model.defaultSettings;
    ApplySettings(driver, m_model, m_choice.settings, area);
    if (!CheckSettingsRecord(area.settings, error)) {
        error = "the printer's settings are out of range: " + error;
        return false;
    }
    std::memcpy(ticket.settings.data(), &area, sizeof area);
    if (!WriteJobTicket(m_ticketPath, ticket, error)) return false;

    const ColorModeInfo* mode = m_model.ColorMode(m_choice.colorMode);
    if (mode == nullptr) {
        error = m_model.model + " has no colour mode " + std::to_string(m_choice.colorMode);
        return false;
    }
    hostkit::HalftoneRequest halftone{m_model.model,
                                      hostkit::kDefaultManufacturer,
                                      m_choice.colorMode,
                                      m_choice.printMode,
                                      m_choice.resolution,
                                      page.dpiX,
                                      page.dpiY,
                                      mode->inks,
                                      halftone::Method::kDiffusion};
    std::vector<std::string> warnings;  // missing screens or rules: the defaults apply
    m_halftoning = hostkit::JobHalftoning::Prepare(driver, halftone, warnings, error);
    if (!m_halftoning) return false;
    m_writer = JobWriter::Create(m_dataPath, error, JobWriter::kStreamingBatchBytes);
    return m_writer != nullptr;
}

bool RasterJob::StartPage(const PageLayout& page, std::string& error) {
    if (PrintFailed(error)) return false;
    if (page.width < 1 || page.height < 1) {
        error = "page " + std::to_string(m_pagesWritten + 1) + " has no pixels";
        return false;
    }
    if (!m_writer) {
        if (!StartJob(page, error)) return false;
    } else if (page.dpiX != m_jobDpiX || page.dpiY != m_jobDpiY) {
        error = "page " + std::to_string(m_pagesWritten + 1) + " is at " +
                std::to_string(page.dpiX) + "x" + std::to_string(page.dpiY) +
                " dpi, the job's first page at " + std::to_string(m_jobDpiX) + "x" +
                std::to_string(m_jobDpiY) + " dpi; a job prints at one resolution";
        return false;
    }
    m_page = page;
    const int bandRows = hostkit::BandRowsFor(page.width);
    m_pipeline = m_halftoning->MakePipeline(page.width, bandRows, {}, error, page.format);
    if (!m_pipeline) return false;
    m_band.assign(static_cast<std::size_t>(page.width) * PixelBytes(page.format) *
                      static_cast<std::size_t>(bandRows),
                  0);
    m_bandLines = 0;
    m_linesWritten = 0;
    PageFormat format{page.width, page.height, 0, 0, {}};
    for (const std::string& ink : m_halftoning->inks()) {
        format.colorants.push_back({ink, m_pipeline->bits()});
    }
    return m_writer->BeginPage(format, error);
}

// The driver follows the writing from the first page's end or its kStartRows-th row, whichever
// comes first: a small job is then written whole before the driver reads it, and never waits for
// the host, while a banner's first bytes still reach the printer early.
void RasterJob::StartPrinting() {
    if (!m_printer.joinable()) m_printer = std::thread(&RasterJob::PrintLoop, this);
}

bool RasterJob::WriteLine(const uint8_t* line, std::string& error) {
    if (!m_pipeline || m_linesWritten + m_bandLines >= m_page.height) return true;  // past the page
    const std::size_t width = static_cast<std::size_t>(m_page.width);
    const std::size_t bytes = width * PixelBytes(m_page.format);
    uint8_t* out = m_band.data() + static_cast<std::size_t>(m_bandLines) * bytes;
    if (m_page.bitsPerColor == 1) {
        for (std::size_t x = 0; x < width; ++x) {
            out[x] = (line[x / 8] & (0x80 >> (x % 8))) != 0 ? 0 : 255;
        }
    } else if (m_page.inverted) {
        for (std::size_t x = 0; x < width; ++x) out[x] = static_cast<uint8_t>(255 - line[x]);
    } else {
        std::memcpy(out, line, bytes);
    }
    ++m_bandLines;
    return m_bandLines < m_pipeline->bandRows() || FlushBand(error);
}

bool RasterJob::FlushBand(std::string& error) {
    if (m_bandLines == 0) return true;
    if (PrintFailed(error)) return false;
    m_pipeline->Band(m_band, m_bandLines);
    std::vector<std::span<const uint8_t>> rows(m_pipeline->inkCount());
    for (int row = 0; row < m_bandLines; ++row) {
        for (std::size_t ink = 0; ink < rows.size(); ++ink)
            rows[ink] = m_pipeline->Packed(ink, row);
        if (!m_writer->AppendRow(rows, error)) return false;
    }
    m_linesWritten += m_bandLines;
    m_bandLines = 0;
    if (m_linesWritten >= kStartRows) StartPrinting();
    return true;
}

bool RasterJob::EndPage(std::string& error) {
    if (!m_pipeline) return true;
    if (!FlushBand(error)) return false;
    // A page cut short by the document keeps the rows it got.
    if (!m_writer->EndPage(error)) return false;
    m_pipeline.reset();
    ++m_pagesWritten;
    StartPrinting();
    return true;
}

bool RasterJob::PrintFailed(std::string& error) {
    if (!m_printFailed.load()) return false;
    std::lock_guard<std::mutex> lock(m_errorMutex);
    error = m_printError;
    return true;
}

void RasterJob::PrintLoop() {
    ABasePrinterDriver& driver = m_module->driver();
    DeviceChannel channel(m_output, m_bytes);
    HostJobRecord record;
    std::memset(&record, 0, sizeof record);
    std::snprintf(record.path, sizeof record.path, "%s", m_ticketPath.c_str());
    record.m_nPrintMode = m_choice.printMode;
    record.m_pszCustomColorXml = m_jobOptionsXml.c_str();
    auto fail = [this](const std::string& message) {
        std::lock_guard<std::mutex> lock(m_errorMutex);
        m_printError = message;
        m_printFailed = true;
    };
    if (driver.OpenJob(&record, &channel) == 0) {
        fail("the driver could not open the job");
        return;
    }
    int lastPercent = -1;
    while (record.m_nDone != -1) {
        if (m_cancel.load()) {
            driver.AbortJob(nullptr, nullptr, nullptr);
            break;
        }
        record.m_szStatus[0] = '\0';
        if (driver.PrintStep(nullptr, nullptr, nullptr) == 0) {
            fail(channel.failed()
                     ? std::string("the printer stopped taking data")
                     : "the driver could not print page " + std::to_string(channel.page()));
            // The printer must not be left inside a page.
            if (!channel.failed() && record.m_nDone != -1) {
                driver.AbortJob(nullptr, nullptr, nullptr);
            }
            break;
        }
        if (record.m_nStatusCode == kStatusProgress && record.m_szStatus[0] != '\0') {
            const int percent = ParseProgressText(record.m_szStatus);
            if (percent >= 0 && percent != lastPercent && m_output.status) {
                m_output.status("Printing page " + std::to_string(channel.page()) + ", " +
                                std::to_string(percent) + "% sent");
            }
            lastPercent = percent;
        }
    }
    if (m_output.flush) m_output.flush();
}

bool RasterJob::Finish(bool canceled, std::string& error) {
    if (m_finished) return true;
    m_finished = true;
    if (canceled) m_cancel = true;
    std::string writeError;
    // Complete, so that the driver stops waiting for more and ends the job.
    const bool wrote = !m_writer || m_writer->Finish(writeError);
    if (!wrote) m_cancel = true;
    if (m_printer.joinable()) m_printer.join();
    m_writer.reset();
    RemoveSpoolFiles();
    if (!wrote) {
        error = writeError;
        return false;
    }
    return canceled || !PrintFailed(error);
}

void RasterJob::RemoveSpoolFiles() {
    ::unlink(m_dataPath.c_str());
    ::unlink(m_ticketPath.c_str());
}

}  // namespace tarnwick::app
