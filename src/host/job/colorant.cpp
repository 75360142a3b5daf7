#include "host/job/colorant.h"

#include <cstdio>
#include <string>
#include <utility>

namespace tarnwick {

std::optional<LayerName> SplitLayerName(std::string_view name) {
    static constexpr std::string_view kMark = "_l_";
    const std::size_t mark = name.find(kMark);
    if (mark == std::string_view::npos) return std::nullopt;
    LayerName layer{name.substr(0, mark), std::nullopt};
    // Read as "%d" would: leading white space and a sign, then digits.
    const std::string text(name.substr(mark + kMark.size()));
    int page = 0;
    if (std::sscanf(text.c_str(), "%d", &page) == 1) layer.page = page;
    return layer;
}

AColorant::AColorant(AString name, int bitsPerPixel, int channelIndex)
    : m_name(std::move(name)), m_nBitsPerPixel(bitsPerPixel), m_nChannelIndex(channelIndex) {}

AColorant::~AColorant() = default;

}  // namespace tarnwick
