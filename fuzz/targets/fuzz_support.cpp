#include "fuzz_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "host/afile_path.h"
#include "host/job/job_writer.h"
#include "host/job/ox_job.h"
#include "platform/named_mutex.h"
#include "rtl/rtl.h"
#include "support/temp_dir.h"

namespace tarnwick::fuzz {
namespace fs = std::filesystem;

void Invariants::Check(bool holds, const char* what) {
    if (holds) return;
    ++m_failures;
    std::fprintf(stderr, "%s: invariant broken: %s\n", m_target, what);
}

namespace {

// One folder per process: making and removing one per input would cost more than most inputs.
const std::string& Workspace() {
    static const test::TempDir dir;
    static const std::string folder = [] {
        ::mkdir(dir.file("locks").c_str(), 0700);  // the named mutexes refuse a shared folder
        fs::create_directories(dir.file("root/OutputDrivers"));
        return dir.path();
    }();
    return folder;
}

}  // namespace

FuzzRun::FuzzRun(std::vector<int> messageAnswers) : m_folder(Workspace()) {
    m_lockDir.emplace("TARNWICK_LOCK_DIR", File("locks"));
    m_root.emplace("TARNWICK_ROOT", File("root"));
    m_useClock.emplace(&m_clock);
    m_log.emplace();
    m_messages.emplace(std::move(messageAnswers));
}

FuzzRun::~FuzzRun() {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(m_folder, ec)) {
        const auto name = entry.path().filename();
        if (name != "locks" && name != "root") fs::remove_all(entry.path(), ec);
    }
    for (const auto& entry : fs::directory_iterator(OutputDrivers(), ec)) {
        fs::remove_all(entry.path(), ec);
    }
}

bool WriteBytes(const std::string& path, std::span<const uint8_t> bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    std::size_t done = 0;
    for (ssize_t put = 1; done < bytes.size() && put > 0; done += static_cast<std::size_t>(put)) {
        put = std::max<ssize_t>(::write(fd, bytes.data() + done, bytes.size() - done), 0);
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
    const auto put = [&](std::size_t at, const void* from, std::size_t n) {
        std::memcpy(bytes.data() + at, from, n);
    };
    put(job_header::kPrinterModel, fields.model.data(),
        std::min<std::size_t>(fields.model.size(), 63));
    put(job_header::kResX, &fields.dpi, sizeof fields.dpi);
    put(job_header::kResY, &fields.dpi, sizeof fields.dpi);
    PrinterSettings settings{};
    RTL::ResetSettings(&settings);
    settings.colorBar = fields.colorBar ? 1 : 0;
    put(job_header::kSettings, &settings, sizeof settings);
    put(job_header::kColorModel, &fields.colorModel, sizeof fields.colorModel);
    return bytes;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool WriteJobData(const std::string& path, const std::vector<PageFormat>& pages, int stopAfterRows,
                  std::vector<uint8_t>* live) {
    std::string error;
    auto writer = JobWriter::Create(path, error);
    if (!writer) return false;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const PageFormat& page = pages[p];
        const bool cut = p + 1 == pages.size() && stopAfterRows >= 0;
        if (!writer->BeginPage(page, error)) return false;
        std::vector<std::vector<uint8_t>> rows(page.colorants.size());
        for (int r = 0; r < (cut ? stopAfterRows : page.height); ++r) {
            std::vector<std::span<const uint8_t>> spans;
            for (std::size_t c = 0; c < rows.size(); ++c) {
                rows[c].resize((int64_t{page.width} * page.colorants[c].bitsPerPixel + 7) / 8);
                for (std::size_t i = 0; i < rows[c].size(); ++i) {
                    rows[c][i] = static_cast<uint8_t>(0x35 * (c + 1) + 11 * r + i);
                }
                spans.emplace_back(rows[c]);
            }
            if (!writer->AppendRow(spans, error)) return false;
        }
        if (cut) {
            if (live != nullptr) *live = ReadBytes(path);
            return true;
        }
        if (!writer->EndPage(error)) return false;
    }
    return writer->Finish(error);
}

bool WriteSmallJobData(const std::string& path) {
    return WriteJobData(path,
                        {{24, 3, 0, 0, {{"Cyan", 1}, {"Magenta", 1}, {"Yellow", 1}, {"Black", 1}}},
                         {20, 2, 3, 2, {{"Black", 2}, {"Black_l_2", 2}, {"Unnamed", 1}}}});
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

int CountOf(std::span<const uint8_t> haystack, const std::string& needle) {
    int count = 0;
    for (auto it = haystack.begin();
         (it = std::search(it, haystack.end(), needle.begin(), needle.end())) != haystack.end();
         ++it) {
        ++count;
    }
    return count;
}

}  // namespace tarnwick::fuzz
