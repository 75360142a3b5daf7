#include "host/job/image.h"

namespace tarnwick {

// The base image has no content: it exists so that other image kinds can stand in for pages.
AImage::~AImage() = default;

int AImage::ReadRows(const AColorant*, int, int, uint8_t*, int) {
    return 0;
}

int AImage::GetHeight() const {
    return 0;
}

int AImage::GetWidth() const {
    return 0;
}

void AImage::GetColorants(AObList&) const {}

}  // namespace tarnwick
