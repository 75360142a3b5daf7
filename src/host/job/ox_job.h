// OXJob: the job object through which the engine reads a job data file that the host may still
// be writing. The file's structure is checked as a whole at Load; rows are then read from the
// open file on demand. docs/job-data-format.md describes the file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/afile_path.h"
#include "host/job/image.h"

namespace tarnwick {

enum eHardCodePrefix { ePrefix0 = 0, ePrefix1 = 1, ePrefix2 = 2 };

class JobFileReader;

class OXJob {
  public:
    explicit OXJob(int reserved);
    virtual ~OXJob();
    OXJob(const OXJob&) = delete;
    OXJob& operator=(const OXJob&) = delete;

    // The data file that belongs to a job ticket: for "DIR/STEM.EXT" it is
    // "DIR/<prefix>_STEM.twj", for a ticket without a folder "<prefix>_STEM.twj". Both '/' and
    // '\\' separate folders in the ticket path; the folder part is kept as written. Only the
    // last extension is dropped, and a name that starts with a dot has no extension.
    static AFilePath GetFileName(eHardCodePrefix prefix, const AFilePath& jobPath);
    // The data file of a job as the driver looks for it: the prefix 2 name when that file
    // exists, else the prefix 0 name (only the latter with prefix0Only); empty when neither
    // exists.
    static AFilePath FindDataFile(const AFilePath& jobPath, bool prefix0Only = false);

    // What the first bytes of a file say, without checking the rest: whether the host is still
    // writing it. For a host that must tell a file caught half-way from a broken one.
    enum class Head { kShort, kNotAJob, kWriting, kFinished };
    static Head PeekHead(const char* dataFileName);

    // Maps and checks the file. 0 on failure, with lastError() saying why; the counts then stay
    // 0 and no page is available. A job object reads one snapshot: to see what the host wrote
    // since, make a new object and Load again.
    int Load(const char* dataFileName);
    // The data is readable from Load on; the host's library needed an explicit open, so this is
    // kept for callers written against it and does nothing.
    void OpenData(int mode);
    // Closes the file; every image handed out becomes invalid and GetImage gives null.
    void CloseData();
    // Nothing is ever buffered for writing by a reader; kept for the host interface.
    void Flush();

    // The page's image, owned by this object; null when the page is not in the file.
    AImage* GetImage(unsigned pageIndex);

    const std::string& lastError() const { return m_lastError; }
    // Why the last row read failed, e.g. the file was cut short after Load; empty otherwise.
    const std::string& readError() const;

    int32_t m_bWriting = 0;    // nonzero while the host is still writing the job
    int32_t m_nWritePage = 0;  // index of the page the host is writing (the last page in the file)
    int32_t m_nWriteRows = 0;  // rows of that page written so far
    int32_t m_nJobPages = 0;   // pages in the file

  private:
    std::string m_lastError;
    // Declared before the images, which point into it, so that it is destroyed after them.
    std::unique_ptr<JobFileReader> m_file;
    std::vector<std::unique_ptr<AGroupImage>> m_images;
};

}  // namespace tarnwick
