#include "config/fixed_text.h"

#include <algorithm>
#include <cstring>

namespace tarnwick {

void CopyFixedText(std::span<char> field, std::string_view text) {
    if (field.empty()) return;
    const std::size_t n = std::min(text.size(), field.size() - 1);
    std::memcpy(field.data(), text.data(), n);
    std::fill(field.begin() + static_cast<std::ptrdiff_t>(n), field.end(), '\0');
}

std::string_view FixedFieldText(std::span<const char> field) {
    const auto end = std::find(field.begin(), field.end(), '\0');
    return {field.data(), static_cast<std::size_t>(end - field.begin())};
}

}  // namespace tarnwick
