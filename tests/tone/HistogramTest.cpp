// Histogram equalize and stretch on greyscale pixel values, 24-bit luma, and the colour
// tables of 8-, 4- and 1-bit palette images weighted by use.

#include "ToneTestUtil.h"
#include "imaging/tone/Tone.h"

namespace km {
namespace {

using test::Bgr;
using test::ToneOp;

const ToneOp kEqualize = [](ProgressWindow p, const Dib* s, DibHandle* r) { return EqualizeDIB(p, s, r); };
const ToneOp kStretch = [](ProgressWindow p, const Dib* s, DibHandle* r) { return StretchHistogramDIB(p, s, r); };

DibHandle GreyRow(std::initializer_list<int> values, int height = 1) {
  DibHandle dib = test::MakeGrey(static_cast<int>(values.size()), height);
  for (int y = 0; y < height; ++y) {
    int x = 0;
    for (const int v : values) {
      test::SetPixel(*dib, x++, y, v);
    }
  }
  return dib;
}

std::vector<std::uint32_t> Row(const Dib& dib, int y = 0) {
  std::vector<std::uint32_t> out;
  for (int x = 0; x < dib.width(); ++x) {
    out.push_back(test::GetPixel(dib, x, y));
  }
  return out;
}

TEST(ToneEqualize, GreyscaleHalfBlackHalfWhite) {
  DibHandle src = GreyRow({0, 255, 255, 0}, 3);
  DibHandle out = test::RunOk(kEqualize, *src);
  EXPECT_EQ(Row(*out, 2), (std::vector<std::uint32_t>{127, 255, 255, 127}));
  EXPECT_EQ(test::Table(*out), test::Table(*src));
}

TEST(ToneStretch, GreyscaleRangeAndSingleValue) {
  DibHandle src = GreyRow({50, 125, 200, 50}, 2);
  DibHandle out = test::RunOk(kStretch, *src);
  EXPECT_EQ(Row(*out, 1), (std::vector<std::uint32_t>{0, 127, 255, 0}));
  EXPECT_EQ(test::Table(*out), test::Table(*src));

  src = GreyRow({77, 77, 77});
  out = test::RunOk(kStretch, *src);
  EXPECT_EQ(Row(*out), (std::vector<std::uint32_t>{0, 0, 0}));
}

// Y = 59 for (0, 0, 200) and 0 for black, so the table gives 255 and 127. The colour is
// rebuilt from Cb = -34 and Cr = 100, with shifts that round toward minus infinity.
TEST(ToneEqualize, TrueColourKeepsTheColourDifferences) {
  DibHandle src = test::MakeDib(2, 2, 24);
  for (int y = 0; y < 2; ++y) {
    test::SetBgr(*src, 0, y, 0, 0, 200);
  }
  DibHandle out = test::RunOk(kEqualize, *src);
  EXPECT_EQ(test::PixelBgr(*out, 0, 0), Bgr(196, 198, 255));
  EXPECT_EQ(test::PixelBgr(*out, 1, 1), Bgr(127, 127, 127));
}

TEST(ToneStretch, TrueColourGreys) {
  DibHandle src = test::MakeDib(3, 1, 24);
  test::SetBgr(*src, 0, 0, 50, 50, 50);
  test::SetBgr(*src, 1, 0, 125, 125, 125);
  test::SetBgr(*src, 2, 0, 200, 200, 200);
  DibHandle out = test::RunOk(kStretch, *src);
  EXPECT_EQ(test::PixelBgr(*out, 0, 0), Bgr(0, 0, 0));
  EXPECT_EQ(test::PixelBgr(*out, 1, 0), Bgr(127, 127, 127));
  EXPECT_EQ(test::PixelBgr(*out, 2, 0), Bgr(255, 255, 255));
}

// Only the colours the pixels use shape the table; every entry is then remapped.
TEST(ToneStretch, EightBitPaletteIgnoresUnusedColours) {
  DibHandle src = test::MakePalette(3, 2, 8,
                                    {Bgr(50, 50, 50, 4), Bgr(200, 200, 200), Bgr(255, 255, 255), Bgr(0, 0, 0),
                                     Bgr(125, 125, 125)});
  for (int y = 0; y < 2; ++y) {
    test::SetPixel(*src, 0, y, 0);
    test::SetPixel(*src, 1, y, 1);
    test::SetPixel(*src, 2, y, 4);
  }
  DibHandle out = test::RunOk(kStretch, *src);
  EXPECT_EQ(test::PixelBytes(*out), test::PixelBytes(*src));
  EXPECT_EQ(test::Table(*out), (std::vector<RgbQuad>{Bgr(0, 0, 0), Bgr(255, 255, 255), Bgr(255, 255, 255),
                                                     Bgr(0, 0, 0), Bgr(127, 127, 127)}));
}

// Pixels 1, 2, 1 per row read as nibbles, high first: luma 100 four times, 255 twice.
// The unused red (luma 76 -> 0) comes back as (0, 0, 173).
TEST(ToneEqualize, FourBitPaletteCountsNibbles) {
  DibHandle src =
      test::MakePalette(3, 2, 4, {Bgr(0, 0, 0), Bgr(100, 100, 100), Bgr(255, 255, 255), Bgr(0, 0, 255)});
  for (int y = 0; y < 2; ++y) {
    test::SetPixel(*src, 0, y, 1);
    test::SetPixel(*src, 1, y, 2);
    test::SetPixel(*src, 2, y, 1);
  }
  DibHandle out = test::RunOk(kEqualize, *src);
  EXPECT_EQ(test::PixelBytes(*out), test::PixelBytes(*src));
  EXPECT_EQ(test::Table(*out), (std::vector<RgbQuad>{Bgr(0, 0, 0), Bgr(170, 170, 170), Bgr(255, 255, 255),
                                                     Bgr(0, 0, 173)}));
}

// Pixels 1, 0, 0 per row read as bits, high first: two white of six.
TEST(ToneEqualize, OneBitPaletteCountsBits) {
  DibHandle src = test::MakePalette(3, 2, 1, {Bgr(0, 0, 0, 9), Bgr(255, 255, 255, 9)});
  for (int y = 0; y < 2; ++y) {
    test::SetPixel(*src, 0, y, 1);
  }
  DibHandle out = test::RunOk(kEqualize, *src);
  EXPECT_EQ(test::PixelBytes(*out), test::PixelBytes(*src));
  EXPECT_EQ(test::Table(*out), (std::vector<RgbQuad>{Bgr(170, 170, 170), Bgr(255, 255, 255)}));
}

// 17,220,000 pixels: the cumulative count times 255 no longer fits 32 bits, yet the
// table stays exact (254 for the black; 32-bit arithmetic would give 5).
TEST(ToneEqualize, LargeImageUsesWideArithmetic) {
  DibHandle src = test::MakeGrey(4200, 4100, 0);
  test::SetPixel(*src, 17, 33, 255);
  DibHandle out;
  ASSERT_EQ(EqualizeDIB(nullptr, src.get(), &out), kOk);
  EXPECT_EQ(test::GetPixel(*out, 0, 0), 254u);
  EXPECT_EQ(test::GetPixel(*out, 17, 33), 255u);
}

// Indices past the end of a short table name no colour: they are not counted, and
// nothing is read beyond the table.
TEST(ToneStretch, IndicesPastTheTableAreNotCounted) {
  DibHandle src = test::MakePalette(4, 2, 8, {Bgr(50, 50, 50), Bgr(200, 200, 200)});
  test::SetPixel(*src, 0, 0, 1);
  test::SetPixel(*src, 1, 0, 250);
  test::SetPixel(*src, 2, 0, 2);
  DibHandle out = test::RunOk(kStretch, *src);
  EXPECT_EQ(test::PixelBytes(*out), test::PixelBytes(*src));
  EXPECT_EQ(test::Table(*out), (std::vector<RgbQuad>{Bgr(0, 0, 0), Bgr(255, 255, 255)}));
}

TEST(ToneHistogram, ProgressOfBothPasses) {
  DibHandle grey = test::MakeGrey(3, 4, 9);
  test::RecordingSink sink;
  DibHandle out;
  ASSERT_EQ(EqualizeDIB(&sink, grey.get(), &out), kOk);
  EXPECT_EQ(sink.reports, (std::vector<int>{0, 12, 25, 37, 50, 62, 75, 87}));

  DibHandle pal = test::MakePalette(3, 4, 4, {Bgr(1, 2, 3), Bgr(4, 5, 6)});
  test::RecordingSink stretch;
  ASSERT_EQ(StretchHistogramDIB(&stretch, pal.get(), &out), kOk);
  EXPECT_EQ(stretch.reports, (std::vector<int>{0, 22, 45, 67, 100}));
  test::RecordingSink equalize;
  ASSERT_EQ(EqualizeDIB(&equalize, pal.get(), &out), kOk);
  EXPECT_EQ(equalize.reports, (std::vector<int>{0, 25, 50, 75}));
}

TEST(ToneHistogram, CancelInTheSecondPassLeavesNoResult) {
  DibHandle src = test::MakeRgb(3, 4, 1, 2, 3);
  test::RecordingSink sink(6);
  DibHandle out = test::MakeRgb(1, 1, 0, 0, 0);
  EXPECT_EQ(StretchHistogramDIB(&sink, src.get(), &out), kCancelled);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(sink.reports.back(), 62);
}

}  // namespace
}  // namespace km
