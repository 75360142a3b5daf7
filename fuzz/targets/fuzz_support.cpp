#include "fuzz_support.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "engine/arow_base_rtl.h"
#include "host/afile_path.h"
#include "host/file_bytes.h"
#include "host/job/ox_job.h"
#include "host/job_ticket.h"
#include "platform/named_mutex.h"
#include "support/job_fixture.h"
#include "support/temp_dir.h"

namespace tarnwick::fuzz {
namespace fs = std::filesystem;

// One folder per process: making and removing one per input would cost more than most inputs,
// and a configuration root made anew would be read anew.
FuzzRun::FuzzRun(std::vector<int> messageAnswers)
    : folder([] {
          static const test::TempDir dir;
          ::mkdir(dir.file("locks").c_str(), 0700);  // the named mutexes refuse a shared folder
          fs::create_directories(dir.file("root/OutputDrivers"));
          return dir.path();
      }()),
      messages(std::move(messageAnswers)) {}

FuzzRun::~FuzzRun() {
    std::error_code ec;
    for (const std::string& scratch : {folder, OutputDrivers()}) {
        for (const auto& entry : fs::directory_iterator(scratch, ec)) {
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
    JobTicket ticket = test::DefaultTicket(model, dpi, colorModel);
    ticket.settings[offsetof(PrinterSettings, colorBar)] = colorBar ? 1 : 0;
    return EncodeJobTicket(ticket);
}

int PrintJob(Invariants& check, FuzzRun& run, std::span<const uint8_t> ticket, const char* options,
             int maxSteps, bool smallJob) {
    const std::string path = run.Ticket();
    check.Check(WriteBytes(path, ticket), "the run's files can be written");
    // Four 1-bit inks, then a placed page: a 2-bit ink, a layer, an ink no colour mode names.
    if (smallJob) {
        test::WriteJobData(DataFileFor(path),
                           {{24, 3, 0, 0, {{"Cyan"}, {"Magenta"}, {"Yellow"}, {"Black"}}},
                            {20, 2, 3, 2, {{"Black", 2}, {"Black_l_2", 2}, {"Unnamed"}}}});
    }
    const auto record = test::MakeHostRecord(path);
    HostJobRecord& job = *record;
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
    check.Check(opened != 0 || !run.log.entries().empty(), "a job that fails to open says why");
    check.Check(!stepFailed || !run.log.entries().empty() || !run.messages.requests().empty(),
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
