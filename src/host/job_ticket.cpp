#include "host/job_ticket.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

namespace tarnwick {
namespace {

template <typename T>
void Put(std::vector<uint8_t>& bytes, std::size_t offset, T value) {
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

void PutText(std::vector<uint8_t>& bytes, std::size_t offset, const std::string& text) {
    const std::size_t n = std::min<std::size_t>(text.size(), 63);
    std::memcpy(bytes.data() + offset, text.data(), n);
}

}  // namespace

bool WriteJobTicket(const std::string& path, const JobTicket& ticket, std::string& error) {
    std::vector<uint8_t> bytes(kJobHeaderSize, 0);
    PutText(bytes, job_header::kPrinterModel, ticket.printerModel);
    Put(bytes, job_header::kResX, ticket.resX);
    Put(bytes, job_header::kResY, ticket.resY);
    std::memcpy(bytes.data() + job_header::kSettings, ticket.settings.data(), kSettingsAreaSize);
    PutText(bytes, job_header::kCalibrationText, ticket.calibrationText);
    Put(bytes, job_header::kColorModel, ticket.colorModel);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        error = "cannot write the job ticket " + path + ": " + std::strerror(errno);
        return false;
    }
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        error = "cannot write the job ticket " + path;
        return false;
    }
    return true;
}

bool ReadTicketSettings(const std::string& path, std::string& model, SettingsArea& area,
                        std::string& error) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> header(kJobHeaderSize);
    if (!in || !in.read(header.data(), static_cast<std::streamsize>(header.size()))) {
        error = "cannot read a job ticket header of " + std::to_string(kJobHeaderSize) +
                " bytes from " + path;
        return false;
    }
    const char* name = header.data() + job_header::kPrinterModel;
    model.assign(name, strnlen(name, 63));
    std::memcpy(&area, header.data() + job_header::kSettings, sizeof area);
    return true;
}

bool WriteTicketSettings(const std::string& path, const SettingsArea& area, std::string& error) {
    std::string model;
    SettingsArea current{};
    // Only a ticket with a whole header is written to.
    if (!ReadTicketSettings(path, model, current, error)) return false;
    std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
    out.seekp(static_cast<std::streamoff>(job_header::kSettings));
    out.write(reinterpret_cast<const char*>(&area), sizeof area);
    out.close();
    if (!out) {
        error = "cannot write the settings into the job ticket " + path;
        return false;
    }
    return true;
}

}  // namespace tarnwick
