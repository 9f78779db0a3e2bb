#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "geometry/GeometryTestUtil.h"
#include "imaging/geometry/Geometry.h"
#include "support/DibTestUtil.h"

namespace km {
namespace {

using test::GetPixel;
using test::SetPixel;

TEST(Resample, HalvingAveragesTwoByTwoBlocksTruncated) {
  DibHandle src = test::MakeRgb(640, 480, 0, 0, 0);
  test::FillRandom(*src, 7);
  DibHandle out;
  ASSERT_EQ(ResampleDIB(nullptr, src.get(), &out, 320, 240), kOk);
  ASSERT_EQ(out->width(), 320);
  ASSERT_EQ(out->height(), 240);
  EXPECT_EQ(out->bitCount(), 24);
  EXPECT_EQ(out->header().biClrUsed, 0u);
  for (int y = 0; y < 240; y += 7) {
    for (int x = 0; x < 320; x += 5) {
      const std::uint32_t p[4] = {GetPixel(*src, 2 * x, 2 * y), GetPixel(*src, 2 * x + 1, 2 * y),
                                  GetPixel(*src, 2 * x, 2 * y + 1), GetPixel(*src, 2 * x + 1, 2 * y + 1)};
      std::uint32_t expect = 0;
      for (int shift : {0, 8, 16}) {
        unsigned sum = 0;
        for (std::uint32_t v : p) {
          sum += (v >> shift) & 0xFF;
        }
        expect |= (sum / 4) << shift;
      }
      ASSERT_EQ(GetPixel(*out, x, y), expect) << x << "," << y;
    }
  }
}

TEST(Resample, EnlargingGreyTakesTheCoveringPixel) {
  DibHandle src = test::MakeGrey(2, 1);
  SetPixel(*src, 1, 0, 255);
  // A reversed table must not leak into the result: it always gets the grey ramp.
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<std::uint8_t>(255 - i);
    src->colors()[i] = RgbQuad{v, v, v, 0};
  }
  DibHandle out;
  ASSERT_EQ(ResampleDIB(nullptr, src.get(), &out, 4, 1), kOk);
  ASSERT_EQ(out->width(), 4);
  EXPECT_EQ(GetPixel(*out, 0, 0), 0u);
  EXPECT_EQ(GetPixel(*out, 1, 0), 0u);
  EXPECT_EQ(GetPixel(*out, 2, 0), 255u);
  EXPECT_EQ(GetPixel(*out, 3, 0), 255u);
  EXPECT_TRUE(IsDIBGreyScaled(out.get()));
  EXPECT_EQ(out->header().biClrUsed, 256u);
  EXPECT_EQ(out->header().biClrImportant, 256u);
}

TEST(Resample, BlendsWhereADestinationPixelStraddlesTwoSourcePixels) {
  // 2 -> 3: sx = 1.5, cx = 171; column 1 starts at u = 0.667 with first weight 85.
  DibHandle src = test::MakeGrey(2, 1);
  SetPixel(*src, 0, 0, 30);
  SetPixel(*src, 1, 0, 240);
  DibHandle out;
  ASSERT_EQ(ResampleDIB(nullptr, src.get(), &out, 3, 1), kOk);
  EXPECT_EQ(GetPixel(*out, 0, 0), 30u);
  EXPECT_EQ(GetPixel(*out, 1, 0), (30u * 85 + 240u * 86) * 256 / (171u * 256));
  EXPECT_EQ(GetPixel(*out, 2, 0), 240u);
}

// Uneven ratios whose last window reaches past the source's edge: every read must stay
// inside (the sanitizer build checks), and a flat image stays flat.
TEST(Resample, UnevenRatiosStayInsideTheSource) {
  for (const auto& [sw, sh, dw, dh] : {std::array{3, 3, 7, 5}, std::array{7, 5, 3, 2}, std::array{5, 7, 11, 13},
                                       std::array{13, 11, 4, 9}, std::array{1, 1, 512, 3},
                                       std::array{3000, 2, 1, 1}}) {  // the last needs 64-bit sums
    DibHandle src = test::MakeRgb(sw, sh, 10, 20, 30);
    DibHandle out;
    ASSERT_EQ(ResampleDIB(nullptr, src.get(), &out, dw, dh), kOk) << sw << "x" << sh;
    EXPECT_EQ(GetPixel(*out, dw - 1, 0), 0x0A141Eu);
    EXPECT_EQ(GetPixel(*out, 0, dh - 1), 0x0A141Eu);
  }
}

TEST(Resample, Refusals) {
  DibHandle grey = test::MakeGrey(2, 2);
  DibHandle four = test::MakeDib(2, 2, 4);
  DibHandle out = test::MakeGrey(1, 1);
  EXPECT_EQ(ResampleDIB(nullptr, nullptr, &out, 4, 4), kInvalidArgument);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(ResampleDIB(nullptr, grey.get(), nullptr, 4, 4), kInvalidArgument);
  EXPECT_EQ(ResampleDIB(nullptr, four.get(), &out, 4, 4), kInvalidArgument);
  EXPECT_EQ(ResampleDIB(nullptr, grey.get(), &out, 0, 4), kInvalidArgument);
  EXPECT_EQ(ResampleDIB(nullptr, grey.get(), &out, 0x10000, 4), kInvalidArgument);  // low 16 bits are 0
  EXPECT_EQ(ResampleDIB(nullptr, grey.get(), &out, 1026, 2), kInvalidArgument);     // 513 times wider
  EXPECT_EQ(ResampleDIB(nullptr, grey.get(), &out, 1024, 2), kOk);                  // 512 times still works
  EXPECT_EQ(out->width(), 1024);
}

TEST(Resample, ReportsEachRowAndStopsOnCancel) {
  DibHandle src = test::MakeGrey(8, 8, 9);
  test::RecordingSink sink;
  DibHandle out;
  ASSERT_EQ(ResampleDIB(&sink, src.get(), &out, 4, 4), kOk);
  EXPECT_EQ(sink.reports, (std::vector<int>{0, 25, 50, 75, 100, 100}));

  test::RecordingSink cancel(3);
  EXPECT_EQ(ResampleDIB(&cancel, src.get(), &out, 4, 4), kCancelled);
  EXPECT_EQ(out, nullptr);
}

class ResizeDepth : public ::testing::TestWithParam<int> {};

TEST_P(ResizeDepth, NearestNeighbourKeepsTheColourTable) {
  const int bits = GetParam();
  DibHandle src = test::MakeDib(3, 2, bits);
  test::FillRandom(*src, 11);
  if (bits <= 8) {
    src->colors()[1] = RgbQuad{1, 2, 3, 0};
  }
  DibHandle out;
  ASSERT_EQ(ResizeDIB(nullptr, src.get(), &out, 6, 4), kOk);
  ASSERT_EQ(out->width(), 6);
  ASSERT_EQ(out->height(), 4);
  EXPECT_EQ(out->bitCount(), bits);
  ASSERT_EQ(out->colorCount(), src->colorCount());
  for (int i = 0; i < src->colorCount(); ++i) {
    EXPECT_EQ(std::memcmp(&out->colors()[i], &src->colors()[i], 4), 0);
  }
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) {
      EXPECT_EQ(GetPixel(*out, x, y), GetPixel(*src, x / 2, y / 2)) << x << "," << y;
    }
  }
  ASSERT_EQ(ResizeDIB(nullptr, src.get(), &out, 2, 1), kOk);
  EXPECT_EQ(GetPixel(*out, 1, 0), GetPixel(*src, 1, 1));  // picture row 1 is stored row 0
}

INSTANTIATE_TEST_SUITE_P(Depths, ResizeDepth, ::testing::Values(1, 4, 8, 24));

TEST(Resize, RefusesEmptyAndNegativeSizes) {
  DibHandle src = test::MakeDib(3, 3, 4);
  DibHandle out;
  EXPECT_EQ(ResizeDIB(nullptr, src.get(), &out, 0, 3), kInvalidArgument);
  EXPECT_EQ(ResizeDIB(nullptr, src.get(), &out, 3, -1), kInvalidArgument);
  EXPECT_EQ(ResizeDIB(nullptr, nullptr, &out, 3, 3), kInvalidArgument);
  EXPECT_EQ(out, nullptr);
}

}  // namespace
}  // namespace km
