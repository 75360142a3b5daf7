#include "print_session.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "exit_codes.h"
#include "file_channel.h"
#include "host/job_ticket.h"
#include "host/progress_text.h"
#include "host_kit/job_data_probe.h"
#include "host_kit/page_watch.h"
#include "interrupt.h"
#include "module_log_capture.h"
#include "platform/clock.h"
#include "progress.h"
#include "rtl/printer_models.h"
#include "rtl/settings_check.h"

namespace tarnwick::cli {

using namespace hostkit;  // the host kit is the tool's own vocabulary
namespace {

constexpr uint32_t kFollowPollMillis = 250;

bool CheckTicket(const std::string& path, Console& console) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        console.Error("cannot read the job ticket " + path + ": " + std::strerror(errno));
        return false;
    }
    if (!S_ISREG(st.st_mode) || st.st_size < static_cast<off_t>(kJobHeaderSize)) {
        console.Error(path + " is not a job ticket (it must hold at least " +
                      std::to_string(kJobHeaderSize) + " bytes)");
        return false;
    }
    JobTicket ticket;
    std::string error;
    if (!ReadJobTicket(path, ticket, error)) {
        console.Error(error);
        return false;
    }
    PrinterSettings settings;
    std::memcpy(&settings, ticket.settings.data(), sizeof settings);
    if (!CheckSettingsRecord(settings, error)) {
        console.Error("the job ticket " + path +
                      " holds a settings record the printer cannot take: " + error);
        return false;
    }
    std::string value;
    if (settings.tag == kDefaultSettings.tag && settings.mediaFeedCalibration != 0 &&
        !CalibrationCommandValue(ticket.calibrationText.c_str(), value, error)) {
        console.Warning("the calibration of " + path + " is not sent: " + error);
    }
    return true;
}

// The resolved name of a path that may not exist yet: its folder resolved, its name kept.
std::string ResolvedName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    char* real = ::realpath(folder.c_str(), nullptr);
    if (real == nullptr) return path;
    std::string resolved = std::string(real) + "/" + name;
    std::free(real);
    return resolved;
}

// Whether a and b are one file: the same inode when both exist, else the same resolved name.
bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    const bool hasA = ::stat(a.c_str(), &sa) == 0;
    const bool hasB = ::stat(b.c_str(), &sb) == 0;
    if (hasA && hasB) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    if (hasA != hasB) return false;
    return ResolvedName(a) == ResolvedName(b);
}

// The stream must not overwrite the job it is made from.
bool CheckOutputIsNotTheJob(const PrintRequest& request, Console& console) {
    if (request.outPath == "-") return true;
    std::vector<std::string> jobFiles = JobDataFileNames(request.ticketPath);
    jobFiles.insert(jobFiles.begin(), request.ticketPath);
    for (const std::string& file : jobFiles) {
        if (SameFile(request.outPath, file)) {
            console.Error("the output " + request.outPath + " is the job's own file " + file +
                          "; give another -o");
            return false;
        }
    }
    return true;
}

// With --follow: waits until the data file holds a page. The waiting goes through the clock
// seam, so TARNWICK_VIRTUAL_CLOCK=1 makes it instant for tests.
int WaitForJobData(const PrintRequest& request, Console& console) {
    bool announced = false;
    for (;;) {
        if (Interrupted()) return kExitAborted;
        std::string path = FindJobDataFile(request.ticketPath);
        if (path.empty()) path = JobDataFileName(request.ticketPath);
        std::string message;
        switch (ProbeJobData(path, message)) {
            case DataState::kReady:
                return kExitOk;
            case DataState::kNoPages:
            case DataState::kDamaged:
                console.Error(message);
                return kExitFailure;
            case DataState::kMissing:
            case DataState::kNotYet:
                break;
        }
        if (!announced && !request.quiet) {
            console.Info("Waiting for the job data file " + path);
            announced = true;
        }
        Sleep(kFollowPollMillis);
    }
}

int CheckJobData(const PrintRequest& request, Console& console) {
    if (request.follow) return WaitForJobData(request, console);
    if (FindJobDataFile(request.ticketPath).empty()) {
        console.Error("no job data file for " + request.ticketPath + " (expected " +
                      JobDataFileName(request.ticketPath) + ")");
        return kExitFailure;
    }
    return kExitOk;
}

enum class StepEnd { kDone, kInterrupted, kFailed };

// PrintStep until the driver is done, announcing each page once the step that began it is over
// and each page end once it has reached the output.
StepEnd RunSteps(ABasePrinterDriver& driver, HostJobRecord& job, const PageWatch& watch,
                 ProgressReporter& progress) {
    int pagesShown = 0;
    bool pageShown = false;  // the page being printed was announced
    while (job.m_nDone != -1) {
        if (Interrupted()) return StepEnd::kInterrupted;
        job.m_szStatus[0] = '\0';  // a status text after the step is a fresh report
        const int result = driver.PrintStep(nullptr, nullptr, nullptr);
        for (const int ended = watch.pagesEnded(); pagesShown < ended;) {
            if (!pageShown) progress.PageStarted(pagesShown + 1);
            progress.PageEnded(++pagesShown);
            pageShown = false;
        }
        if (result == 0) return StepEnd::kFailed;
        if (!pageShown && job.m_nDone != -1) {
            progress.PageStarted(pagesShown + 1);
            pageShown = true;
        }
        if (job.m_szStatus[0] != '\0' && job.m_nStatusCode == 3) {
            const int percent = ParseProgressText(job.m_szStatus);
            if (percent >= 0) progress.Percent(pagesShown + 1, percent);
        }
    }
    return StepEnd::kDone;
}

}  // namespace

PrintOutcome PrintJob(ABasePrinterDriver& driver, const PrintRequest& request, Console& console) {
    PrintOutcome outcome;
    outcome.exitCode = kExitFailure;
    if (!CheckTicket(request.ticketPath, console)) return outcome;
    if (request.ticketPath.size() >= sizeof(HostJobRecord::path)) {
        console.Error("the job ticket path is too long: " + request.ticketPath);
        return outcome;
    }
    if (!CheckOutputIsNotTheJob(request, console)) return outcome;
    std::string error;
    // Only checked here: nothing is created or emptied before the job is open.
    std::unique_ptr<FileChannel> channel = FileChannel::Prepare(request.outPath, error);
    if (!channel) {
        console.Error(error);
        return outcome;
    }
    const int ready = CheckJobData(request, console);
    if (ready != kExitOk) {
        outcome.exitCode = ready;
        if (ready == kExitAborted) console.Info("Interrupted before printing began.");
        return outcome;
    }
    PageWatch watch;
    channel->SetObserver([&watch](std::span<const uint8_t> bytes) { watch.Feed(bytes); });

    HostJobRecord job;
    std::memset(&job, 0, sizeof job);
    std::memcpy(job.path, request.ticketPath.c_str(), request.ticketPath.size() + 1);
    job.m_nJoinMode = request.joinMode;
    job.m_nPrintMode = request.printMode;
    job.m_pszCustomColorXml =
        request.jobOptionsXml.empty() ? nullptr : request.jobOptionsXml.c_str();

    ProgressReporter progress(console, request.quiet);
    bool opened = false;
    bool answeredNo = false;
    std::string openError;
    StepEnd end = StepEnd::kDone;
    {
        // The tool's own verdict is given after this scope, so that it follows the module's
        // log lines that explain it.
        ModuleLogCapture capture(console, request.verbose);
        opened = driver.OpenJob(&job, channel.get()) != 0;
        if (opened && !channel->Open(openError)) end = StepEnd::kFailed;
        if (opened && openError.empty()) end = RunSteps(driver, job, watch, progress);
        progress.Finish();
        // The printer must not be left inside a page: the abort form of the page end closes it,
        // unless the output itself is what failed.
        if (opened && end != StepEnd::kDone && !channel->failed() && job.m_nDone != -1) {
            driver.AbortJob(nullptr, nullptr, nullptr);
        }
        capture.Stop();  // the reader has seen every line of the module
        answeredNo = end == StepEnd::kFailed && capture.answeredNo();
    }
    if (!opened) {
        console.Error("the driver could not open the job " + request.ticketPath);
        return outcome;
    }
    if (!openError.empty()) {
        console.Error(openError);
        return outcome;
    }
    outcome.pages = watch.pagesEnded();
    outcome.bytes = channel->bytesWritten();
    // After a No the stream is whole: the pages before it and the page end the printer needs.
    const bool closed = channel->Finish(end == StepEnd::kDone || answeredNo, error);
    if (!closed) console.Error(error);
    // A file gets only a whole stream; a printer (or pipe) has what was sent.
    const std::string kept =
        channel->replacesFile() ? "; " + request.outPath + " is unchanged" : "";
    if (end == StepEnd::kInterrupted) {
        console.Info(!kept.empty()       ? "Aborted" + kept + "."
                     : channel->failed() ? std::string("Aborted.")
                                         : "Aborted; the printer was sent the abort page end.");
        outcome.exitCode = kExitAborted;
        return outcome;
    }
    if (answeredNo && closed) {
        console.Info("Stopped after " + std::to_string(outcome.pages) +
                     (outcome.pages == 1 ? " page" : " pages") +
                     ": the answer to the page pause was No; the printer was sent the page end.");
        outcome.exitCode = kExitDeclined;
        return outcome;
    }
    if (end == StepEnd::kFailed) {
        console.Error("printing " + request.ticketPath + " failed on page " +
                      std::to_string(outcome.pages + 1) + kept);
        return outcome;
    }
    outcome.exitCode = closed ? kExitOk : kExitFailure;
    return outcome;
}

}  // namespace tarnwick::cli
