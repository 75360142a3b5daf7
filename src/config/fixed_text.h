// Copying text into the fixed-size character fields of host records.
#pragma once

#include <span>
#include <string_view>

namespace tarnwick {

// Copies as much of `text` as fits in `field` with room for the terminating
// NUL, and zero-fills the rest of the field, so a long name is cut rather
// than written past the field. An empty field is left alone.
void CopyFixedText(std::span<char> field, std::string_view text);

// Text at the start of a fixed-size field that the host may not have
// terminated: stops at the first NUL or at the end of the field.
std::string_view FixedFieldText(std::span<const char> field);

}  // namespace tarnwick
