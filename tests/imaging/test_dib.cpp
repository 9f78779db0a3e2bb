#include <gtest/gtest.h>

#include "imaging/Dib.h"
#include "support/DibTestUtil.h"

namespace km {
namespace {

TEST(Dib, CreateLaysOutHeaderTableAndPaddedRows) {
  DibHandle dib;
  ASSERT_EQ(Dib::Create(5, 3, 4, 0, &dib), kOk);
  EXPECT_EQ(dib->colorCount(), 16);
  EXPECT_EQ(dib->stride(), 4u);  // 5 nibbles round up to 4 bytes
  EXPECT_EQ(dib->size(), 40u + 16u * 4u + 4u * 3u);
  EXPECT_EQ(dib->header().biSizeImage, 12u);

  ASSERT_EQ(Dib::Create(3, 2, 24, 0, &dib), kOk);
  EXPECT_EQ(dib->colorCount(), 0);
  EXPECT_EQ(dib->stride(), 12u);  // 9 bytes padded to 12
  EXPECT_EQ(Dib::Stride(33, 1), 8u);
}

TEST(Dib, CreateRefusesWhatTheRulesForbid) {
  DibHandle dib;
  EXPECT_EQ(Dib::Create(0, 1, 8, 0, &dib), kInvalidArgument);
  EXPECT_EQ(Dib::Create(32768, 1, 8, 0, &dib), kInvalidArgument);
  EXPECT_EQ(Dib::Create(1, 1, 16, 0, &dib), kInvalidArgument);
  EXPECT_EQ(Dib::Create(1, 1, 4, 17, &dib), kInvalidArgument);
  EXPECT_EQ(dib, nullptr);
}

TEST(Dib, ValidateRejectsShortBuffersAndBadHeaders) {
  DibHandle good = test::MakeGrey(4, 4, 7);
  std::vector<std::uint8_t> bytes(good->data(), good->data() + good->size());
  DibHandle out;
  EXPECT_EQ(Dib::FromBytes(bytes, &out), kOk);

  auto shorter = bytes;
  shorter.pop_back();
  EXPECT_EQ(Dib::FromBytes(shorter, &out), kInvalidArgument);
  EXPECT_EQ(out, nullptr);

  auto clr = bytes;
  clr[32] = 0x01;  // biClrUsed = 257
  clr[33] = 0x01;
  EXPECT_EQ(Dib::FromBytes(clr, &out), kInvalidArgument);

  EXPECT_EQ(Dib::FromBytes(std::vector<std::uint8_t>(39), &out), kInvalidArgument);
  EXPECT_EQ(ValidateDib(nullptr), kInvalidArgument);
}

TEST(Dib, CopyIsByteForByteAndIndependent) {
  DibHandle src = test::MakeRgb(3, 3, 1, 2, 3);
  DibHandle copy;
  ASSERT_EQ(CopyDIB(src.get(), &copy), kOk);
  ASSERT_EQ(copy->size(), src->size());
  EXPECT_TRUE(std::equal(src->data(), src->data() + src->size(), copy->data()));
  copy->row(0)[0] = 99;
  EXPECT_EQ(src->row(0)[0], 3);
  EXPECT_EQ(CopyDIB(nullptr, &copy), kInvalidArgument);
  EXPECT_EQ(CopyDIB(src.get(), nullptr), kInvalidArgument);
}

TEST(Dib, NearestColorPrefersExactThenFirstOfEqualDistances) {
  const RgbQuad table[] = {{0, 0, 10, 0}, {0, 0, 20, 0}, {0, 0, 30, 0}, {0, 0, 20, 0}};
  EXPECT_EQ(NearestColorIndex(table, 4, 20, 0, 0), 1);  // exact, first of two
  EXPECT_EQ(NearestColorIndex(table, 4, 15, 0, 0), 0);  // 10 and 20 tie: first wins
  EXPECT_EQ(NearestColorIndex(table, 4, 255, 0, 0), 2);
  EXPECT_EQ(NearestColorIndex(table, 0, 1, 2, 3), 0);
}

TEST(Dib, GreyScaledNeedsTheIdentityRampAt8Bits) {
  EXPECT_TRUE(IsDIBGreyScaled(test::MakeGrey(2, 2).get()));
  DibHandle grey = test::MakeGrey(2, 2);
  grey->colors()[200].rgbGreen = 201;
  EXPECT_FALSE(IsDIBGreyScaled(grey.get()));
  DibHandle short_ramp = test::MakeDib(2, 2, 8, 16);
  for (int i = 0; i < 16; ++i) {
    short_ramp->colors()[i] = RgbQuad{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i),
                                      static_cast<std::uint8_t>(i), 0};
  }
  EXPECT_TRUE(IsDIBGreyScaled(short_ramp.get()));
  EXPECT_FALSE(IsDIBGreyScaled(test::MakeRgb(2, 2, 1, 1, 1).get()));
  EXPECT_FALSE(IsDIBGreyScaled(test::MakeDib(2, 2, 4).get()));
}

TEST(Dib, ColorKey15PacksFiveBitsPerChannel) {
  EXPECT_EQ(ColorKey15(255, 0, 0), 0x7C00);
  EXPECT_EQ(ColorKey15(0, 255, 0), 0x03E0);
  EXPECT_EQ(ColorKey15(7, 8, 255), (0 << 10) | (1 << 5) | 31);
}

}  // namespace
}  // namespace km
