// ALocaleSwitcher: numeric formatting and parsing in the "C" locale for the lifetime of a scope,
// so printer commands and configuration numbers use '.' whatever locale the host runs under.
#pragma once

#include <locale.h>

namespace tarnwick {

// Affects only the calling thread (uselocale); scopes nest, each restoring what it found.
// Only LC_NUMERIC changes; the other categories of the thread's locale are kept.
class ALocaleSwitcher {
  public:
    ALocaleSwitcher();
    ~ALocaleSwitcher();
    ALocaleSwitcher(const ALocaleSwitcher&) = delete;
    ALocaleSwitcher& operator=(const ALocaleSwitcher&) = delete;

  private:
    locale_t m_numericC = static_cast<locale_t>(0);
    locale_t m_previous = static_cast<locale_t>(0);
};

}  // namespace tarnwick
