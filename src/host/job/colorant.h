// AColorant: one channel of a page image, handed out by value so that callers may keep it
// across reloads of the job file.
#pragma once

#include "host/astring.h"

namespace tarnwick {

class AColorant {
  public:
    AColorant(AString name, int bitsPerPixel, int channelIndex);
    virtual ~AColorant();
    AColorant(const AColorant&) = default;
    AColorant& operator=(const AColorant&) = default;

    const AString& GetName() const { return m_name; }
    int GetBitsPerPixel() const { return m_nBitsPerPixel; }
    // Position of the channel among the page's colorants (0 = first).
    int GetChannelIndex() const { return m_nChannelIndex; }

  private:
    AString m_name;
    int m_nBitsPerPixel;
    int m_nChannelIndex;
};

}  // namespace tarnwick
