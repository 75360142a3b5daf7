#include "driver/cdriver.h"

#include "rtl/rtl.h"

namespace tarnwick {

CDriver::CDriver() {
    m_pEngine = std::make_unique<RTL>();
}

CDriver::~CDriver() = default;

}  // namespace tarnwick
