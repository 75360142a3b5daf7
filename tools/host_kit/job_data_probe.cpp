#include "host_kit/job_data_probe.h"

#include <sys/stat.h>

#include "host/afile_path.h"
#include "host/job/ox_job.h"

namespace tarnwick::hostkit {

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
    return OXJob::FindDataFile(AFilePath(ticketPath.c_str())).c_str();
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
    const OXJob::Head head = OXJob::PeekHead(dataPath.c_str());
    if (head == OXJob::Head::kShort || head == OXJob::Head::kWriting) return DataState::kNotYet;
    message = job.lastError();
    return DataState::kDamaged;
}

}  // namespace tarnwick::hostkit
