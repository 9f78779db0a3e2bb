// Mapping to a given palette: nearest colour with its memo, error diffusion shares,
// bleed reduction and the row engine.

#include <gtest/gtest.h>

#include "imaging/palette/Palette.h"
#include "imaging/palette/RowEngine.h"
#include "palette/PaletteTestUtil.h"

namespace km {
namespace {

using palette_detail::ErrorShares;
using palette_detail::ReduceBleed;
using test::MakeDib;
using test::PictureRow;
using test::Quad;

struct ShareCase {
  int e, right, belowLeft, below, belowRight;
};

class ErrorShareTest : public ::testing::TestWithParam<ShareCase> {};

TEST_P(ErrorShareTest, SharesTruncateTowardZero) {
  const ShareCase& c = GetParam();
  const auto s = ErrorShares(c.e);
  EXPECT_EQ(s.right, c.right);
  EXPECT_EQ(s.belowLeft, c.belowLeft);
  EXPECT_EQ(s.below, c.below);
  EXPECT_EQ(s.belowRight, c.belowRight);
}

INSTANTIATE_TEST_SUITE_P(HandWorked, ErrorShareTest,
                         ::testing::Values(ShareCase{16, 7, 3, 5, 1}, ShareCase{255, 111, 48, 80, 16},
                                           ShareCase{-255, -114, -47, -79, -15}, ShareCase{0, 0, 0, 0, 0},
                                           ShareCase{8, 3, 1, 3, 1}, ShareCase{-5, -4, 0, -1, 0}));

TEST(ErrorShares, EveryErrorIsSharedWhole) {
  for (int e = -255; e <= 255; ++e) {
    const auto s = ErrorShares(e);
    EXPECT_EQ(s.right + s.belowLeft + s.below + s.belowRight, e) << e;
  }
}

TEST(ReduceBleed, FloorsThreeQuarters) {
  EXPECT_EQ(ReduceBleed(-1), -1);
  EXPECT_EQ(ReduceBleed(4), 3);
  EXPECT_EQ(ReduceBleed(-4), -3);
  EXPECT_EQ(ReduceBleed(-5), -4);
  EXPECT_EQ(ReduceBleed(0), 0);
}

class NearestTest : public ::testing::Test {
protected:
  void TearDown() override { FreeNearestCache(); }
};

TEST_F(NearestTest, EqualDistancesGoToTheLowerIndex) {
  const RgbQuad palette[2] = {Quad(0, 0, 0), Quad(20, 0, 0)};
  EXPECT_EQ(NearestPaletteIndex(10, 0, 0, palette, 2), 0);
  FreeNearestCache();
  const RgbQuad reversed[2] = {Quad(20, 0, 0), Quad(0, 0, 0)};
  EXPECT_EQ(NearestPaletteIndex(10, 0, 0, reversed, 2), 0);
}

TEST_F(NearestTest, ColoursInOneCellShareTheFirstAnswer) {
  const RgbQuad palette[2] = {Quad(100, 100, 100), Quad(104, 104, 104)};
  // 103 is nearest to 104; 102 ties and would go to 100, but shares 103's cell.
  EXPECT_EQ(NearestPaletteIndex(103, 103, 103, palette, 2), 1);
  EXPECT_EQ(NearestPaletteIndex(102, 102, 102, palette, 2), 1);
  FreeNearestCache();
  EXPECT_EQ(NearestPaletteIndex(102, 102, 102, palette, 2), 0);
  // Red, green and blue cells are kept apart.
  EXPECT_EQ(NearestPaletteIndex(102, 102, 103, palette, 2), 0);
}

// 16 greys 0, 16, ..., 240.
std::vector<RgbQuad> GreySteps() {
  std::vector<RgbQuad> p(256);
  for (int i = 0; i < 16; ++i) {
    p[static_cast<std::size_t>(i)] = Quad(16 * i, 16 * i, 16 * i);
  }
  return p;
}

TEST(MapDIBToPalette, ErrorDiffusionAsWorkedOut) {
  // 3 x 2 of grey 24. Top row: 24 ties between 16 and 32 (index 1, e 8, carry 3);
  // 27 -> 32 (e -5, carry -4); 20 -> 16. Pushed down: 3, 1, 1. Bottom row: 27 -> 32,
  // 1 - 4 + 24 = 21 -> 16, 1 + 2 + 24 = 27 -> 32.
  DibHandle img = test::MakeRgb(3, 2, 24, 24, 24);
  const auto palette = GreySteps();
  DibHandle out;
  ASSERT_EQ(MapDIBToPalette(nullptr, img.get(), &out, 4, palette.data(), 2, false, 16), kOk);
  ASSERT_EQ(out->bitCount(), 4);
  EXPECT_EQ(PictureRow(*out, 0), (std::vector<int>{1, 2, 1}));
  EXPECT_EQ(PictureRow(*out, 1), (std::vector<int>{2, 1, 2}));
  // Odd width: the padding nibble stays 0.
  EXPECT_EQ(out->row(1)[1], 0x10);
  const BitmapInfoHeader h = out->header();
  EXPECT_EQ(h.biClrUsed, 16u);
  EXPECT_EQ(h.biClrImportant, 16u);
  EXPECT_EQ(h.biSizeImage, 8u);
  EXPECT_EQ(out->colors()[15].rgbRed, 240);
}

TEST(MapDIBToPalette, NearestColourIgnoresNeighbours) {
  DibHandle img = test::MakeRgb(3, 2, 24, 24, 24);
  const auto palette = GreySteps();
  DibHandle out;
  ASSERT_EQ(MapDIBToPalette(nullptr, img.get(), &out, 8, palette.data(), 0, false, 16), kOk);
  EXPECT_EQ(PictureRow(*out, 0), (std::vector<int>{1, 1, 1}));
  EXPECT_EQ(PictureRow(*out, 1), (std::vector<int>{1, 1, 1}));
  EXPECT_EQ(out->header().biClrUsed, 256u);
}

TEST(MapDIBToPalette, RightCarryIsDroppedAtTheRowEnd) {
  // Each row is 1 pixel of 24: a carry crossing rows would move row 2 off index 1.
  // The share below (3) does arrive: 27 -> 32.
  DibHandle img = test::MakeRgb(1, 3, 24, 24, 24);
  const auto palette = GreySteps();
  DibHandle out;
  ASSERT_EQ(MapDIBToPalette(nullptr, img.get(), &out, 8, palette.data(), 2, false, 16), kOk);
  EXPECT_EQ(test::GetPixel(*out, 0, 0), 1u);
  EXPECT_EQ(test::GetPixel(*out, 0, 1), 2u);
}

TEST(MapDIBToPalette, CountOfOneMapsEverythingToEntryZero) {
  DibHandle img = MakeDib(33, 9, 24);
  test::FillRandom(*img, 5);
  const auto palette = GreySteps();
  for (int method : {0, 2}) {
    DibHandle out;
    ASSERT_EQ(MapDIBToPalette(nullptr, img.get(), &out, 8, palette.data(), method, true, 1), kOk);
    for (int y = 0; y < 9; ++y) {
      for (int x = 0; x < 33; ++x) {
        ASSERT_EQ(test::GetPixel(*out, x, y), 0u);
      }
    }
  }
}

TEST(MapDIBToPalette, IndexedSourcesGoThroughTheirTable) {
  DibHandle img = MakeDib(2, 1, 4, 2);
  img->colors()[0] = Quad(240, 240, 240);
  img->colors()[1] = Quad(17, 17, 17);
  test::SetPixel(*img, 0, 0, 1);
  test::SetPixel(*img, 1, 0, 0);
  const auto palette = GreySteps();
  DibHandle out;
  ASSERT_EQ(MapDIBToPalette(nullptr, img.get(), &out, 8, palette.data(), 0, false, 16), kOk);
  EXPECT_EQ(PictureRow(*out, 0), (std::vector<int>{1, 15}));
}

TEST(MapDIBToPalette, RefusesWhatItCannotMap) {
  DibHandle rgb = test::MakeRgb(2, 2, 1, 2, 3);
  DibHandle mono = MakeDib(2, 2, 1);
  const auto palette = GreySteps();
  DibHandle out;
  EXPECT_EQ(MapDIBToPalette(nullptr, rgb.get(), &out, 8, palette.data(), 0, false, 0), kInvalidArgument);
  EXPECT_EQ(MapDIBToPalette(nullptr, mono.get(), &out, 8, palette.data(), 0, false, 16), kInvalidArgument);
  EXPECT_EQ(MapDIBToPalette(nullptr, rgb.get(), &out, 2, palette.data(), 0, false, 16), kInvalidArgument);
  EXPECT_EQ(MapDIBToPalette(nullptr, rgb.get(), &out, 8, palette.data(), 1, false, 16), kInvalidArgument);
  EXPECT_EQ(MapDIBToPalette(nullptr, rgb.get(), &out, 8, nullptr, 0, false, 16), kInvalidArgument);
  EXPECT_EQ(MapDIBToPalette(nullptr, nullptr, &out, 8, palette.data(), 0, false, 16), kInvalidArgument);
  EXPECT_EQ(MapDIBToPalette(nullptr, rgb.get(), nullptr, 8, palette.data(), 0, false, 16), kInvalidArgument);
  EXPECT_EQ(out, nullptr);
}

TEST(MapDIBToPalette, FourBitOutputNeverChoosesPastSixteen) {
  // 256 usable greys asked for a 4-bit result: only the first 16 can be written.
  std::vector<RgbQuad> palette(256);
  for (int i = 0; i < 256; ++i) {
    palette[static_cast<std::size_t>(i)] = Quad(255 - i, 255 - i, 255 - i);
  }
  DibHandle img = test::MakeRgb(2, 1, 0, 0, 0);
  DibHandle out;
  ASSERT_EQ(MapDIBToPalette(nullptr, img.get(), &out, 4, palette.data(), 0, false, 256), kOk);
  EXPECT_EQ(PictureRow(*out, 0), (std::vector<int>{15, 15}));
}

}  // namespace
}  // namespace km
