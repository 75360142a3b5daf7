// The built-in test chart of `tarnwick demo`: on every page a wedge of eleven steps (0 to 100%,
// 1-bit ordered dither) for each ink of the colour mode, vertical lines of 1 to 4 pixels, a
// band of hairlines in every ink, and the page number as that many black squares, all inside a
// blank margin. Pages with an odd index run their wedges the other way.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "job_builder.h"

namespace tarnwick::cli {

inline constexpr int kDemoWidth = 1440;  // 4 inches at 360 dpi
inline constexpr int kDemoHeight = 720;  // 2 inches
inline constexpr int kDemoMargin = 36;

std::unique_ptr<PageSource> MakeDemoPage(int pageIndex, const std::vector<std::string>& inks);

}  // namespace tarnwick::cli
