// Checks a job data file and finds its pages. Nothing in the file is trusted: every
// count, size and offset is checked against the real file size before it is used.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "host/job/job_file_reader.h"
#include "host/job/job_format.h"
#include "host/job/page_layout.h"

namespace tarnwick {

struct ParsedJob {
    job_format::JobCounts counts;
    std::vector<PageLayout> pages;  // one per announced page
};

// head: the file header as read before the file was sized, whose counts are the ones that
// hold (a writer may have moved on since); file: the open file, sized after the head was read.
// On failure error says why in words a user can act on.
bool ParseJobFile(std::span<const uint8_t> head, JobFileReader& file, ParsedJob& out,
                  std::string& error);

}  // namespace tarnwick
