// One job of the printer application, done the way a print host does it: each page's lines are
// separated into the colour mode's inks, halftoned with the driver's own parameters and appended
// to the job data file, while the driver, on a thread of its own, turns what is written so far
// into the printer stream and sends it to the device (print while writing).
//
// Error idiom: every step returns false with `error` set to a sentence for the job's state
// message; the job is then over, and Finish still has to be called.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "halftone/pipeline.h"
#include "host/job/job_writer.h"
#include "host/job_ticket.h"
#include "host_kit/halftone_job.h"
#include "host_kit/module_loader.h"
#include "ipp_choices.h"
#include "model_description.h"
#include "tarnwick/records.h"

namespace tarnwick::app {

// What a page's lines look like.
struct PageLayout {
    int width = 0;
    int height = 0;
    int dpiX = 0;
    int dpiY = 0;
    halftone::PixelFormat format = halftone::PixelFormat::kRgb8;
    int bitsPerColor = 8;   // 8, or 1 for bi-level black (a set bit is black)
    bool inverted = false;  // 8-bit black: 0 is white
};

// Where the printer stream goes and what the job is told; the application gives PAPPL's device
// and job, the tests a memory buffer.
struct JobOutput {
    std::function<bool(const uint8_t* data, std::size_t length)> write;  // false: the device failed
    std::function<void()> flush;
    std::function<void(const std::string& message)> status;  // progress, for the job's message
};

class RasterJob {
  public:
    // spoolBase: the ticket's path without extension; the ticket and data file are made beside it
    // and removed when the job ends.
    RasterJob(const ModelDescription& model, JobRequest request, std::string spoolBase,
              std::string jobId, JobOutput output);
    ~RasterJob();  // Finish(true) if not done
    RasterJob(const RasterJob&) = delete;
    RasterJob& operator=(const RasterJob&) = delete;

    bool StartPage(const PageLayout& page, std::string& error);
    // One line of the page, in its layout's pixel format.
    bool WriteLine(const uint8_t* line, std::string& error);
    bool EndPage(std::string& error);
    // Ends the job: the data file is marked complete and the driver prints what is left; when
    // canceled, the driver is stopped with AbortJob (the printer gets the abort page end).
    // False with error set when the driver failed.
    bool Finish(bool canceled, std::string& error);

    uint64_t bytesSent() const { return m_bytes.load(); }
    int pagesWritten() const { return m_pagesWritten; }

  private:
    bool StartJob(const PageLayout& page, std::string& error);
    bool FlushBand(std::string& error);
    void StartPrinting();
    bool PrintFailed(std::string& error);
    void PrintLoop();
    void RemoveSpoolFiles();

    const ModelDescription& m_model;
    JobRequest m_request;
    std::string m_ticketPath;
    std::string m_dataPath;
    std::string m_jobOptionsXml;
    JobOutput m_output;

    std::unique_ptr<hostkit::DriverModule> m_module;
    std::unique_ptr<hostkit::JobHalftoning> m_halftoning;
    std::unique_ptr<JobWriter> m_writer;
    DriverChoice m_choice;
    int m_jobDpiX = 0;
    int m_jobDpiY = 0;

    // The page being written.
    PageLayout m_page;
    std::unique_ptr<halftone::Pipeline> m_pipeline;
    std::vector<uint8_t> m_band;  // pixels of the band being gathered
    int m_bandLines = 0;
    int m_linesWritten = 0;
    int m_pagesWritten = 0;
    bool m_finished = false;

    // The driver's side.
    std::thread m_printer;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_printFailed{false};
    std::atomic<uint64_t> m_bytes{0};
    std::mutex m_errorMutex;
    std::string m_printError;
};

}  // namespace tarnwick::app
