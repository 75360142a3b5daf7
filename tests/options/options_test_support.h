// Shared helpers of the options tests: a settings area to edit and the driver's default record.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "rtl/text_table.h"
#include "tarnwick/records.h"

namespace tarnwick::options_test {

// A byte of the area by its record field's name, or rest0 / restLast: the first and the last
// byte past the record.
inline uint8_t& Byte(SettingsArea& area, const std::string& name) {
    if (name == "rest0") return area.rest[0];
    if (name == "restLast") return area.rest[sizeof area.rest - 1];
    uint8_t* field = test::SettingsField(area.settings, name);
    if (field == nullptr) throw std::invalid_argument("no record field " + name);
    return *field;
}

// A valid record with every option away from its default, and marked bytes past the record.
inline SettingsArea EditedArea() {
    SettingsArea area;
    std::memset(&area, 0, sizeof area);
    // tag .. colorBar in record order; the model class is the page's to set.
    const uint8_t record[] = {24, 0, 0, 7, 2, 1, 4, 1, 0, 1, 0x42, 3, 0, 2};
    std::memcpy(&area.settings, record, sizeof record);
    area.rest[0] = 0xA5;
    area.rest[sizeof area.rest - 1] = 0x5A;
    return area;
}

// The record the driver's defaults give, written out by hand so a wrong default is caught;
// reserved10 and modelClass are the caller's, and so are the fields named in `skip`.
inline void ExpectDefaults(PrinterSettings s, std::set<std::string> skip = {}) {
    const std::vector<uint8_t> defaults = {24, 1, 1, 1, 0, 0, 0, 0, 0, 1, 0, 3, 0, 1};
    auto* bytes = reinterpret_cast<uint8_t*>(&s);
    skip.insert({"reserved10", "modelClass"});
    for (const std::string& name : skip) {
        if (uint8_t* field = test::SettingsField(s, name)) *field = defaults[field - bytes];
    }
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + sizeof s), defaults);
}

}  // namespace tarnwick::options_test
