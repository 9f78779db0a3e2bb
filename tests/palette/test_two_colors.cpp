// Two colours: the weighting curve, thresholds, the three kernels, the channels, and
// the format library's ordered dither.

#include <gtest/gtest.h>

#include "imaging/palette/Palette.h"
#include "imaging/palette/TwoColorsCurve.h"
#include "palette/PaletteTestUtil.h"

namespace km {
namespace {

using test::MakeDib;
using test::MakeGrey;
using test::PictureRow;
using test::Quad;

TEST(WeightCurve, TableValuesAtRangeEdges) {
  const std::pair<int, int> cases[] = {{0, 1},     {38, 1},    {39, 2},    {69, 32},   {70, 32},   {74, 35},
                                       {77, 39},   {78, 39},   {86, 47},   {87, 47},   {98, 58},   {99, 58},
                                       {102, 62},  {103, 62},  {119, 78},  {120, 80},  {148, 115}, {149, 116},
                                       {161, 140}, {162, 143}, {166, 152}, {167, 154}, {176, 176}, {177, 178},
                                       {184, 189}, {185, 190}, {197, 214}, {198, 217}, {211, 251}, {212, 254},
                                       {255, 254}};
  for (const auto& [v, w] : cases) {
    EXPECT_EQ(TwoColorWeight(v), w) << v;
  }
  for (int v = 1; v < 256; ++v) {
    EXPECT_GE(TwoColorWeight(v), TwoColorWeight(v - 1)) << v;
  }
}

DibHandle GreyRow(const std::vector<int>& values, int height = 1) {
  DibHandle img = MakeGrey(static_cast<int>(values.size()), height);
  for (int y = 0; y < height; ++y) {
    for (std::size_t x = 0; x < values.size(); ++x) {
      test::SetPixel(*img, static_cast<int>(x), y, static_cast<std::uint32_t>(values[x]));
    }
  }
  return img;
}

TEST(ReduceTo2Colors, ThresholdTiesGiveBlack) {
  // Unweighted grey ramp: lo 0, hi 255, threshold 127.
  DibHandle img = GreyRow({126, 127, 128, 255});
  DibHandle out;
  ASSERT_EQ(ReduceTo2Colors(nullptr, img.get(), &out, 0, 0, false), kOk);
  EXPECT_EQ(PictureRow(*out, 0), (std::vector<int>{0, 0, 1, 1}));
  EXPECT_EQ(out->bitCount(), 1);
  EXPECT_EQ(out->header().biClrUsed, 2u);
  EXPECT_EQ(out->colors()[0].rgbRed, 0);
  EXPECT_EQ(out->colors()[1].rgbBlue, 255);
}

TEST(ReduceTo2Colors, WeightedRampHasEnds1And254) {
  // lo = W(0) = 1, hi = W(255) = 254, threshold 127: W(154) = 126, W(155) = 128.
  DibHandle img = GreyRow({154, 155});
  DibHandle out;
  ASSERT_EQ(ReduceTo2Colors(nullptr, img.get(), &out, 0, 0, true), kOk);
  EXPECT_EQ(PictureRow(*out, 0), (std::vector<int>{0, 1}));
}

TEST(ReduceTo2Colors, OneColourTableGivesAllBlack) {
  DibHandle img = MakeDib(5, 3, 8, 1);
  img->colors()[0] = Quad(200, 200, 200);
  for (int method = 0; method <= 3; ++method) {
    DibHandle out;
    ASSERT_EQ(ReduceTo2Colors(nullptr, img.get(), &out, method, 0, false), kOk);
    for (int y = 0; y < 3; ++y) {
      EXPECT_EQ(PictureRow(*out, y), (std::vector<int>(5, 0)));
    }
  }
}

struct ChannelCase {
  int channel;
  std::vector<int> expected;
};

class ChannelTest : public ::testing::TestWithParam<ChannelCase> {};

TEST_P(ChannelTest, TwentyFourBitSourceThresholdsTheChosenByte) {
  DibHandle img = MakeDib(3, 1, 24);
  test::SetPixel(*img, 0, 0, 0xC80000);  // red 200
  test::SetPixel(*img, 1, 0, 0x00C800);  // green 200
  test::SetPixel(*img, 2, 0, 0x0000C8);  // blue 200
  DibHandle out;
  ASSERT_EQ(ReduceTo2Colors(nullptr, img.get(), &out, 0, GetParam().channel, false), kOk);
  EXPECT_EQ(PictureRow(*out, 0), GetParam().expected);
}

// Grey: 60, 118, 22, all below 127.
INSTANTIATE_TEST_SUITE_P(Channels, ChannelTest,
                         ::testing::Values(ChannelCase{0, {0, 0, 0}}, ChannelCase{1, {1, 0, 0}},
                                           ChannelCase{2, {0, 1, 0}}, ChannelCase{3, {0, 0, 1}}));

TEST(ReduceTo2Colors, IndexedSourceUsesItsTableRange) {
  // Red components of a 4-bit table: 40 and 60, threshold 50; entries 2..15 are black
  // but not in the table, so lo and hi come from the two used entries only.
  DibHandle img = MakeDib(2, 1, 4, 2);
  img->colors()[0] = Quad(40, 255, 255);
  img->colors()[1] = Quad(60, 0, 0);
  test::SetPixel(*img, 0, 0, 1);
  DibHandle out;
  ASSERT_EQ(ReduceTo2Colors(nullptr, img.get(), &out, 0, 1, false), kOk);
  EXPECT_EQ(PictureRow(*out, 0), (std::vector<int>{1, 0}));
}

struct KernelCase {
  const char* name;
  int method;
  std::vector<int> top;
  int height;
  std::vector<std::vector<int>> expected;
};

class KernelTest : public ::testing::TestWithParam<KernelCase> {};

TEST_P(KernelTest, SharesAsWorkedOut) {
  const KernelCase& c = GetParam();
  DibHandle img = GreyRow(c.top, c.height);
  DibHandle out;
  ASSERT_EQ(ReduceTo2Colors(nullptr, img.get(), &out, c.method, 0, false), kOk);
  for (int y = 0; y < c.height; ++y) {
    EXPECT_EQ(PictureRow(*out, y), c.expected[static_cast<std::size_t>(y)]) << c.name << " row " << y;
  }
}

INSTANTIATE_TEST_SUITE_P(
    HandWorked, KernelTest,
    ::testing::Values(
        // Top: 100 -> 0 (f 100: right +43, below 131, below-right 106); 143 -> 1
        // (f -112: right -49, below-left 110, below 71, below-right 93); 51 -> 0
        // (f 51: below-left 80, below 108). Bottom: 110 -> 0 (right +48 -> 128);
        // 128 -> 1 (right -56 -> 52); 52 -> 0.
        KernelCase{"floyd", 1, {100, 100, 100}, 2, {{0, 1, 0}, {0, 1, 0}}},
        // 100 -> 0 (x+1 +25, x+2 +12); 125 -> 0 (x+1 +31); 143 -> 1.
        KernelCase{"burkes", 2, {100, 100, 100}, 1, {{0, 0, 1}}},
        // 100 -> 0 (x+1 +19, x+2 +9); 119 -> 0 (x+1 +22); 131 -> 1.
        KernelCase{"stucki", 3, {100, 100, 100}, 1, {{0, 0, 1}}},
        // Without diffusion every 100 is black.
        KernelCase{"nearest", 0, {100, 100, 100}, 2, {{0, 0, 0}, {0, 0, 0}}}),
    [](const auto& info) { return test::SafeName(info.param.name); });

TEST(ReduceTo2Colors, MidGreyAreaComesOutHalfWhite) {
  // A large error-diffused area of grey 128 lights about half its pixels whatever the
  // kernel; shares falling outside the image are dropped without harm.
  DibHandle img = MakeGrey(40, 40, 128);
  for (int method = 1; method <= 3; ++method) {
    DibHandle out;
    ASSERT_EQ(ReduceTo2Colors(nullptr, img.get(), &out, method, 0, false), kOk);
    int white = 0;
    for (int y = 0; y < 40; ++y) {
      for (int x = 0; x < 40; ++x) {
        white += static_cast<int>(test::GetPixel(*out, x, y));
      }
    }
    EXPECT_NEAR(white, 800, 40) << method;
  }
}

TEST(ReduceTo2Colors, RefusalsProgressAndCancel) {
  DibHandle mono = MakeDib(4, 4, 1);
  DibHandle img = MakeGrey(4, 4, 10);
  DibHandle out;
  EXPECT_EQ(ReduceTo2Colors(nullptr, mono.get(), &out, 0, 0, false), kInvalidArgument);
  EXPECT_EQ(ReduceTo2Colors(nullptr, img.get(), &out, 4, 0, false), kInvalidArgument);
  EXPECT_EQ(ReduceTo2Colors(nullptr, img.get(), &out, 0, 4, false), kInvalidArgument);
  EXPECT_EQ(ReduceTo2Colors(nullptr, nullptr, &out, 0, 0, false), kInvalidArgument);
  test::RecordingProgress progress;
  ASSERT_EQ(ReduceTo2Colors(&progress, img.get(), &out, 1, 0, false), kOk);
  EXPECT_EQ(progress.reports, (std::vector<int>{0, 25, 50, 75, 100, 100}));
  test::RecordingProgress stop(2);
  EXPECT_EQ(ReduceTo2Colors(&stop, img.get(), &out, 1, 0, false), kCancelled);
  EXPECT_EQ(out, nullptr);
}

TEST(OrderedDither2, LevelsLightOneCellPerSixteen) {
  for (const auto& [grey, white] : std::vector<std::pair<int, int>>{{0, 0}, {7, 0}, {8, 1}, {128, 8}, {255, 16}}) {
    DibHandle img = MakeGrey(4, 4, static_cast<std::uint8_t>(grey));
    DibHandle out;
    ASSERT_EQ(OrderedDither2(nullptr, img.get(), &out, 0), kOk);
    int lit = 0;
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 4; ++x) {
        lit += static_cast<int>(test::GetPixel(*out, x, y));
      }
    }
    EXPECT_EQ(lit, white) << grey;
  }
}

TEST(OrderedDither2, ChannelsAndRefusals) {
  DibHandle img = MakeDib(1, 1, 24);
  test::SetPixel(*img, 0, 0, 0xFF0000);
  DibHandle out;
  ASSERT_EQ(OrderedDither2(nullptr, img.get(), &out, 1), kOk);
  EXPECT_EQ(test::GetPixel(*out, 0, 0), 1u);
  ASSERT_EQ(OrderedDither2(nullptr, img.get(), &out, 3), kOk);
  EXPECT_EQ(test::GetPixel(*out, 0, 0), 0u);
  DibHandle mono = MakeDib(1, 1, 1);
  EXPECT_EQ(OrderedDither2(nullptr, mono.get(), &out, 0), kInvalidArgument);
  EXPECT_EQ(OrderedDither2(nullptr, img.get(), &out, 4), kInvalidArgument);
}

}  // namespace
}  // namespace km
