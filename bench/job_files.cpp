#include "job_files.h"

#include <unistd.h>

#include <array>
#include <filesystem>
#include <vector>

#include "host/afile_path.h"
#include "host/job/job_writer.h"
#include "host/job/ox_job.h"
#include "host/job_ticket.h"
#include "rtl/rtl.h"

namespace tarnwick::bench {
namespace {

constexpr const char* kModel = "CP52";
constexpr int16_t kSixInkMode = 2;
constexpr int kPlaneCount = 6;
constexpr std::size_t kColorBarByte = 13;  // PrinterSettings::colorBar

// The colorant names the driver maps to the planes of colour mode 2, from its own table.
bool SixInkNames(std::array<std::string, kPlaneCount>& names, std::string& error) {
    std::array<ColorEntry, kMaxPlanes> entries{};
    ColorList list{0, entries.data(), kMaxPlanes};
    RTL rtl;
    if (rtl.GetColorList(kSixInkMode, &list) == 0 || list.count != kPlaneCount) {
        error = "colour mode 2 does not list six inks";
        return false;
    }
    for (int i = 0; i < kPlaneCount; ++i)
        names[static_cast<std::size_t>(i)] = entries[static_cast<std::size_t>(i)].name;
    return true;
}

}  // namespace

ScratchDir::ScratchDir(const std::string& base) {
    std::string pattern = base + "/tarnwick-bench-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) m_path = pattern;
}

ScratchDir::~ScratchDir() {
    if (m_path.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string DataFileOf(const std::string& ticketPath) {
    return OXJob::GetFileName(ePrefix0, AFilePath(ticketPath.c_str())).c_str();
}

void RemoveJob(const std::string& ticketPath) {
    std::error_code ec;
    std::filesystem::remove(DataFileOf(ticketPath), ec);
    std::filesystem::remove(ticketPath, ec);
}

bool WriteTicket(const std::string& ticketPath, const JobShape& shape, std::string& error) {
    JobTicket ticket;
    ticket.printerModel = kModel;
    ticket.resX = static_cast<int16_t>(shape.dpi);
    ticket.resY = static_cast<int16_t>(shape.dpi);
    ticket.colorModel = kSixInkMode;
    RTL::ResetSettings(reinterpret_cast<PrinterSettings*>(ticket.settings.data()));
    if (!shape.colorBar) ticket.settings[kColorBarByte] = 0;
    return WriteJobTicket(ticketPath, ticket, error);
}

bool WriteJob(const std::string& ticketPath, const JobShape& shape, const RowSource& rows,
              std::string& error) {
    if (!WriteTicket(ticketPath, shape, error)) return false;
    std::array<std::string, kPlaneCount> names;
    if (!SixInkNames(names, error)) return false;
    auto writer = JobWriter::Create(DataFileOf(ticketPath), error, JobWriter::kStreamingBatchBytes);
    if (!writer) return false;
    // Six one-bit colorants, in the colour list's order.
    if (!writer->BeginPage({shape.rowBytes * 8,
                            static_cast<int>(shape.rows),
                            0,
                            0,
                            {{names[0], 1},
                             {names[1], 1},
                             {names[2], 1},
                             {names[3], 1},
                             {names[4], 1},
                             {names[5], 1}}},
                           error)) {
        return false;
    }
    std::array<std::span<const uint8_t>, kPlaneCount> row;
    for (int64_t r = 0; r < shape.rows; ++r) {
        for (int p = 0; p < kPlaneCount; ++p) row[static_cast<std::size_t>(p)] = rows(p, r);
        if (!writer->AppendRow(row, error)) return false;
    }
    return writer->EndPage(error) && writer->Finish(error);
}

}  // namespace tarnwick::bench
