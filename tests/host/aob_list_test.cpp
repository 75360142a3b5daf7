#include "host/aob_list.h"

#include <gtest/gtest.h>

#include <memory>

#include "host/job/colorant.h"

namespace tarnwick {
namespace {

// Counts its destructions, to see who owns it.
class CountedColorant : public AColorant {
  public:
    CountedColorant(const char* name, int* destroyed)
        : AColorant(AString(name), 1, 0), m_destroyed(destroyed) {}
    ~CountedColorant() override { ++*m_destroyed; }

  private:
    int* m_destroyed;
};

TEST(AObListTest, OwnsEntriesAndHandsThemOutOnRelease) {
    int destroyed = 0;
    std::unique_ptr<AColorant> released;
    {
        AObList list(0, 10);
        list.AddTail(std::make_unique<CountedColorant>("Cyan", &destroyed));
        list.AddTail(std::make_unique<CountedColorant>("Black", &destroyed));
        ASSERT_EQ(list.GetCount(), 2);
        EXPECT_EQ(list.GetAt(1)->GetName(), "Black");
        EXPECT_EQ(list.GetAt(2), nullptr);
        EXPECT_EQ(list.GetAt(-1), nullptr);

        released = list.Release(0);
        ASSERT_NE(released, nullptr);
        EXPECT_EQ(released->GetName(), "Cyan");
        EXPECT_EQ(list.GetCount(), 2);  // the slot stays, empty
        EXPECT_EQ(list.GetAt(0), nullptr);
        EXPECT_EQ(list.Release(0), nullptr);
        EXPECT_EQ(list.Release(7), nullptr);
    }
    EXPECT_EQ(destroyed, 1);  // the list destroyed what it still held
    released.reset();
    EXPECT_EQ(destroyed, 2);
}

}  // namespace
}  // namespace tarnwick
