#include "driver/private_copy.h"

#include <cstdlib>
#include <cstring>

namespace tarnwick {

PrivateSetupCopy::PrivateSetupCopy(const PrintSetup* host) {
    if (host == nullptr) return;
    m_copy = *host;
    m_copy.text = nullptr;
    if (host->text != nullptr) {
        const std::size_t n = std::strlen(host->text);
        m_copy.text = static_cast<char*>(std::calloc(n + 10, 1));
        if (m_copy.text != nullptr) std::memcpy(m_copy.text, host->text, n);
    }
}

PrivateSetupCopy::~PrivateSetupCopy() {
    std::free(m_copy.text);
}

PrintModeEntry PrivateEntryCopy(const PrintModeEntry* host) {
    if (host != nullptr) return *host;
    PrintModeEntry empty{};
    empty.index = -1;
    return empty;
}

}  // namespace tarnwick
