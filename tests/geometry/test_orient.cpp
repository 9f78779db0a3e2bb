#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

#include "geometry/GeometryTestUtil.h"
#include "imaging/geometry/Geometry.h"
#include "support/DibTestUtil.h"

namespace km {
namespace {

using test::GetPixel;
using test::SetPixel;

DibHandle Apply(const Dib& src, const std::function<OpResult(const Dib*, DibHandle*)>& op) {
  DibHandle out;
  EXPECT_EQ(op(&src, &out), kOk);
  return out;
}

OpResult Flip(const Dib* s, DibHandle* r) { return FlipDIB(nullptr, s, r); }
OpResult Mirror(const Dib* s, DibHandle* r) { return MirrorDIB(nullptr, s, r); }
OpResult Right90(const Dib* s, DibHandle* r) { return RotateDIB(nullptr, s, r, 90, 1, 0, 0, 0); }
OpResult Right270(const Dib* s, DibHandle* r) { return RotateDIB(nullptr, s, r, 270, 1, 0, 0, 0); }
OpResult Left90(const Dib* s, DibHandle* r) { return RotateDIB(nullptr, s, r, 90, 0, 0, 0, 0); }
OpResult Right180(const Dib* s, DibHandle* r) { return RotateDIB(nullptr, s, r, 180, 1, 0, 0, 0); }

struct Shape {
  int bits;
  int width;
};

class OrientIdentity : public ::testing::TestWithParam<Shape> {
protected:
  DibHandle Source() const {
    DibHandle src = test::MakeDib(GetParam().width, 3, GetParam().bits);
    test::FillRandom(*src, static_cast<std::uint32_t>(GetParam().width * 31 + GetParam().bits));
    return src;
  }
};

TEST_P(OrientIdentity, FlipTwice) {
  DibHandle src = Source();
  std::string why;
  EXPECT_TRUE(test::SamePixels(*Apply(*Apply(*src, Flip), Flip), *src, &why)) << why;
}

TEST_P(OrientIdentity, MirrorTwice) {
  DibHandle src = Source();
  DibHandle once = Apply(*src, Mirror);
  const int w = src->width();
  for (int x = 0; x < w; ++x) {
    ASSERT_EQ(GetPixel(*once, x, 1), GetPixel(*src, w - 1 - x, 1));
  }
  std::string why;
  EXPECT_TRUE(test::SamePixels(*Apply(*once, Mirror), *src, &why)) << why;
}

TEST_P(OrientIdentity, RightNinetyFourTimes) {
  DibHandle src = Source();
  DibHandle a = Apply(*src, Right90);
  EXPECT_EQ(a->width(), src->height());
  EXPECT_EQ(a->height(), src->width());
  DibHandle b = Apply(*Apply(*Apply(*a, Right90), Right90), Right90);
  std::string why;
  EXPECT_TRUE(test::SamePixels(*b, *src, &why)) << why;
}

TEST_P(OrientIdentity, LeftNinetyEqualsRightTwoSeventy) {
  DibHandle src = Source();
  std::string why;
  EXPECT_TRUE(test::SamePixels(*Apply(*src, Left90), *Apply(*src, Right270), &why)) << why;
}

TEST_P(OrientIdentity, HalfTurnIsFlipAndMirror) {
  DibHandle src = Source();
  std::string why;
  EXPECT_TRUE(test::SamePixels(*Apply(*src, Right180), *Apply(*Apply(*src, Flip), Mirror), &why)) << why;
}

INSTANTIATE_TEST_SUITE_P(DepthsAndWidths, OrientIdentity,
                         ::testing::Values(Shape{1, 1}, Shape{1, 5}, Shape{1, 8}, Shape{1, 13}, Shape{4, 1},
                                           Shape{4, 3}, Shape{4, 4}, Shape{4, 9}, Shape{8, 3}, Shape{8, 6},
                                           Shape{24, 1}, Shape{24, 5}, Shape{24, 6}),
                         [](const auto& info) {
                           return std::to_string(info.param.bits) + "bit_w" + std::to_string(info.param.width);
                         });

TEST(Mirror, OddFourBitRowKeepsThePaddingNibbleClear) {
  DibHandle src = test::MakeDib(3, 1, 4);
  SetPixel(*src, 0, 0, 1);
  SetPixel(*src, 1, 0, 2);
  SetPixel(*src, 2, 0, 3);
  DibHandle out = Apply(*src, Mirror);
  EXPECT_EQ(out->row(0)[0], 0x32);
  EXPECT_EQ(out->row(0)[1], 0x10);
}

TEST(Rotate, RightNinetyPutsTheLeftPixelOnTop) {
  DibHandle src = test::MakeRgb(2, 1, 0, 0, 0);
  SetPixel(*src, 0, 0, 0xAA0000);
  SetPixel(*src, 1, 0, 0x0000BB);
  DibHandle out = Apply(*src, Right90);
  ASSERT_EQ(out->width(), 1);
  ASSERT_EQ(out->height(), 2);
  EXPECT_EQ(GetPixel(*out, 0, 0), 0xAA0000u);
  EXPECT_EQ(GetPixel(*out, 0, 1), 0x0000BBu);
}

TEST(Rotate, RightAnglesKeepThePaletteOfAColourImage) {
  DibHandle src = test::MakeDib(5, 2, 8, 16);
  src->colors()[3] = RgbQuad{9, 8, 7, 0};
  DibHandle out = Apply(*src, Right90);
  EXPECT_EQ(out->header().biClrUsed, 16u);
  EXPECT_EQ(out->colors()[3].rgbBlue, 9);
}

TEST(Rotate, FreeFortyFiveOnAHundredSquare) {
  DibHandle src = test::MakeRgb(100, 100, 0, 0, 0);
  test::FillRandom(*src, 3);
  DibHandle out;
  ASSERT_EQ(RotateDIB(nullptr, src.get(), &out, 45, 1, 0x11, 0x22, 0x33), kOk);
  ASSERT_EQ(out->width(), 141);
  ASSERT_EQ(out->height(), 141);
  for (const auto& [x, y] : {std::pair{0, 0}, std::pair{140, 0}, std::pair{0, 140}, std::pair{140, 140}}) {
    EXPECT_EQ(GetPixel(*out, x, y), 0x112233u) << x << "," << y;
  }
  // The centre maps exactly onto source pixel (50, 50) counted from the bottom row.
  EXPECT_EQ(GetPixel(*out, 70, 140 - 70), GetPixel(*src, 50, 99 - 50));
}

TEST(Rotate, FreeAngleOnGreyUsesTheBlueByteAsBackground) {
  DibHandle src = test::MakeGrey(20, 10, 100);
  DibHandle out;
  ASSERT_EQ(RotateDIB(nullptr, src.get(), &out, 30, 0, 1, 2, 77), kOk);
  EXPECT_TRUE(IsDIBGreyScaled(out.get()));
  EXPECT_EQ(GetPixel(*out, 0, 0), 77u);
  EXPECT_EQ(GetPixel(*out, out->width() / 2, out->height() / 2), 100u);
}

TEST(Rotate, Refusals) {
  DibHandle rgb = test::MakeRgb(4, 4, 1, 2, 3);
  DibHandle four = test::MakeDib(4, 4, 4);
  DibHandle out;
  EXPECT_EQ(RotateDIB(nullptr, rgb.get(), &out, 0, 1, 0, 0, 0), kInvalidArgument);
  EXPECT_EQ(RotateDIB(nullptr, rgb.get(), &out, 360, 1, 0, 0, 0), kInvalidArgument);
  EXPECT_EQ(RotateDIB(nullptr, rgb.get(), &out, -720, 1, 0, 0, 0), kInvalidArgument);
  EXPECT_EQ(RotateDIB(nullptr, rgb.get(), &out, 90, 2, 0, 0, 0), kInvalidArgument);
  EXPECT_EQ(RotateDIB(nullptr, four.get(), &out, 45, 1, 0, 0, 0), kInvalidArgument);
  EXPECT_EQ(RotateDIB(nullptr, nullptr, &out, 90, 1, 0, 0, 0), kInvalidArgument);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(RotateDIB(nullptr, four.get(), &out, -270, 1, 0, 0, 0), kOk);  // |angle| is used
}

}  // namespace
}  // namespace km
