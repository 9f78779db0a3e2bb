// The negative image on every depth.

#include "ToneTestUtil.h"
#include "imaging/tone/Tone.h"

namespace km {
namespace {

using test::Bgr;

const test::ToneOp kInvert = [](ProgressWindow p, const Dib* s, DibHandle* r) { return InvertDIB(p, s, r); };

TEST(ToneInvert, TrueColourPixelsAndPaddingLeftAlone) {
  DibHandle src = test::MakeRgb(3, 2, 200, 100, 0);
  std::fill(src->row(0) + 9, src->row(0) + 12, 0xCD);
  DibHandle out = test::RunOk(kInvert, *src);
  EXPECT_EQ(test::PixelBgr(*out, 2, 1), Bgr(255, 155, 55));
  EXPECT_EQ(out->row(0)[9], 0xCD);
  EXPECT_EQ(out->row(0)[11], 0xCD);
}

TEST(ToneInvert, GreyscaleStaysGreyscale) {
  DibHandle src = test::MakeGrey(5, 2, 10);
  test::SetPixel(*src, 4, 1, 255);
  DibHandle out = test::RunOk(kInvert, *src);
  EXPECT_TRUE(IsDIBGreyScaled(out.get()));
  EXPECT_EQ(test::Table(*out), test::Table(*src));
  EXPECT_EQ(test::GetPixel(*out, 0, 0), 245u);
  EXPECT_EQ(test::GetPixel(*out, 4, 1), 0u);
}

TEST(ToneInvert, PaletteImagesInvertTheirTable) {
  for (const int bits : {1, 4, 8}) {
    DibHandle src = test::MakePalette(9, 3, bits, {Bgr(0, 10, 255, 6), Bgr(128, 128, 128)});
    test::FillRandom(*src, 2);
    DibHandle out = test::RunOk(kInvert, *src);
    EXPECT_EQ(test::PixelBytes(*out), test::PixelBytes(*src)) << bits;
    EXPECT_EQ(out->colors()[0], Bgr(255, 245, 0, 6));
    EXPECT_EQ(out->colors()[1], Bgr(127, 127, 127));
  }
}

}  // namespace
}  // namespace km
