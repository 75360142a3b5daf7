// Private copies of host records: the engine never receives the host's own
// record, so nothing it does can change it.
#pragma once

#include "tarnwick/records.h"

namespace tarnwick {

class PrivateSetupCopy {
  public:
    // An absent record gives an all-zero copy with a null text.
    explicit PrivateSetupCopy(const PrintSetup* host);
    ~PrivateSetupCopy();
    PrivateSetupCopy(const PrivateSetupCopy&) = delete;
    PrivateSetupCopy& operator=(const PrivateSetupCopy&) = delete;

    PrintSetup* get() { return &m_copy; }

  private:
    PrintSetup m_copy{};
};

// An absent entry gives index -1 and empty names.
PrintModeEntry PrivateEntryCopy(const PrintModeEntry* host);

}  // namespace tarnwick
