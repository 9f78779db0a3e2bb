// Raising the bit depth and replacing a colour table with the indices kept.

#include <gtest/gtest.h>

#include "imaging/palette/Palette.h"
#include "palette/PaletteTestUtil.h"

namespace km {
namespace {

using test::MakeDib;
using test::PictureRow;
using test::Quad;
using test::Rgb;
using test::operator==;

TEST(IncreaseDIBDepth, OneBitToEightKeepsBothColoursAndBlackensTheRest) {
  DibHandle img = MakeDib(10, 2, 1, 2);
  img->colors()[0] = Quad(10, 20, 30);
  img->colors()[1] = Quad(200, 100, 50);
  img->row(1)[0] = 0xA5;  // top row 1010 0101 10, padding bits set
  img->row(1)[1] = 0xFF;
  DibHandle out;
  ASSERT_EQ(IncreaseDIBDepth(nullptr, img.get(), &out, 8), kOk);
  ASSERT_EQ(out->bitCount(), 8);
  EXPECT_EQ(out->header().biClrUsed, 256u);
  EXPECT_EQ(out->header().biClrImportant, 256u);
  EXPECT_EQ(out->colors()[0], (Rgb{10, 20, 30}));
  EXPECT_EQ(out->colors()[1], (Rgb{200, 100, 50}));
  for (int i = 2; i < 256; ++i) {
    EXPECT_EQ(out->colors()[i], (Rgb{0, 0, 0})) << i;
  }
  EXPECT_EQ(PictureRow(*out, 0), (std::vector<int>{1, 0, 1, 0, 0, 1, 0, 1, 1, 1}));
  EXPECT_EQ(PictureRow(*out, 1), (std::vector<int>(10, 0)));
}

TEST(IncreaseDIBDepth, OddWidthFourBitReadsExactlyWidthPixels) {
  DibHandle img = MakeDib(3, 1, 4, 16);
  img->row(0)[0] = 0x12;
  img->row(0)[1] = 0x3F;  // low nibble is padding
  img->row(0)[2] = 0xEE;
  img->row(0)[3] = 0xEE;
  DibHandle out;
  ASSERT_EQ(IncreaseDIBDepth(nullptr, img.get(), &out, 8), kOk);
  EXPECT_EQ(PictureRow(*out, 0), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(out->row(0)[3], 0);
}

TEST(IncreaseDIBDepth, OneBitToFourPacksHighNibbleFirst) {
  DibHandle img = MakeDib(3, 1, 1, 2);
  img->row(0)[0] = 0xA0;
  DibHandle out;
  ASSERT_EQ(IncreaseDIBDepth(nullptr, img.get(), &out, 4), kOk);
  EXPECT_EQ(out->header().biClrUsed, 16u);
  EXPECT_EQ(out->row(0)[0], 0x10);
  EXPECT_EQ(out->row(0)[1], 0x10);
}

TEST(IncreaseDIBDepth, FullTableEightBitToTwentyFour) {
  // biClrUsed 0 means all 256 entries.
  DibHandle img = MakeDib(2, 1, 8, 0);
  img->colors()[255] = Quad(1, 2, 3);
  img->colors()[200] = Quad(4, 5, 6);
  img->row(0)[0] = 255;
  img->row(0)[1] = 200;
  DibHandle out;
  ASSERT_EQ(IncreaseDIBDepth(nullptr, img.get(), &out, 24), kOk);
  EXPECT_EQ(out->header().biClrUsed, 0u);
  EXPECT_EQ(test::GetPixel(*out, 0, 0), 0x010203u);
  EXPECT_EQ(test::GetPixel(*out, 1, 0), 0x040506u);
}

TEST(IncreaseDIBDepth, IndexPastTheTableReadsBlack) {
  DibHandle img = MakeDib(1, 1, 8, 2);
  img->colors()[1] = Quad(9, 9, 9);
  img->row(0)[0] = 77;
  DibHandle out;
  ASSERT_EQ(IncreaseDIBDepth(nullptr, img.get(), &out, 24), kOk);
  EXPECT_EQ(test::GetPixel(*out, 0, 0), 0u);
}

TEST(IncreaseDIBDepth, KeepsTheResolution) {
  DibHandle img = MakeDib(1, 1, 4, 2);
  BitmapInfoHeader h = img->header();
  h.biXPelsPerMeter = 3780;
  h.biYPelsPerMeter = 2835;
  img->setHeader(h);
  DibHandle out;
  ASSERT_EQ(IncreaseDIBDepth(nullptr, img.get(), &out, 8), kOk);
  EXPECT_EQ(out->header().biXPelsPerMeter, 3780);
  EXPECT_EQ(out->header().biYPelsPerMeter, 2835);
}

struct RefusedCase {
  int sourceBits, targetBits;
};

class IncreaseRefused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(IncreaseRefused, TargetMustBeAboveAndKnown) {
  DibHandle img = MakeDib(2, 2, GetParam().sourceBits);
  DibHandle out;
  EXPECT_EQ(IncreaseDIBDepth(nullptr, img.get(), &out, GetParam().targetBits), kInvalidArgument);
  EXPECT_EQ(out, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Depths, IncreaseRefused,
                         ::testing::Values(RefusedCase{4, 4}, RefusedCase{8, 4}, RefusedCase{24, 24},
                                           RefusedCase{1, 1}, RefusedCase{1, 2}, RefusedCase{4, 16},
                                           RefusedCase{8, 32}));

TEST(IncreaseDIBDepth, ProgressAndCancel) {
  DibHandle img = MakeDib(2, 4, 4);
  test::RecordingProgress progress;
  DibHandle out;
  ASSERT_EQ(IncreaseDIBDepth(&progress, img.get(), &out, 24), kOk);
  EXPECT_EQ(progress.reports, (std::vector<int>{0, 25, 50, 75, 100, 100}));
  test::RecordingProgress stop(1);
  EXPECT_EQ(IncreaseDIBDepth(&stop, img.get(), &out, 24), kCancelled);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(IncreaseDIBDepth(nullptr, nullptr, &out, 24), kInvalidArgument);
}

TEST(MaintainIndexesDIB, ReplacesTheTableAndKeepsIndices) {
  DibHandle img = MakeDib(3, 1, 4, 16);
  img->row(0)[0] = 0x5A;
  RgbQuad palette[256] = {};
  palette[5] = Quad(50, 60, 70);
  palette[15] = Quad(1, 1, 1);
  DibHandle out;
  ASSERT_EQ(MaintainIndexesDIB(img.get(), &out, 16, palette), kOk);
  EXPECT_EQ(out->row(0)[0], 0x5A);
  EXPECT_EQ(out->colors()[5], (Rgb{50, 60, 70}));
  EXPECT_EQ(out->colors()[15], (Rgb{1, 1, 1}));
}

TEST(MaintainIndexesDIB, CountMustMatchTheDeclaredColours) {
  DibHandle img = MakeDib(3, 1, 8, 256);
  RgbQuad palette[256] = {};
  DibHandle out;
  EXPECT_EQ(MaintainIndexesDIB(img.get(), &out, 16, palette), kPaletteCountMismatch);
  EXPECT_EQ(out, nullptr);
  DibHandle full = MakeDib(3, 1, 8, 0);
  EXPECT_EQ(MaintainIndexesDIB(full.get(), &out, 256, palette), kPaletteCountMismatch);
  EXPECT_EQ(MaintainIndexesDIB(img.get(), &out, 256, nullptr), kInvalidArgument);
  EXPECT_EQ(MaintainIndexesDIB(img.get(), &out, 256, palette), kOk);
}

}  // namespace
}  // namespace km
