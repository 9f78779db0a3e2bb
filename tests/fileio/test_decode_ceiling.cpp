// A decode whose file or image would pass the memory ceiling answers 102 before
// allocating either.

#include <gtest/gtest.h>

#include <filesystem>

#include "fileio/imgx/Imgx.h"
#include "imaging/MemoryCeiling.h"
#include "support/AllocationWatch.h"
#include "support/DibTestUtil.h"

namespace km {
namespace {

constexpr std::uint64_t kCeiling = std::uint64_t{1} << 20;

class DecodeCeiling : public ::testing::Test {
protected:
  void SetUp() override { dir_ = test::MakeTempDir("ceiling"); }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string dir_;
};

TEST_F(DecodeCeiling, LargeBmpIs102WithNothingAllocatedPastTheCeiling) {
  // 800 x 600 x 24 bits: 1,440,054 bytes of file and 1,440,040 of image.
  const std::string path = dir_ + "/large.bmp";
  {
    DibHandle image = test::MakeRgb(800, 600, 1, 2, 3);
    ASSERT_EQ(imgx::EncodeBMP(nullptr, path, image.get(), 0), imgx::kOk);
  }
  ScopedMemoryBudget budget(kCeiling);
  DibHandle out;
  const std::size_t largest = test::LargestAllocation([&] { EXPECT_EQ(imgx::DecodeBMP(nullptr, path, &out), 102); });
  EXPECT_FALSE(out);
  EXPECT_LT(largest, kCeiling);
  EXPECT_EQ(budget.budget().used(), 0u);
}

TEST_F(DecodeCeiling, RleImageLargerThanItsFileIs102) {
  // A 4-bit RLE file of a 1400 x 1400 blank picture: a small file, a 980,000-byte
  // image; with a ceiling of 512 KB the image is refused, with 1 MB it decodes.
  const std::string path = dir_ + "/blank.bmp";
  {
    DibHandle image = test::MakeDib(1400, 1400, 4);
    ASSERT_EQ(imgx::EncodeBMP(nullptr, path, image.get(), 2), imgx::kOk);
  }
  ASSERT_LT(std::filesystem::file_size(path), 100000u);
  DibHandle out;
  {
    ScopedMemoryBudget budget(kCeiling / 2);
    const std::size_t largest = test::LargestAllocation([&] { EXPECT_EQ(imgx::DecodeBMP(nullptr, path, &out), 102); });
    EXPECT_FALSE(out);
    EXPECT_LT(largest, kCeiling / 2);
  }
  ScopedMemoryBudget budget(kCeiling);
  EXPECT_EQ(imgx::DecodeBMP(nullptr, path, &out), imgx::kOk);
  ASSERT_TRUE(out);
  EXPECT_EQ(budget.budget().used(), out->size());
}

}  // namespace
}  // namespace km
