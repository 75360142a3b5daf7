// String loading over the module's string table, with a replaceable source
// so tests can take strings away.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tarnwick {

// Copies string resource `id` into text; false (and text empty) when the
// module has no such string.
bool LoadString(int id, std::string& text);

using StringSource = std::function<std::optional<std::string>(int id)>;

// Replaces the module's string table while it lives.
class ScopedStringSource {
  public:
    explicit ScopedStringSource(StringSource source);
    ~ScopedStringSource();
    ScopedStringSource(const ScopedStringSource&) = delete;
    ScopedStringSource& operator=(const ScopedStringSource&) = delete;

  private:
    StringSource m_previous;
};

}  // namespace tarnwick
