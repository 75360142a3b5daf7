#include "fuzz_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string_view>
#include <thread>

#include "host/afile_path.h"
#include "host/job/job_writer.h"
#include "host/job/ox_job.h"
#include "platform/named_mutex.h"
#include "rtl/rtl.h"
#include "support/temp_dir.h"

namespace tarnwick::fuzz {

void Invariants::Check(bool holds, const char* what) {
    if (holds) return;
    ++m_failures;
    std::fprintf(stderr, "%s: invariant broken: %s\n", m_target, what);
}

namespace {

// One folder per process, made at the first run and removed at exit: making and removing a
// folder for every input would cost more than most inputs take.
class Workspace {
  public:
    static const std::string& Folder() {
        static Workspace workspace;
        return workspace.m_folder;
    }

  private:
    Workspace() {
        m_folder = m_dir.path();
        // The lock folder must be private (0700) or the named mutexes refuse it.
        ::mkdir((m_folder + "/locks").c_str(), 0700);
        std::filesystem::create_directories(m_folder + "/root/OutputDrivers");
    }
    test::TempDir m_dir;
    std::string m_folder;
};

// Removes everything in `folder` but the entries named in `keep`.
void Empty(const std::string& folder, std::initializer_list<std::string_view> keep) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (std::find(keep.begin(), keep.end(), name) != keep.end()) continue;
        std::filesystem::remove_all(entry.path(), ec);
    }
}

}  // namespace

FuzzRun::FuzzRun(std::vector<int> messageAnswers) : m_folder(Workspace::Folder()) {
    m_lockDir = std::make_unique<ScopedEnv>("TARNWICK_LOCK_DIR", File("locks"));
    m_root = std::make_unique<ScopedEnv>("TARNWICK_ROOT", File("root"));
    m_useClock = std::make_unique<ScopedClock>(&m_clock);
    m_log = std::make_unique<ScopedLogCapture>();
    m_messages = std::make_unique<ScopedMessageScript>(std::move(messageAnswers));
}

FuzzRun::~FuzzRun() {
    m_messages.reset();
    m_log.reset();
    m_useClock.reset();
    m_root.reset();
    m_lockDir.reset();
    Empty(m_folder, {"locks", "root"});
    Empty(OutputDrivers(), {});
}

bool WriteBytes(const std::string& path, std::span<const uint8_t> bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put <= 0) break;
        done += static_cast<std::size_t>(put);
    }
    return ::close(fd) == 0 && done == bytes.size();
}

std::span<const uint8_t> AsBytes(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string DataFileFor(const std::string& ticketPath) {
    return OXJob::GetFileName(ePrefix0, AFilePath(ticketPath.c_str())).c_str();
}

std::vector<uint8_t> TicketBytes(const TicketFields& fields) {
    std::vector<uint8_t> bytes(kJobHeaderSize, 0);
    std::memcpy(bytes.data() + job_header::kPrinterModel, fields.model.data(),
                std::min<std::size_t>(fields.model.size(), 63));
    std::memcpy(bytes.data() + job_header::kResX, &fields.dpi, sizeof fields.dpi);
    std::memcpy(bytes.data() + job_header::kResY, &fields.dpi, sizeof fields.dpi);
    PrinterSettings settings{};
    RTL::ResetSettings(&settings);
    settings.colorBar = fields.colorBar ? 1 : 0;
    std::memcpy(bytes.data() + job_header::kSettings, &settings, sizeof settings);
    std::memcpy(bytes.data() + job_header::kColorModel, &fields.colorModel,
                sizeof fields.colorModel);
    return bytes;
}

namespace {

bool AppendRows(JobWriter& writer, const PageFormat& page, std::string& error) {
    std::vector<std::vector<uint8_t>> rows(page.colorants.size());
    for (int r = 0; r < page.height; ++r) {
        std::vector<std::span<const uint8_t>> spans;
        for (std::size_t c = 0; c < page.colorants.size(); ++c) {
            const auto bytes = (int64_t{page.width} * page.colorants[c].bitsPerPixel + 7) / 8;
            rows[c].resize(static_cast<std::size_t>(bytes));
            for (std::size_t i = 0; i < rows[c].size(); ++i) {
                rows[c][i] = static_cast<uint8_t>(0x35 * (c + 1) + 11 * r + i);
            }
            spans.emplace_back(rows[c]);
        }
        if (!writer.AppendRow(spans, error)) return false;
    }
    return writer.EndPage(error);
}

}  // namespace

bool WriteSmallJobData(const std::string& path) {
    const PageFormat pages[] = {
        {24, 3, 0, 0, {{"Cyan", 1}, {"Magenta", 1}, {"Yellow", 1}, {"Black", 1}}},
        {20, 2, 3, 2, {{"Black", 2}, {"Black_l_2", 2}, {"Unnamed", 1}}},
    };
    std::string error;
    auto writer = JobWriter::Create(path, error);
    if (!writer) return false;
    for (const PageFormat& page : pages) {
        if (!writer->BeginPage(page, error) || !AppendRows(*writer, page, error)) return false;
    }
    return writer->Finish(error);
}

std::unique_ptr<HostJobRecord> MakeRecord(const std::string& ticketPath) {
    auto job = std::make_unique<HostJobRecord>();
    std::memset(job.get(), 0, sizeof(HostJobRecord));
    std::snprintf(job->path, sizeof job->path, "%s", ticketPath.c_str());
    job->m_nOutputTag = 7;
    job->m_bDirectDataName = 1;
    return job;
}

JobOutcome PrintBounded(ABasePrinterDriver& driver, HostJobRecord& job, OutputChannel& out,
                        int maxSteps) {
    JobOutcome outcome;
    outcome.opened = driver.OpenJob(&job, &out);
    if (outcome.opened == 0) return outcome;
    while (outcome.steps < maxSteps && job.m_nDone != -1) {
        if (driver.PrintStep(nullptr, nullptr, nullptr) == 0) {
            outcome.stepFailed = true;
            break;
        }
        ++outcome.steps;
    }
    outcome.finished = !outcome.stepFailed && job.m_nDone == -1;
    if (!outcome.finished) outcome.aborted = driver.AbortJob(nullptr, nullptr, nullptr);
    return outcome;
}

bool FreeForOtherThreads(const std::string& name) {
    // The owning thread may always take its mutex again, so only another thread can tell.
    bool free = false;
    std::thread probe([&] {
        CMutex mutex(false, name.c_str());
        free = mutex.Lock(0) == 1;
        if (free) mutex.Unlock();
    });
    probe.join();
    return free;
}

bool JobLocksFree(int jobId) {
    for (const char* prefix : {"QRM_PRINT_START", "QRM_PRINT_MAKELAYOUT"}) {
        if (!FreeForOtherThreads(prefix + std::to_string(jobId))) return false;
    }
    return true;
}

int CountOf(std::span<const uint8_t> haystack, const std::string& needle) {
    if (needle.empty()) return 0;
    int count = 0;
    auto it = haystack.begin();
    for (;;) {
        it = std::search(it, haystack.end(), needle.begin(), needle.end());
        if (it == haystack.end()) return count;
        ++count;
        ++it;
    }
}

}  // namespace tarnwick::fuzz
