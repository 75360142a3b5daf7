// Writes a job the way a print host does: the ticket and the job data file beside it (the prefix
// 0 name), page after page, row after row. Both are written under temporary names beside their
// own and renamed once the job is complete, the data file first and the ticket last, so that a
// host that sees the ticket finds its data. A job that cannot be finished leaves every file as
// it was; a ticket or data file name that holds anything but a regular file is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/job/job_writer.h"
#include "host/job_ticket.h"

namespace tarnwick::cli {

// One page's pixels, handed out one row at a time, first to last: a page is read from its files
// as it is written and never sits in memory whole.
class PageSource {
  public:
    virtual ~PageSource() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual const std::vector<ColorantFormat>& colorants() const = 0;
    // The packed rows of every colorant for the next row, in colorant order, each exactly its
    // size; false with error set when a file turns out damaged.
    virtual bool NextRow(std::vector<std::vector<uint8_t>>& rows, std::string& error) = 0;
};

// Makes page `index` (0-based); null with error set when it cannot.
using PageFactory =
    std::function<std::unique_ptr<PageSource>(std::size_t index, std::string& error)>;

struct WrittenJob {
    std::string dataPath;
    int pages = 0;
};

// Told the page (1-based) and how many of its rows are written, after every row.
using RowProgress = std::function<void(int page, int row, int rows)>;

bool WriteJob(const std::string& ticketPath, const JobTicket& ticket, std::size_t pageCount,
              const PageFactory& makePage, WrittenJob& written, std::string& error,
              const RowProgress& progress = {});

}  // namespace tarnwick::cli
