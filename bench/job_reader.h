// The job reader alone: every row of every colorant of a job's page read the way the engine's
// line buffers read them (OXJob, AGroupImage::ReadRows into one row buffer). Timed next to the
// whole print, it tells how much of a print is spent reading the job file.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick::bench {

// Reads the first page of the job data file; false with error when the job cannot be read.
// bytes gets the number of row bytes read.
bool ReadJobPage(const std::string& dataFile, int64_t& bytes, std::string& error);

}  // namespace tarnwick::bench
