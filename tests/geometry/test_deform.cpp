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

// Stored row r of a grey image gets `value(r)` in every column.
DibHandle GreyRows(int w, int h, const std::function<int(int)>& value) {
  DibHandle dib = test::MakeGrey(w, h);
  for (int r = 0; r < h; ++r) {
    for (int x = 0; x < w; ++x) {
      dib->row(r)[x] = static_cast<std::uint8_t>(value(r));
    }
  }
  return dib;
}

TEST(Perspective, FiftyOnAHundredSquareNarrowsTheRightEdge) {
  DibHandle src = GreyRows(100, 100, [](int r) { return r == 0 ? 0 : 250; });
  DibHandle out;
  ASSERT_EQ(PerspectiveDIB(nullptr, src.get(), &out, PerspectiveAxis::kHorizontal, 1, 50, 7, 0, 0), kOk);
  for (int r = 0; r < 100; ++r) {
    ASSERT_EQ(out->row(r)[0], src->row(r)[0]) << r;  // column 0 keeps every row
  }
  // Last column: rows 24..76 hold the image, 52 pixels for 100 rows (52000 units each).
  const std::uint8_t* base = out->row(0);
  const std::size_t stride = out->stride();
  for (int r = 0; r < 100; ++r) {
    const int v = base[r * stride + 99];
    if (r < 24 || r > 76) {
      ASSERT_EQ(v, 7) << r;
    } else if (r == 24) {
      EXPECT_EQ(v, 250 * 48000 / 100000);
    } else {
      ASSERT_EQ(v, 250) << r;
    }
  }
  // Flag 0 narrows the left edge instead.
  ASSERT_EQ(PerspectiveDIB(nullptr, src.get(), &out, PerspectiveAxis::kHorizontal, 0, 50, 7, 0, 0), kOk);
  EXPECT_EQ(out->row(10)[0], 7);
  EXPECT_EQ(out->row(10)[99], 250);
}

TEST(Perspective, VerticalFlagOneNarrowsTheBottomRow) {
  DibHandle src = test::MakeRgb(100, 60, 200, 100, 50);
  DibHandle out;
  ASSERT_EQ(PerspectiveDIB(nullptr, src.get(), &out, PerspectiveAxis::kVertical, 1, 50, 1, 2, 3), kOk);
  // Stored row 0: columns 25..75; the top row spans the full width.
  EXPECT_EQ(GetPixel(*out, 24, 59), 0x010203u);
  EXPECT_EQ(GetPixel(*out, 25, 59), 0xC86432u);
  EXPECT_EQ(GetPixel(*out, 75, 59), 0xC86432u);
  EXPECT_EQ(GetPixel(*out, 76, 59), 0x010203u);
  EXPECT_EQ(GetPixel(*out, 0, 0), 0xC86432u);
  EXPECT_EQ(GetPixel(*out, 99, 0), 0xC86432u);
  ASSERT_EQ(PerspectiveDIB(nullptr, src.get(), &out, PerspectiveAxis::kVertical, 0, 50, 1, 2, 3), kOk);
  EXPECT_EQ(GetPixel(*out, 0, 0), 0x010203u);
  EXPECT_EQ(GetPixel(*out, 0, 59), 0xC86432u);
}

TEST(Warp, FactorHundredLeavesTheImageAlone) {
  DibHandle src = test::MakeRgb(17, 9, 0, 0, 0);
  test::FillRandom(*src, 21);
  DibHandle out;
  ASSERT_EQ(WarpDIB(nullptr, src.get(), &out, 100, 100), kOk);
  std::string why;
  EXPECT_TRUE(test::SamePixels(*out, *src, &why)) << why;
}

TEST(Warp, PinchWidensTheEdgeColumns) {
  // Factor 150 (table -87) over 4 columns: source widths 150, 107, 63, 106 units.
  DibHandle src = test::MakeGrey(4, 1);
  const int in[4] = {0, 100, 200, 250};
  for (int x = 0; x < 4; ++x) {
    SetPixel(*src, x, 0, static_cast<std::uint32_t>(in[x]));
  }
  DibHandle out;
  ASSERT_EQ(WarpDIB(nullptr, src.get(), &out, 150, 100), kOk);
  EXPECT_EQ(GetPixel(*out, 0, 0), 0u);
  EXPECT_EQ(GetPixel(*out, 1, 0), (50u * 0 + 50u * 100) / 100);
  EXPECT_EQ(GetPixel(*out, 2, 0), (57u * 100 + 43u * 200) / 100);
  EXPECT_EQ(GetPixel(*out, 3, 0), (20u * 200 + 80u * 250) / 100);
}

TEST(Circle, TwoHundredByHundredBecomesAHundredSquareDisc) {
  DibHandle src = test::MakeGrey(200, 100);
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 200; ++x) {
      SetPixel(*src, x, y, static_cast<std::uint32_t>(x));
    }
  }
  DibHandle out;
  ASSERT_EQ(CircleDIB(nullptr, src.get(), &out, 9, 0, 0), kOk);
  ASSERT_EQ(out->width(), 100);
  ASSERT_EQ(out->height(), 100);
  for (const auto& [x, y] : {std::pair{0, 0}, std::pair{99, 0}, std::pair{0, 99}, std::pair{99, 99}}) {
    EXPECT_EQ(GetPixel(*out, x, y), 9u);
  }
  // The middle row takes the whole width, two source columns per pixel.
  for (int x = 0; x < 100; ++x) {
    ASSERT_EQ(out->row(50)[x], 2 * x) << x;
  }
}

TEST(Pentagon, HundredSquareStandsOnItsBase) {
  DibHandle src = test::MakeGrey(100, 100, 160);
  DibHandle out;
  ASSERT_EQ(PentagonDIB(nullptr, src.get(), &out, 4, 0, 0), kOk);
  // d 50, circumradius 52, height 94, side 61, shoulders at row 58.
  ASSERT_EQ(out->width(), 100);
  ASSERT_EQ(out->height(), 94);
  const std::uint8_t* bottom = out->row(0);
  EXPECT_EQ(bottom[19], 4);
  EXPECT_EQ(bottom[20], 160);
  EXPECT_EQ(bottom[79], 160);
  EXPECT_EQ(bottom[80], 4);
  EXPECT_EQ(out->row(58)[0], 160);
  EXPECT_EQ(out->row(58)[99], 160);
  EXPECT_EQ(out->row(93)[50], 4);  // the apex row stays background
  EXPECT_EQ(out->row(92)[50], 160);
  EXPECT_EQ(out->row(92)[0], 4);
}

TEST(Skew, HorizontalFortyFiveOnHundredByFifty) {
  DibHandle src = test::MakeGrey(100, 50);
  for (int x = 0; x < 100; ++x) {
    for (int r = 0; r < 50; ++r) {
      src->row(r)[x] = static_cast<std::uint8_t>(x + 1);
    }
  }
  DibHandle out;
  ASSERT_EQ(SkewDIB(nullptr, src.get(), &out, 45, 0, 0, 0, 0), kOk);
  ASSERT_EQ(out->width(), 150);
  ASSERT_EQ(out->height(), 50);
  const std::uint8_t* low = out->row(0);
  EXPECT_EQ(low[0], 1);
  EXPECT_EQ(low[99], 100);
  EXPECT_EQ(low[100], 100);  // the span is one longer: the last pixel repeats
  EXPECT_EQ(low[101], 0);
  const std::uint8_t* top = out->row(49);
  EXPECT_EQ(top[48], 0);
  EXPECT_EQ(top[49], 1);
  EXPECT_EQ(top[149], 100);
  ASSERT_EQ(SkewDIB(nullptr, src.get(), &out, -45, 30, 0, 0, 0), kOk);  // horizontal wins
  EXPECT_EQ(out->row(0)[49], 0);
  EXPECT_EQ(out->row(0)[50], 1);
}

TEST(Skew, VerticalThirtyShiftsColumnsUp) {
  DibHandle src = test::MakeGrey(100, 50, 33);
  DibHandle out;
  ASSERT_EQ(SkewDIB(nullptr, src.get(), &out, 0, 30, 200, 0, 0), kOk);
  ASSERT_EQ(out->width(), 100);
  ASSERT_EQ(out->height(), 107);  // tan 30 x 100 = 57.7
  const std::size_t stride = out->stride();
  const std::uint8_t* base = out->row(0);
  EXPECT_EQ(base[49 * stride], 33);
  EXPECT_EQ(base[50 * stride], 200);
  EXPECT_EQ(base[55 * stride + 99], 200);
  EXPECT_EQ(base[56 * stride + 99], 33);
  EXPECT_EQ(base[105 * stride + 99], 33);
  EXPECT_EQ(base[106 * stride + 99], 200);
}

TEST(Wind, StrengthTwentyCarriesNinetyEightPercent) {
  DibHandle src = test::MakeGrey(4, 1);
  SetPixel(*src, 0, 0, 255);
  DibHandle out;
  ASSERT_EQ(WindDIB(nullptr, src.get(), &out, 20, 0), kOk);
  EXPECT_EQ(out->row(0)[0], 255);
  EXPECT_EQ(out->row(0)[1], 249);
  EXPECT_EQ(out->row(0)[2], 244);
  EXPECT_EQ(out->row(0)[3], 239);
  // From the right the same smear runs leftward; a bad flag counts as from the left.
  DibHandle right = test::MakeRgb(4, 1, 0, 0, 0);
  SetPixel(*right, 3, 0, 0xFF0000);
  ASSERT_EQ(WindDIB(nullptr, right.get(), &out, 20, 1), kOk);
  EXPECT_EQ(GetPixel(*out, 0, 0), 0xEF0000u);
  ASSERT_EQ(WindDIB(nullptr, right.get(), &out, 20, 5), kOk);
  EXPECT_EQ(GetPixel(*out, 0, 0), 0u);
}

TEST(MotionBlur, IntensityTwoAtNinetyAveragesLeftAndRight) {
  DibHandle src = test::MakeGrey(4, 3);
  const int in[4] = {0, 30, 60, 90};
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      SetPixel(*src, x, y, static_cast<std::uint32_t>(in[x] + y));
    }
  }
  DibHandle out;
  ASSERT_EQ(MotionBlurDIB(nullptr, src.get(), &out, 2, 90), kOk);
  const std::uint32_t expect[4] = {15, 30, 60, 75};
  for (int x = 0; x < 4; ++x) {
    EXPECT_EQ(GetPixel(*out, x, 1), expect[x] + 1) << x;
  }
  // Angle 0 blurs vertically: the middle row is the mean of three rows.
  ASSERT_EQ(MotionBlurDIB(nullptr, src.get(), &out, 2, 0), kOk);
  EXPECT_EQ(GetPixel(*out, 2, 1), 61u);
  EXPECT_EQ(GetPixel(*out, 2, 0), 60u);  // (60 + 61) / 2 at the edge
  ASSERT_EQ(MotionBlurDIB(nullptr, src.get(), &out, 0, 45), kOk);
  std::string why;
  EXPECT_TRUE(test::SamePixels(*out, *src, &why)) << why;
}

TEST(Deform, Refusals) {
  DibHandle grey = test::MakeGrey(10, 10);
  DibHandle four = test::MakeDib(10, 10, 4);
  DibHandle narrow = test::MakeGrey(4, 10);
  DibHandle out;
  const auto h = PerspectiveAxis::kHorizontal;
  EXPECT_EQ(PerspectiveDIB(nullptr, grey.get(), &out, h, 1, 2, 0, 0, 0), kInvalidArgument);
  EXPECT_EQ(PerspectiveDIB(nullptr, grey.get(), &out, h, 1, 101, 0, 0, 0), kInvalidArgument);
  EXPECT_EQ(PerspectiveDIB(nullptr, grey.get(), &out, h, 2, 50, 0, 0, 0), kInvalidArgument);
  EXPECT_EQ(PerspectiveDIB(nullptr, four.get(), &out, h, 1, 50, 0, 0, 0), kInvalidArgument);
  EXPECT_EQ(WarpDIB(nullptr, grey.get(), &out, 0, 100), kInvalidArgument);
  EXPECT_EQ(WarpDIB(nullptr, grey.get(), &out, 100, 201), kInvalidArgument);
  EXPECT_EQ(WarpDIB(nullptr, four.get(), &out, 100, 100), kInvalidArgument);
  EXPECT_EQ(CircleDIB(nullptr, four.get(), &out, 0, 0, 0), kInvalidArgument);
  EXPECT_EQ(CircleDIB(nullptr, test::MakeGrey(1, 9).get(), &out, 0, 0, 0), kInvalidArgument);
  EXPECT_EQ(PentagonDIB(nullptr, narrow.get(), &out, 0, 0, 0), kInvalidArgument);
  EXPECT_EQ(SkewDIB(nullptr, grey.get(), &out, 0, 0, 0, 0, 0), kInvalidArgument);
  EXPECT_EQ(SkewDIB(nullptr, narrow.get(), &out, 10, 0, 0, 0, 0), kInvalidArgument);
  // tan 89 x 1000 rows would make the result wider than 32767.
  EXPECT_EQ(SkewDIB(nullptr, test::MakeGrey(10, 1000).get(), &out, 89, 0, 0, 0, 0), kInvalidArgument);
  EXPECT_EQ(WindDIB(nullptr, four.get(), &out, 5, 0), kInvalidArgument);
  EXPECT_EQ(MotionBlurDIB(nullptr, four.get(), &out, 5, 0), kInvalidArgument);
  EXPECT_EQ(MotionBlurDIB(nullptr, nullptr, &out, 5, 0), kInvalidArgument);
  EXPECT_EQ(out, nullptr);
}

// Every operation stops at the first cancel test and hands back nothing.
struct CancelCase {
  const char* name;
  std::function<OpResult(ProgressWindow, const Dib*, DibHandle*)> run;
};

class Cancel : public ::testing::TestWithParam<CancelCase> {};

TEST_P(Cancel, ReturnsHundredAndNoImage) {
  DibHandle src = test::MakeRgb(40, 30, 1, 2, 3);
  test::RecordingSink sink(0);
  DibHandle out = test::MakeGrey(1, 1);
  EXPECT_EQ(GetParam().run(&sink, src.get(), &out), kCancelled);
  EXPECT_EQ(out, nullptr);
  EXPECT_FALSE(sink.reports.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Operations, Cancel,
    ::testing::Values(
        CancelCase{"Resample", [](auto p, auto s, auto r) { return ResampleDIB(p, s, r, 20, 20); }},
        CancelCase{"Resize", [](auto p, auto s, auto r) { return ResizeDIB(p, s, r, 20, 20); }},
        CancelCase{"Flip", [](auto p, auto s, auto r) { return FlipDIB(p, s, r); }},
        CancelCase{"Mirror", [](auto p, auto s, auto r) { return MirrorDIB(p, s, r); }},
        CancelCase{"Rotate90", [](auto p, auto s, auto r) { return RotateDIB(p, s, r, 90, 1, 0, 0, 0); }},
        CancelCase{"Rotate180", [](auto p, auto s, auto r) { return RotateDIB(p, s, r, 180, 1, 0, 0, 0); }},
        CancelCase{"RotateFree", [](auto p, auto s, auto r) { return RotateDIB(p, s, r, 33, 1, 0, 0, 0); }},
        CancelCase{"Borders", [](auto p, auto s, auto r) { return AddBordersDIB(p, s, r, 1, 2, 3, 4, 0, 0, 0); }},
        CancelCase{"PerspectiveH",
                   [](auto p, auto s, auto r) {
                     return PerspectiveDIB(p, s, r, PerspectiveAxis::kHorizontal, 1, 40, 0, 0, 0);
                   }},
        CancelCase{"PerspectiveV",
                   [](auto p, auto s, auto r) {
                     return PerspectiveDIB(p, s, r, PerspectiveAxis::kVertical, 0, 40, 0, 0, 0);
                   }},
        CancelCase{"Warp", [](auto p, auto s, auto r) { return WarpDIB(p, s, r, 150, 60); }},
        CancelCase{"Circle", [](auto p, auto s, auto r) { return CircleDIB(p, s, r, 0, 0, 0); }},
        CancelCase{"Pentagon", [](auto p, auto s, auto r) { return PentagonDIB(p, s, r, 0, 0, 0); }},
        CancelCase{"SkewH", [](auto p, auto s, auto r) { return SkewDIB(p, s, r, 20, 0, 0, 0, 0); }},
        CancelCase{"SkewV", [](auto p, auto s, auto r) { return SkewDIB(p, s, r, 0, -20, 0, 0, 0); }},
        CancelCase{"Wind", [](auto p, auto s, auto r) { return WindDIB(p, s, r, 10, 1); }},
        CancelCase{"MotionBlur", [](auto p, auto s, auto r) { return MotionBlurDIB(p, s, r, 6, 30); }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace km
