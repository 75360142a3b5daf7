// Numbers for JSON output: always the C locale's form, whatever the process locale says.
#pragma once

#include <string>

namespace tarnwick::hostkit {

// The shortest text that reads back as the same float, with at least one decimal ("1.0",
// "0.42"); "null" for infinities and NaN, which JSON cannot hold.
std::string JsonFloat(float value);

}  // namespace tarnwick::hostkit
