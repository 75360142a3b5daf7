#include "rtl/header_values.h"

#include <limits>

#include "rtl/color_bar.h"
#include "rtl/printer_models.h"

namespace tarnwick {
namespace {

constexpr int kPlotUnitsPerInch = 1016;
constexpr int32_t kPhotoResolution = 2 * kPhotoBaseResolution;
constexpr int32_t kDefaultPlaneCount = 4;

}  // namespace

HeaderValues ComputeHeaderValues(const HeaderInputs& in) {
    HeaderValues v;
    if (in.resX <= 0 || in.resY <= 0) {
        v.error = "invalid device resolution";
        return v;
    }
    if (in.scaleX < 1) {
        v.error = "invalid horizontal pixel repetition";
        return v;
    }
    if (in.fullWidth < 0 || in.devWidth < 0 || in.devHeight < 0) {
        v.error = "invalid page size";
        return v;
    }

    // The strip is counted in the row whether or not the colour bar is on.
    const int64_t rowBytes = ((in.fullWidth + StripPixels(in.resX)) * in.scaleX + 7) / 8;
    if (rowBytes > std::numeric_limits<int32_t>::max()) {
        v.error = "page too wide";
        return v;
    }
    v.rowBytes = static_cast<int32_t>(rowBytes);
    v.imageRowBytes = (static_cast<int64_t>(in.fullWidth) * in.scaleX + 7) / 8;

    // The printer compares the plot size with the raster, so the precision
    // of each step matters: single precision for the length and the plain
    // width, double precision for the width with the strip.
    const float length =
        static_cast<float>(in.devHeight) * kPlotUnitsPerInch / static_cast<float>(in.resY);
    v.plotLength = static_cast<long>(static_cast<double>(length) + 0.5);
    double width;
    if (in.colorBar != kColorBarNone) {
        width = (in.resX * kStripInches + in.fullWidth) * kPlotUnitsPerInch * in.scaleX / in.resX;
    } else {
        width = static_cast<float>(in.fullWidth) * kPlotUnitsPerInch *
                static_cast<float>(in.scaleX) / static_cast<float>(in.resX);
    }
    v.plotWidth = static_cast<long>(width + 0.5);

    v.passes = PassCount(in.modelClass, in.printMode);
    int32_t resolution = in.resX;
    if (in.resX == kPhotoBaseResolution && v.passes == kPhotoPasses) resolution = kPhotoResolution;
    v.resolution = static_cast<int16_t>(resolution);

    v.sourceWidth = in.devWidth;
    if (in.colorBar != kColorBarNone) v.sourceWidth += StripDevicePixels(in.resX, in.scaleX);
    v.planeCount = in.colorBar != kColorBarNone || in.planes == kStripPlanes ? kStripPlanes
                                                                             : kDefaultPlaneCount;
    return v;
}

}  // namespace tarnwick
