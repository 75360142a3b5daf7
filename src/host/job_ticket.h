// The host side of the job ticket file: what a print host writes before it
// hands a job to the driver.
#pragma once

#include <array>
#include <cstdint>
#include <string>

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

// Writes the 3940-byte ticket header; false with a reason on failure.
bool WriteJobTicket(const std::string& path, const JobTicket& ticket, std::string& error);

// The printer model and the driver option area of an existing ticket, for
// editing a job's settings; false with a reason when the ticket is shorter
// than its header or cannot be read.
bool ReadTicketSettings(const std::string& path, std::string& model, SettingsArea& area,
                        std::string& error);

// Puts an edited driver option area back into the ticket, leaving every
// other byte as it was.
bool WriteTicketSettings(const std::string& path, const SettingsArea& area, std::string& error);

}  // namespace tarnwick
