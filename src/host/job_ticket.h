// The host side of the job ticket file: what a print host writes before it
// hands a job to the driver.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tarnwick/records.h"

namespace tarnwick {

struct JobTicket {
    std::string printerModel;  // at most 63 characters are kept
    int16_t resX = 360;        // dots per inch of the job image
    int16_t resY = 360;
    std::array<uint8_t, kSettingsAreaSize> settings{};  // the driver option area
    std::string calibrationText;                        // e.g. "feed~0.25"
    int16_t colorModel = 0;
};

// The 3940-byte ticket header.
std::vector<uint8_t> EncodeJobTicket(const JobTicket& ticket);

// Writes the ticket header beside path and renames it over path; false with a reason on
// failure, and then an existing ticket is left as it was.
bool WriteJobTicket(const std::string& path, const JobTicket& ticket, std::string& error);

// Reads the header of an existing ticket; a FIFO or device is refused without waiting on it.
bool ReadJobTicket(const std::string& path, JobTicket& ticket, std::string& error);

// The printer model and the driver option area of an existing ticket, for
// editing a job's settings; false with a reason when the ticket is shorter
// than its header or cannot be read.
bool ReadTicketSettings(const std::string& path, std::string& model, SettingsArea& area,
                        std::string& error);

// Puts an edited driver option area back into the ticket, leaving every
// other byte as it was (the ticket is rewritten beside itself and renamed).
bool WriteTicketSettings(const std::string& path, const SettingsArea& area, std::string& error);

}  // namespace tarnwick
