// The numbers of a page's job header, derived from the page geometry and
// the settings. Kept apart from the writing so the arithmetic (single or
// double precision, where it truncates) sits in one place.
#pragma once

#include <cstdint>

namespace tarnwick {

struct HeaderInputs {
    int32_t resX;        // effective dpi across
    int32_t resY;        // effective dpi along the feed
    int32_t fullWidth;   // image width in job pixels
    int32_t devWidth;    // device row width in pixels
    int32_t devHeight;   // device page height in rows
    int32_t scaleX;      // horizontal pixel repetition
    int32_t planes;      // planes of the job's colour mode
    int32_t printMode;   // print mode index from the host record
    uint8_t modelClass;  // PrinterSettings::modelClass
    uint8_t colorBar;    // PrinterSettings::colorBar
};

struct HeaderValues {
    // Null when the geometry cannot be sent; then nothing else is set.
    const char* error = nullptr;
    int32_t rowBytes = 0;       // plane row with the strip, as sent with the colour bar on
    int64_t imageRowBytes = 0;  // a one-bit plane row without the strip
    long plotLength = 0;        // plotter units (1/1016 inch)
    long plotWidth = 0;
    long sourceWidth = 0;    // device pixels, with the strip when it is on
    int32_t resolution = 0;  // announced dpi (a 16-bit value on the wire)
    int32_t passes = 0;
    int32_t planeCount = 0;  // planes declared to the printer
};

HeaderValues ComputeHeaderValues(const HeaderInputs& in);

}  // namespace tarnwick
