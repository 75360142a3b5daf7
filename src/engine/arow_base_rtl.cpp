#include "engine/arow_base_rtl.h"

#include <cstring>

#include "host/job/colorant.h"
#include "host/job/image.h"
#include "host/job/ox_job.h"

namespace tarnwick {

ARowBaseRTL::ARowBaseRTL()
    : m_pCmdBuf(std::make_unique<uint8_t[]>(kCmdBufSize)),
      m_pScratchBuf(std::make_unique<uint8_t[]>(kCmdBufSize)) {
    // Unused plane slots carry a recognisable pattern rather than a plane.
    std::memset(m_nPlaneChannel.data(), 0xCF, sizeof m_nPlaneChannel);
}

// Members release the job object, the locks, the buffers and the colorants
// (the colorants from the last to the first).
ARowBaseRTL::~ARowBaseRTL() = default;

}  // namespace tarnwick
