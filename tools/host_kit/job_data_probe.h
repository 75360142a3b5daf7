// What a host needs to know about a job's data file before the driver reads it: its name and
// whether it already holds a page.
#pragma once

#include <string>
#include <vector>

namespace tarnwick::hostkit {

// The data file that the driver will read for the ticket: the prefix 2 name when that file
// exists, else the prefix 0 name; "" when neither exists.
std::string FindJobDataFile(const std::string& ticketPath);
// Every name the data file may have (prefix 2, then prefix 0), whether it exists or not.
std::vector<std::string> JobDataFileNames(const std::string& ticketPath);
// The prefix 0 name, the one hosts write.
std::string JobDataFileName(const std::string& ticketPath);

enum class DataState {
    kMissing,  // no file yet
    kNotYet,   // there, but no page to print yet (or caught between two writes)
    kReady,    // a page is there
    kNoPages,  // finished without a page
    kDamaged,  // finished but unreadable, or not a regular file
};

// Looks at the file as the driver would; message says why for kDamaged and kNoPages.
DataState ProbeJobData(const std::string& dataPath, std::string& message);

}  // namespace tarnwick::hostkit
