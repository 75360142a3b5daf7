#include "host/job/colorant.h"

#include <utility>

namespace tarnwick {

AColorant::AColorant(AString name, int bitsPerPixel, int channelIndex)
    : m_name(std::move(name)), m_nBitsPerPixel(bitsPerPixel), m_nChannelIndex(channelIndex) {}

AColorant::~AColorant() = default;

}  // namespace tarnwick
