// Optimum palettes: median cut and octree gathering, the Windows colours.

#include <gtest/gtest.h>

#include <vector>

#include "imaging/palette/Palette.h"
#include "palette/PaletteTestUtil.h"

namespace km {
namespace {

using test::MakeDib;
using test::Rgb;
using test::Row;
using test::operator==;

int Gather(int method, int colors, const Dib& image, RgbQuad* palette, bool windows = false) {
  OptPaletteGatherer g;
  EXPECT_EQ(g.OptPaletteStart(method, colors, 8), kOk);
  EXPECT_EQ(g.OptPaletteAddDIB(&image), kOk);
  return g.OptPaletteFinish(palette, windows);
}

TEST(MedianCut, FewerKeysThanRequestedGivesThemWidenedInKeyOrder) {
  // Key order: (1,2,3) in 5 bits comes before (31,0,0).
  DibHandle img = Row({{255, 0, 0}, {8, 16, 24}, {255, 0, 0}});
  RgbQuad palette[256];
  std::fill(palette, palette + 256, RgbQuad{0xAA, 0xAA, 0xAA, 0xAA});
  EXPECT_EQ(Gather(kMedianCut, 16, *img, palette), 2);
  EXPECT_EQ(palette[0], (Rgb{8, 16, 24}));
  EXPECT_EQ(palette[1], (Rgb{255, 0, 0}));
  for (int i = 2; i < 16; ++i) {
    EXPECT_EQ(palette[i], (Rgb{0, 0, 0})) << i;
  }
  EXPECT_EQ(palette[16].rgbRed, 0xAA);  // past the requested count nothing is written
}

TEST(MedianCut, LowThreeBitsCountAsOneColour) {
  DibHandle img = Row({{8, 8, 8}, {15, 15, 15}, {12, 9, 14}});
  RgbQuad palette[256] = {};
  EXPECT_EQ(Gather(kMedianCut, 4, *img, palette), 1);
  EXPECT_EQ(palette[0], (Rgb{8, 8, 8}));
}

struct SplitCase {
  const char* name;
  std::vector<Rgb> pixels;
  int colors;
  std::vector<Rgb> expected;
};

class MedianCutSplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(MedianCutSplitTest, BoxesAsWorkedOut) {
  const SplitCase& c = GetParam();
  DibHandle img = Row(c.pixels);
  RgbQuad palette[256] = {};
  ASSERT_EQ(Gather(kMedianCut, c.colors, *img, palette), static_cast<int>(c.expected.size()));
  for (std::size_t i = 0; i < c.expected.size(); ++i) {
    EXPECT_EQ(palette[i], c.expected[i]) << c.name << " entry " << i;
  }
}

std::vector<Rgb> RedRampWithHeavy18() {
  std::vector<Rgb> px;
  for (int k = 0; k < 20; ++k) {
    px.push_back({8 * k, 0, 0});
  }
  for (int i = 0; i < 99; ++i) {
    px.push_back({8 * 18, 0, 0});
  }
  return px;
}

std::vector<Rgb> HeavyFourth() {
  std::vector<Rgb> px = {{0, 0, 0}, {32, 0, 0}, {64, 0, 0}, {128, 0, 0}};
  px.insert(px.end(), 100, Rgb{96, 0, 0});
  return px;
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, MedianCutSplitTest,
    ::testing::Values(
        // Ranges 31 on every channel: red wins the tie. Red order A, C, B; the left
        // box is A alone, the right box the plain average of C and B.
        SplitCase{"tie on all axes", {{0, 255, 128}, {255, 0, 0}, {128, 128, 255}}, 2,
                  {{0, 255, 132}, {193, 66, 127}}},
        // Red range 1, green and blue 31: green wins over blue.
        SplitCase{"green over blue", {{0, 0, 128}, {8, 255, 0}, {0, 128, 255}}, 2,
                  {{0, 0, 132}, {4, 193, 127}}},
        // Weights 1, 1, 1, 10 along red: the cursors meet on the heavy entry with U < W,
        // so A = 4, clamped to 3; the box average is unweighted.
        SplitCase{"clamp and unweighted average",
                  {{0, 0, 0}, {80, 0, 0}, {160, 0, 0}, {248, 0, 0}, {248, 0, 0}, {248, 0, 0}, {248, 0, 0},
                   {248, 0, 0}, {248, 0, 0}, {248, 0, 0}, {248, 0, 0}, {248, 0, 0}, {248, 0, 0}},
                  2, {{82, 0, 0}, {255, 0, 0}}},
        // 20 keys, entry 18 weighs 100: the jump of (19 - 0) / 8 = 2 puts entries 17..19
        // on the right before the cursors compare weights.
        SplitCase{"cursor jump", RedRampWithHeavy18(), 2, {{65, 0, 0}, {148, 0, 0}}},
        // Five even keys, three colours: the cursors meet on entry 2 with U = W, so the
        // left box is entries 0, 1 with one colour; the right box splits 2 | 3, 4.
        SplitCase{"three colours",
                  {{0, 0, 0}, {64, 0, 0}, {128, 0, 0}, {192, 0, 0}, {248, 0, 0}}, 3,
                  {{33, 0, 0}, {132, 0, 0}, {226, 0, 0}}},
        // Entry 3 weighs 100: A = 4 with budget 2 would leave the single right entry
        // two colours, so the left box takes 3; it splits 0 | 1, 2 | 3.
        SplitCase{"budget raised for the right box", HeavyFourth(), 4,
                  {{0, 0, 0}, {49, 0, 0}, {99, 0, 0}, {132, 0, 0}}}),
    [](const auto& info) { return test::SafeName(info.param.name); });

TEST(MedianCut, SixteenColoursAlwaysWhenMoreKeys) {
  for (std::uint32_t seed = 1; seed <= 5; ++seed) {
    DibHandle img = MakeDib(61, 17, 24);
    test::FillRandom(*img, seed);
    RgbQuad palette[256] = {};
    EXPECT_EQ(Gather(kMedianCut, 16, *img, palette), 16) << seed;
  }
}

TEST(Octree, ReductionCanLeaveFewerColoursThanRequested) {
  // Three leaves under one level-7 node: the reduction merges all three at once.
  DibHandle img = Row({{0, 0, 0}, {0, 0, 1}, {0, 1, 0}});
  RgbQuad palette[256] = {};
  EXPECT_EQ(Gather(kOctree, 2, *img, palette), 1);
  EXPECT_EQ(palette[0], (Rgb{0, 0, 0}));
}

TEST(Octree, NewestNodeOfTheDeepestLevelIsReducedFirst) {
  DibHandle img = Row({{0, 0, 0}, {0, 0, 1}, {255, 255, 255}, {255, 255, 254}});
  RgbQuad palette[256] = {};
  ASSERT_EQ(Gather(kOctree, 3, *img, palette), 3);
  EXPECT_EQ(palette[0], (Rgb{0, 0, 0}));
  EXPECT_EQ(palette[1], (Rgb{0, 0, 1}));
  EXPECT_EQ(palette[2], (Rgb{255, 255, 254}));
}

TEST(Octree, OneBitImageAddsItsTwoColoursInProportion) {
  DibHandle img = MakeDib(4, 2, 1, 2);
  img->colors()[0] = RgbQuad{0, 0, 0, 0};
  img->colors()[1] = RgbQuad{255, 255, 255, 0};
  // Top row 1000, bottom row 1100; the padding bits are set and must be ignored.
  img->row(1)[0] = 0x80 | 0x0F;
  img->row(0)[0] = 0xC0 | 0x0F;
  RgbQuad palette[256] = {};
  ASSERT_EQ(Gather(kOctree, 1, *img, palette), 1);
  EXPECT_EQ(palette[0], (Rgb{95, 95, 95}));  // 3 * 255 / 8
  ASSERT_EQ(Gather(kMedianCut, 16, *img, palette), 2);
  EXPECT_EQ(palette[0], (Rgb{0, 0, 0}));
  EXPECT_EQ(palette[1], (Rgb{255, 255, 255}));
}

TEST(Octree, ManyColoursStayWithinTheRequest) {
  DibHandle img = MakeDib(128, 64, 24);
  test::FillRandom(*img, 7);
  RgbQuad palette[256] = {};
  const int n = Gather(kOctree, 256, *img, palette);
  EXPECT_GT(n, 0);
  EXPECT_LE(n, 256);
}

TEST(Gatherer, CallsOutOfOrderOrWithBadArguments) {
  OptPaletteGatherer g;
  DibHandle img = Row({{1, 2, 3}});
  RgbQuad palette[256] = {};
  EXPECT_EQ(g.OptPaletteAddDIB(img.get()), kInvalidArgument);
  EXPECT_EQ(g.OptPaletteFinish(palette, false), 0);
  EXPECT_EQ(g.OptPaletteStart(2, 16, 8), kInvalidArgument);
  EXPECT_EQ(g.OptPaletteAddDIB(img.get()), kInvalidArgument);
  EXPECT_EQ(g.OptPaletteStart(kOctree, 16, 9), kInvalidArgument);
  ASSERT_EQ(g.OptPaletteStart(kMedianCut, 16, 8), kOk);
  EXPECT_EQ(g.OptPaletteAddDIB(nullptr), kInvalidArgument);
  // A restart drops what the first gathering held.
  ASSERT_EQ(g.OptPaletteAddDIB(img.get()), kOk);
  ASSERT_EQ(g.OptPaletteStart(kMedianCut, 16, 8), kOk);
  EXPECT_EQ(g.OptPaletteFinish(palette, false), 0);
}

TEST(Gatherer, SeveralImagesFeedOnePalette) {
  OptPaletteGatherer g;
  DibHandle a = Row({{255, 0, 0}});
  DibHandle b = Row({{0, 0, 255}});
  RgbQuad palette[256] = {};
  ASSERT_EQ(g.OptPaletteStart(kMedianCut, 16, 8), kOk);
  ASSERT_EQ(g.OptPaletteAddDIB(a.get()), kOk);
  ASSERT_EQ(g.OptPaletteAddDIB(b.get()), kOk);
  ASSERT_EQ(g.OptPaletteFinish(palette, false), 2);
  EXPECT_EQ(palette[0], (Rgb{0, 0, 255}));
  EXPECT_EQ(palette[1], (Rgb{255, 0, 0}));
}

const Rgb kWindows[20] = {{0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
                          {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
                          {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
                          {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};

TEST(WindowsColors, TwoHundredThirtySixGeneratedPlusTwentyInTheirPlaces) {
  DibHandle img = MakeDib(200, 100, 24);
  test::FillRandom(*img, 11);
  RgbQuad plain[256] = {};
  ASSERT_EQ(Gather(kMedianCut, 236, *img, plain), 236);

  RgbQuad palette[256];
  int count = 0;
  ASSERT_EQ(GatherImagePalette(img.get(), kMedianCut, 256, true, palette, &count), kOk);
  EXPECT_EQ(count, 256);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(palette[i], kWindows[i]) << i;
    EXPECT_EQ(palette[246 + i], kWindows[10 + i]) << i;
  }
  for (int i = 0; i < 236; ++i) {
    EXPECT_EQ(palette[10 + i].rgbRed, plain[i].rgbRed);
    EXPECT_EQ(palette[10 + i].rgbGreen, plain[i].rgbGreen);
    EXPECT_EQ(palette[10 + i].rgbBlue, plain[i].rgbBlue);
  }
}

TEST(WindowsColors, FollowTheGeneratedCountDirectly) {
  RgbQuad palette[256] = {};
  palette[0] = RgbQuad{3, 2, 1, 0};
  ASSERT_EQ(AddWindowsColors(palette, 1), kOk);
  EXPECT_EQ(palette[9], kWindows[9]);
  EXPECT_EQ(palette[10], (Rgb{1, 2, 3}));
  EXPECT_EQ(palette[11], kWindows[10]);
  EXPECT_EQ(palette[20], kWindows[19]);
}

TEST(WindowsColors, MoreThan236AreRefusedAndTheRequestIsLimited) {
  RgbQuad palette[256] = {};
  palette[0] = RgbQuad{9, 9, 9, 0};
  EXPECT_EQ(AddWindowsColors(palette, 237), kInvalidArgument);
  EXPECT_EQ(palette[0].rgbRed, 9);
  EXPECT_EQ(OptimumColorRequest(256, true), 236);
  EXPECT_EQ(OptimumColorRequest(250, true), 236);
  EXPECT_EQ(OptimumColorRequest(100, true), 100);
  EXPECT_EQ(OptimumColorRequest(256, false), 256);
  EXPECT_EQ(OptimumColorRequest(999, false), 256);

  // An "Apply Fully Optimized Palette" asking for 250 with the Windows colours.
  DibHandle img = MakeDib(100, 100, 24);
  test::FillRandom(*img, 3);
  int count = 0;
  ASSERT_EQ(GatherImagePalette(img.get(), kOctree, 250, true, palette, &count), kOk);
  EXPECT_LE(count, 256);
  EXPECT_EQ(palette[0], kWindows[0]);
  EXPECT_EQ(palette[count - 1], kWindows[19]);
}

}  // namespace
}  // namespace km
