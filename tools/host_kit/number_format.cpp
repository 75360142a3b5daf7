#include "host_kit/number_format.h"

#include <charconv>
#include <cmath>

namespace tarnwick::hostkit {

std::string JsonFloat(float value) {
    if (!std::isfinite(value)) return "null";
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    std::string out(text, result.ptr);
    if (out.find_first_of(".e") == std::string::npos) out += ".0";
    return out;
}

}  // namespace tarnwick::hostkit
