// Jobs as the print host hands them to the driver: a ticket and, next to it, the job data file.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace tarnwick::bench {

// A scratch folder (mkdtemp under base) that is removed with everything in it.
class ScratchDir {
  public:
    explicit ScratchDir(const std::string& base);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    bool ok() const { return !m_path.empty(); }
    const std::string& path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

  private:
    std::string m_path;
};

struct JobShape {
    int dpi = 720;
    bool colorBar = false;  // false: settings with the colour bar off; true: the defaults
    int rowBytes = 0;       // per plane; the page is rowBytes * 8 pixels wide
    int64_t rows = 0;
};

// Row `row` of plane `plane` (0..5 in CMYKLcLm order), rowBytes long.
using RowSource = std::function<std::span<const uint8_t>(int plane, int64_t row)>;

// Writes the ticket alone: model CP52, colour mode 2, the shape's dpi and colour bar.
bool WriteTicket(const std::string& ticketPath, const JobShape& shape, std::string& error);

// Writes the ticket and its job data file with one page.
// False with error on any failure.
bool WriteJob(const std::string& ticketPath, const JobShape& shape, const RowSource& rows,
              std::string& error);

// The job data file that belongs to a ticket.
std::string DataFileOf(const std::string& ticketPath);

// Removes the ticket and its data file.
void RemoveJob(const std::string& ticketPath);

}  // namespace tarnwick::bench
