// AObList: the owning list that an image fills with its colorants.
#pragma once

#include <memory>
#include <vector>

namespace tarnwick {

class AColorant;

class AObList {
  public:
    // The host's list took a block size and a growth hint; both mean nothing here.
    explicit AObList(int blockSize = 0, int growBy = 10);
    ~AObList();
    AObList(AObList&&) noexcept;
    AObList& operator=(AObList&&) noexcept;
    AObList(const AObList&) = delete;
    AObList& operator=(const AObList&) = delete;

    void AddTail(std::unique_ptr<AColorant> colorant);
    int GetCount() const;
    // The entry at i, or null when i is out of range or the entry was released.
    AColorant* GetAt(int i) const;
    // Takes the entry at i out of the list, leaving a null in its place (the count is unchanged).
    std::unique_ptr<AColorant> Release(int i);

  private:
    std::vector<std::unique_ptr<AColorant>> m_items;
};

}  // namespace tarnwick
