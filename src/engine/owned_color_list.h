// A colour list that owns its entries, each holding the entry defaults.
#pragma once

#include <memory>

#include "tarnwick/records.h"

namespace tarnwick {

class OwnedColorList {
  public:
    static constexpr int kEngineCapacity = 4096;

    explicit OwnedColorList(int capacity = kEngineCapacity)
        : m_entries(std::make_unique<ColorEntry[]>(capacity)),
          m_list{0, m_entries.get(), capacity} {
        for (int i = 0; i < capacity; ++i) {
            m_entries[i].print = 1;
            m_entries[i].depth = 1;
        }
    }

    ColorList& list() { return m_list; }
    const ColorList& list() const { return m_list; }

  private:
    std::unique_ptr<ColorEntry[]> m_entries;
    ColorList m_list;
};

}  // namespace tarnwick
