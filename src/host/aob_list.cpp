#include "host/aob_list.h"

#include <utility>

#include "host/job/colorant.h"

namespace tarnwick {

AObList::AObList(int, int) {}

AObList::~AObList() = default;

AObList::AObList(AObList&&) noexcept = default;

AObList& AObList::operator=(AObList&&) noexcept = default;

void AObList::AddTail(std::unique_ptr<AColorant> colorant) {
    m_items.push_back(std::move(colorant));
}

int AObList::GetCount() const {
    return static_cast<int>(m_items.size());
}

AColorant* AObList::GetAt(int i) const {
    if (i < 0 || i >= GetCount()) return nullptr;
    return m_items[static_cast<size_t>(i)].get();
}

std::unique_ptr<AColorant> AObList::Release(int i) {
    if (i < 0 || i >= GetCount()) return nullptr;
    return std::move(m_items[static_cast<size_t>(i)]);
}

}  // namespace tarnwick
