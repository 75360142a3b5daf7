#include "host/job_ticket.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "host/file_bytes.h"
#include "host/replace_file.h"

namespace tarnwick {
namespace {

constexpr std::size_t kTicketText = 63;

template <typename T>
void Put(std::vector<uint8_t>& bytes, std::size_t offset, T value) {
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

template <typename T>
T Get(const std::vector<uint8_t>& bytes, std::size_t offset) {
    T value{};
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

void PutText(std::vector<uint8_t>& bytes, std::size_t offset, const std::string& text) {
    const std::size_t n = std::min<std::size_t>(text.size(), kTicketText);
    std::memcpy(bytes.data() + offset, text.data(), n);
}

std::string GetText(const std::vector<uint8_t>& bytes, std::size_t offset) {
    const char* text = reinterpret_cast<const char*>(bytes.data() + offset);
    return std::string(text, strnlen(text, kTicketText));
}

// The ticket's header; a FIFO or device is refused without waiting on it.
bool ReadHeader(const std::string& path, std::vector<uint8_t>& header, std::string& error) {
    const std::string refusal = "cannot read a job ticket header of " +
                                std::to_string(kJobHeaderSize) + " bytes from " + path;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = refusal + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = refusal + ": not a regular file";
        return false;
    }
    header.assign(kJobHeaderSize, 0);
    std::size_t done = 0;
    while (done < header.size()) {
        const ssize_t got =
            ::pread(fd, header.data() + done, header.size() - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    ::close(fd);
    if (done != header.size()) {
        error = refusal;
        return false;
    }
    return true;
}

}  // namespace

std::vector<uint8_t> EncodeJobTicket(const JobTicket& ticket) {
    std::vector<uint8_t> bytes(kJobHeaderSize, 0);
    PutText(bytes, job_header::kPrinterModel, ticket.printerModel);
    Put(bytes, job_header::kResX, ticket.resX);
    Put(bytes, job_header::kResY, ticket.resY);
    std::memcpy(bytes.data() + job_header::kSettings, ticket.settings.data(), kSettingsAreaSize);
    PutText(bytes, job_header::kCalibrationText, ticket.calibrationText);
    Put(bytes, job_header::kColorModel, ticket.colorModel);
    return bytes;
}

bool WriteJobTicket(const std::string& path, const JobTicket& ticket, std::string& error) {
    if (ReplaceFileContent(path, EncodeJobTicket(ticket), error)) return true;
    error = "cannot write the job ticket: " + error;
    return false;
}

bool ReadJobTicket(const std::string& path, JobTicket& ticket, std::string& error) {
    std::vector<uint8_t> header;
    if (!ReadHeader(path, header, error)) return false;
    ticket.printerModel = GetText(header, job_header::kPrinterModel);
    ticket.resX = Get<int16_t>(header, job_header::kResX);
    ticket.resY = Get<int16_t>(header, job_header::kResY);
    std::memcpy(ticket.settings.data(), header.data() + job_header::kSettings, kSettingsAreaSize);
    ticket.calibrationText = GetText(header, job_header::kCalibrationText);
    ticket.colorModel = Get<int16_t>(header, job_header::kColorModel);
    return true;
}

bool ReadTicketSettings(const std::string& path, std::string& model, SettingsArea& area,
                        std::string& error) {
    JobTicket ticket;
    if (!ReadJobTicket(path, ticket, error)) return false;
    model = ticket.printerModel;
    std::memcpy(&area, ticket.settings.data(), sizeof area);
    return true;
}

bool WriteTicketSettings(const std::string& path, const SettingsArea& area, std::string& error) {
    std::vector<uint8_t> header;
    // Only a ticket with a whole header is written to.
    if (!ReadHeader(path, header, error)) return false;
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(path.c_str(), kMaxConfigFileBytes, bytes, error)) return false;
    if (bytes.size() < kJobHeaderSize) {
        error = "the job ticket " + path + " became shorter than its header";
        return false;
    }
    std::memcpy(bytes.data() + job_header::kSettings, &area, sizeof area);
    if (ReplaceFileContent(path, bytes, error)) return true;
    error = "cannot write the settings into the job ticket: " + error;
    return false;
}

}  // namespace tarnwick
