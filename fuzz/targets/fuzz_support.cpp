#include "fuzz_support.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "engine/arow_base_rtl.h"
#include "host/afile_path.h"
#include "host/file_bytes.h"
#include "host/job/job_writer.h"
#include "host/job/ox_job.h"
#include "host/job_ticket.h"
#include "platform/named_mutex.h"
#include "rtl/rtl.h"
#include "support/memory_channel.h"
#include "support/temp_dir.h"

namespace tarnwick::fuzz {
namespace fs = std::filesystem;

// One folder per process: making and removing one per input would cost more than most inputs,
// and a configuration root made anew would be read anew.
FuzzRun::FuzzRun(std::vector<int> messageAnswers)
    : m_folder([] {
          static const test::TempDir dir;
          ::mkdir(dir.file("locks").c_str(), 0700);  // the named mutexes refuse a shared folder
          fs::create_directories(dir.file("root/OutputDrivers"));
          return dir.path();
      }()),
      m_messages(std::move(messageAnswers)) {}

FuzzRun::~FuzzRun() {
    std::error_code ec;
    for (const std::string& folder : {m_folder, OutputDrivers()}) {
        for (const auto& entry : fs::directory_iterator(folder, ec)) {
            const auto name = entry.path().filename();
            if (name != "locks" && name != "root") fs::remove_all(entry.path(), ec);
        }
    }
}

bool WriteBytes(const std::string& path, std::span<const uint8_t> bytes) {
    std::string error;
    return WriteFileBytes(path.c_str(), bytes, error);
}

std::span<const uint8_t> AsBytes(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string DataFileFor(const std::string& ticketPath) {
    return OXJob::GetFileName(ePrefix0, AFilePath(ticketPath.c_str())).c_str();
}

std::vector<uint8_t> TicketBytes(const std::string& model, int16_t dpi, int16_t colorModel,
                                 bool colorBar) {
    JobTicket ticket{model, dpi, dpi, {}, "", colorModel};
    auto* settings = reinterpret_cast<PrinterSettings*>(ticket.settings.data());
    RTL::ResetSettings(settings);
    settings->colorBar = colorBar ? 1 : 0;
    return EncodeJobTicket(ticket);
}

namespace {

// Four 1-bit inks, then a placed page with a 2-bit ink, a layer and an ink no colour mode names.
bool WriteSmallJob(const std::string& path) {
    const PageFormat pages[] = {
        {24, 3, 0, 0, {{"Cyan", 1}, {"Magenta", 1}, {"Yellow", 1}, {"Black", 1}}},
        {20, 2, 3, 2, {{"Black", 2}, {"Black_l_2", 2}, {"Unnamed", 1}}}};
    std::string error;
    auto writer = JobWriter::Create(path, error);
    for (const PageFormat& page : pages) {
        if (!writer || !writer->BeginPage(page, error)) return false;
        std::vector<std::vector<uint8_t>> rows(page.colorants.size());
        for (int r = 0; r < page.height; ++r) {
            std::vector<std::span<const uint8_t>> spans;
            for (std::size_t c = 0; c < rows.size(); ++c) {
                rows[c].resize((page.width * page.colorants[c].bitsPerPixel + 7) / 8);
                for (std::size_t i = 0; i < rows[c].size(); ++i) {
                    rows[c][i] = static_cast<uint8_t>(0x35 * (c + 1) + 11 * r + i);
                }
                spans.emplace_back(rows[c]);
            }
            if (!writer->AppendRow(spans, error)) return false;
        }
        if (!writer->EndPage(error)) return false;
    }
    return writer && writer->Finish(error);
}

}  // namespace

int PrintJob(Invariants& check, FuzzRun& run, std::span<const uint8_t> ticket, const char* options,
             int maxSteps, bool smallJob) {
    const std::string path = run.Ticket();
    if (!WriteBytes(path, ticket) || (smallJob && !WriteSmallJob(DataFileFor(path)))) {
        check.Check(false, "the run's files can be written");
        return 0;
    }
    HostJobRecord job{};
    std::snprintf(job.path, sizeof job.path, "%s", path.c_str());
    job.m_nOutputTag = 7;
    job.m_bDirectDataName = 1;
    job.m_pszCustomColorXml = options;
    test::MemoryChannel out;
    CDriver driver;
    const int opened = driver.OpenJob(&job, &out);
    bool stepFailed = false;
    for (int steps = 0; opened != 0 && steps < maxSteps && job.m_nDone != -1; ++steps) {
        if ((stepFailed = driver.PrintStep(nullptr, nullptr, nullptr) == 0)) break;
    }
    const bool finished = opened != 0 && !stepFailed && job.m_nDone == -1;
    check.Check(opened == 0 || finished || driver.AbortJob(nullptr, nullptr, nullptr) != 0,
                "an abort succeeds while the channel works");
    check.Check(opened == 1 || job.m_nDone == -1, "a job that fails to open is done");
    check.Check(opened != 0 || out.bytes.empty(), "a job that fails to open sends nothing");
    check.Check(opened != 0 || !run.Log().empty(), "a job that fails to open says why");
    check.Check(!stepFailed || !run.Log().empty() || !run.Messages().empty(),
                "a failed step says why or asked the user");
    const std::string sent(out.bytes.begin(), out.bytes.end());
    int ends = 0;
    for (std::size_t at = 0; (at = sent.find("\x1b*rC", at)) != std::string::npos; ++at) ++ends;
    check.Check(!finished || !smallJob || ends == 2, "a finished job ends both pages");
    auto* engine = dynamic_cast<ARowBaseRTL*>(driver.Engine());
    check.Check(engine != nullptr && !engine->HoldsStartLock() && !engine->HoldsLayoutLock(),
                "the engine holds no mutex once the job is over");
    check.Check(JobLocksFree(engine ? std::atoi(engine->JobId().c_str()) : 0),
                "the job's named mutexes are free once it is over");
    return opened;
}

bool FreeForOtherThreads(const std::string& name) {
    // The owning thread may always take its mutex again, so only another thread can tell.
    bool free = false;
    std::thread([&] {
        CMutex mutex(false, name.c_str());
        if ((free = mutex.Lock(0) == 1)) mutex.Unlock();
    }).join();
    return free;
}

bool JobLocksFree(int jobId) {
    return FreeForOtherThreads("QRM_PRINT_START" + std::to_string(jobId)) &&
           FreeForOtherThreads("QRM_PRINT_MAKELAYOUT" + std::to_string(jobId));
}

}  // namespace tarnwick::fuzz
