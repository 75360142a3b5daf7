// AColorant: one channel of a page image, handed out by value so that callers may keep it
// across reloads of the job file.
#pragma once

#include <optional>
#include <string_view>

#include "host/astring.h"

namespace tarnwick {

// A layer colorant is named BASE + "_l_" + the number of the page, counted in pages ended, that
// prints it instead of BASE (e.g. "Cyan_l_2").
struct LayerName {
    std::string_view base;
    std::optional<int> page;  // none when the text after the mark holds no number
};

// The parts of a layer colorant's name; none for an ordinary colorant.
std::optional<LayerName> SplitLayerName(std::string_view name);

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
