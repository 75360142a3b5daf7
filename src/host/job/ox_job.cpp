#include "host/job/ox_job.h"

#include <algorithm>
#include <array>
#include <utility>

#include "host/job/job_file_parser.h"
#include "host/job/job_file_reader.h"
#include "host/job/job_format.h"

namespace tarnwick {

OXJob::OXJob(int) {}

OXJob::~OXJob() {
    CloseData();
}

AFilePath OXJob::GetFileName(eHardCodePrefix prefix, const AFilePath& jobPath) {
    const std::string path = jobPath.c_str();
    const size_t slash = path.find_last_of("/\\");
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string stem = path.substr(nameStart);
    const size_t dot = stem.rfind('.');
    if (dot != std::string::npos && dot > 0) stem.resize(dot);
    const std::string name =
        path.substr(0, nameStart) + std::to_string(static_cast<int>(prefix)) + "_" + stem + ".twj";
    return AFilePath(name.c_str());
}

AFilePath OXJob::FindDataFile(const AFilePath& jobPath, bool prefix0Only) {
    if (!prefix0Only) {
        AFilePath name = GetFileName(ePrefix2, jobPath);
        if (name.exists()) return name;
    }
    AFilePath name = GetFileName(ePrefix0, jobPath);
    return name.exists() ? name : AFilePath("");
}

OXJob::Head OXJob::PeekHead(const char* dataFileName) {
    JobFileReader file;
    std::array<uint8_t, job_format::kCountsAt + job_format::kCountsSize> head{};
    size_t got = 0;
    std::string error;
    if (!dataFileName || !file.Open(dataFileName, error) || !file.ReadHead(head, got, error) ||
        got < head.size()) {
        return Head::kShort;
    }
    if (!std::equal(job_format::kFileMagic.begin(), job_format::kFileMagic.end(), head.begin())) {
        return Head::kNotAJob;
    }
    return job_format::LoadCounts(head.data() + job_format::kCountsAt).writing != 0
               ? Head::kWriting
               : Head::kFinished;
}

int OXJob::Load(const char* dataFileName) {
    CloseData();
    m_bWriting = m_nWritePage = m_nWriteRows = m_nJobPages = 0;
    m_lastError.clear();
    if (!dataFileName || !*dataFileName) {
        m_lastError = "no job data file name given";
        return 0;
    }

    auto file = std::make_unique<JobFileReader>();
    std::array<uint8_t, job_format::kFileHeaderSize> head{};
    size_t got = 0;
    ParsedJob job;
    if (!file->Open(dataFileName, m_lastError) || !file->ReadHead(head, got, m_lastError) ||
        !file->TakeSize(m_lastError) ||
        !ParseJobFile(std::span(head).first(got), *file, job, m_lastError)) {
        return 0;
    }

    for (PageLayout& page : job.pages) {
        m_images.push_back(std::make_unique<AGroupImage>(std::move(page), file.get()));
    }
    m_file = std::move(file);
    m_bWriting = job.counts.writing;
    m_nWritePage = job.counts.writePage;
    m_nWriteRows = job.counts.writeRows;
    m_nJobPages = job.counts.jobPages;
    return 1;
}

void OXJob::OpenData(int) {}

void OXJob::CloseData() {
    m_images.clear();
    m_file.reset();
}

void OXJob::Flush() {}

const std::string& OXJob::readError() const {
    static const std::string none;
    return m_file ? m_file->error() : none;
}

AImage* OXJob::GetImage(unsigned pageIndex) {
    return pageIndex < m_images.size() ? m_images[pageIndex].get() : nullptr;
}

}  // namespace tarnwick
