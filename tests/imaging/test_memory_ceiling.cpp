// The memory ceiling: requests past it answer 102 before anything is allocated; live
// images are charged to the budget they were made under, wherever they are freed.

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "imaging/Dib.h"
#include "imaging/MemoryCeiling.h"
#include "support/AllocationWatch.h"

namespace km {
namespace {

constexpr std::uint64_t kSmallCeiling = std::uint64_t{1} << 20;  // 1 MB

TEST(MemoryCeiling, ImagePastTheCeilingIs102WithNothingAllocated) {
  ScopedMemoryBudget budget(kSmallCeiling);
  DibHandle image;
  // 1000 x 1000 x 24 bits: 3,000,000 bytes of rows, three times the ceiling.
  const std::size_t largest = test::LargestAllocation([&] { EXPECT_EQ(Dib::Create(1000, 1000, 24, 0, &image), kOutOfMemory); });
  EXPECT_FALSE(image);
  EXPECT_LT(largest, kSmallCeiling);
  EXPECT_EQ(budget.budget().used(), 0u);
  EXPECT_EQ(budget.budget().peak(), 0u);
  if (test::CanWatchAllocations()) {
    // The watch itself sees a block that fits: 40 + 300 * 100 bytes.
    EXPECT_GE(test::LargestAllocation([&] { EXPECT_EQ(Dib::Create(100, 100, 24, 0, &image), kOk); }), 30040u);
  }
}

TEST(MemoryCeiling, LiveImagesAddUpAndAreGivenBack) {
  ScopedMemoryBudget budget(kSmallCeiling);
  // 500 x 500 x 8 bits: 40 + 1024 + 500 * 500 = 251,064 bytes each; four fit in 1 MB
  // (1,004,256 bytes), a fifth does not.
  std::vector<DibHandle> images(5);
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(Dib::Create(500, 500, 8, 0, &images[static_cast<std::size_t>(i)]), kOk) << i;
  }
  EXPECT_EQ(budget.budget().used(), 4u * 251064u);
  EXPECT_EQ(Dib::Create(500, 500, 8, 0, &images[4]), kOutOfMemory);
  DibHandle copy;
  EXPECT_EQ(CopyDIB(images[0].get(), &copy), kOutOfMemory);  // a copy is checked before it is made
  images[0].reset();
  EXPECT_EQ(budget.budget().used(), 3u * 251064u);
  EXPECT_EQ(CopyDIB(images[1].get(), &copy), kOk);
  EXPECT_EQ(budget.budget().peak(), 4u * 251064u);
  images.clear();
  copy.reset();
  EXPECT_EQ(budget.budget().used(), 0u);
}

TEST(MemoryCeiling, ChargeFollowsTheImageToAnotherThread) {
  DibHandle made;
  std::uint64_t usedOnWorker = 0;
  const MemoryBudget* seen = nullptr;
  std::thread worker([&] {
    ScopedMemoryBudget budget(kSmallCeiling);
    ASSERT_EQ(Dib::Create(100, 100, 24, 0, &made), kOk);  // 40 + 300 * 100
    usedOnWorker = budget.budget().used();
    seen = &budget.budget();
  });
  worker.join();
  EXPECT_EQ(usedOnWorker, 30040u);
  ASSERT_TRUE(made);
  made.reset();  // the worker's budget is gone; freeing here must still be safe
  (void)seen;
}

TEST(MemoryCeiling, NestedBudgetsAndTheDefaultShare) {
  const std::uint64_t physical = PhysicalMemoryBytes();
  ASSERT_GT(physical, 0u);
  EXPECT_EQ(DefaultMemoryCeiling(1), physical / 2);
  EXPECT_EQ(DefaultMemoryCeiling(4), physical / 2 / 4);
  EXPECT_EQ(DefaultMemoryCeiling(0), physical / 2);
  {
    ScopedMemoryBudget outer(kSmallCeiling);
    {
      ScopedMemoryBudget inner(0);  // two budgets alive: each gets half of the half
      EXPECT_EQ(inner.budget().ceiling(), physical / 2 / 2);
      EXPECT_TRUE(FitsMemoryCeiling(2 * kSmallCeiling));
    }
    EXPECT_FALSE(FitsMemoryCeiling(2 * kSmallCeiling));  // the outer budget is back
  }
  // No budget: each request on its own against half the memory.
  EXPECT_TRUE(FitsMemoryCeiling(2 * kSmallCeiling));
  EXPECT_FALSE(FitsMemoryCeiling(physical));
}

TEST(MemoryCeiling, ParsesSizes) {
  struct Case {
    const char* text;
    bool ok;
    std::uint64_t bytes;
  };
  const Case cases[] = {
      {"0", true, 0},
      {"123", true, 123},
      {"4K", true, 4096},
      {"3m", true, 3u << 20},
      {"2G", true, std::uint64_t{2} << 30},
      {"18446744073709551615", true, 18446744073709551615u},
      {"18446744073709551616", false, 0},  // one past 64 bits
      {"17179869184G", false, 0},          // 2^34 G = 2^64 bytes
      {"", false, 0},
      {"-1", false, 0},
      {"12X", false, 0},
      {"1KB", false, 0},
      {"K", false, 0},
      {" 5", false, 0},
  };
  for (const Case& c : cases) {
    std::uint64_t bytes = 77;
    EXPECT_EQ(ParseMemorySize(c.text, &bytes), c.ok) << c.text;
    EXPECT_EQ(bytes, c.ok ? c.bytes : 77u) << c.text;
  }
  std::uint64_t bytes = 0;
  EXPECT_FALSE(ParseMemorySize(nullptr, &bytes));
}

}  // namespace
}  // namespace km
