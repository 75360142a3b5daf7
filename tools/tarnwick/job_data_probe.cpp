#include "job_data_probe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>

#include "host/afile_path.h"
#include "host/job/job_format.h"
#include "host/job/ox_job.h"

namespace tarnwick::cli {
namespace {

constexpr int kHeaderShort = -1;
constexpr int kNotAJob = -2;

// The writing flag of the file header; kHeaderShort while the header is not all there yet,
// kNotAJob for a file that is no job data file at all.
int WritingFlag(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return kHeaderShort;
    std::array<uint8_t, job_format::kCountsAt + job_format::kCountsSize> header{};
    const ssize_t n = ::pread(fd, header.data(), header.size(), 0);
    ::close(fd);
    if (n != static_cast<ssize_t>(header.size())) return kHeaderShort;
    if (!std::equal(job_format::kFileMagic.begin(), job_format::kFileMagic.end(), header.begin())) {
        return kNotAJob;
    }
    return job_format::LoadCounts(header.data() + job_format::kCountsAt).writing;
}

}  // namespace

std::string JobDataFileName(const std::string& ticketPath) {
    return OXJob::GetFileName(ePrefix0, AFilePath(ticketPath.c_str())).c_str();
}

std::vector<std::string> JobDataFileNames(const std::string& ticketPath) {
    std::vector<std::string> names;
    for (const eHardCodePrefix prefix : {ePrefix2, ePrefix0}) {
        names.emplace_back(OXJob::GetFileName(prefix, AFilePath(ticketPath.c_str())).c_str());
    }
    return names;
}

std::string FindJobDataFile(const std::string& ticketPath) {
    for (const eHardCodePrefix prefix : {ePrefix2, ePrefix0}) {
        const AFilePath name = OXJob::GetFileName(prefix, AFilePath(ticketPath.c_str()));
        if (name.exists()) return name.c_str();
    }
    return {};
}

DataState ProbeJobData(const std::string& dataPath, std::string& message) {
    if (dataPath.empty() || !AFilePath(dataPath.c_str()).exists()) return DataState::kMissing;
    // A FIFO or device would hold every read until someone writes to it.
    struct stat st {};
    if (::stat(dataPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        message = "the job data file " + dataPath + " is not a regular file";
        return DataState::kDamaged;
    }
    OXJob job(0);
    if (job.Load(dataPath.c_str())) {
        if (job.m_nJobPages > 0) return DataState::kReady;
        if (job.m_bWriting != 0) return DataState::kNotYet;
        message = "the job data file " + dataPath + " holds no page";
        return DataState::kNoPages;
    }
    // A file that is still being written may be caught half-way; only a finished one is broken.
    const int writing = WritingFlag(dataPath);
    if (writing != 0 && writing != kNotAJob) return DataState::kNotYet;
    message = job.lastError();
    return DataState::kDamaged;
}

}  // namespace tarnwick::cli
