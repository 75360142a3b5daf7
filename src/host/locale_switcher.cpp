#include "host/locale_switcher.h"

namespace tarnwick {

ALocaleSwitcher::ALocaleSwitcher() {
    const locale_t current = uselocale(static_cast<locale_t>(0));
    const locale_t base = duplocale(current);
    if (!base) return;
    m_numericC = newlocale(LC_NUMERIC_MASK, "C", base);
    if (!m_numericC) {
        // newlocale only consumes base on success.
        freelocale(base);
        return;
    }
    m_previous = uselocale(m_numericC);
}

ALocaleSwitcher::~ALocaleSwitcher() {
    if (!m_numericC) return;
    uselocale(m_previous);
    freelocale(m_numericC);
}

}  // namespace tarnwick
