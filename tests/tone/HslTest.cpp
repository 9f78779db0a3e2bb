// Hue/saturation/lightness, colorize and greyscale: the integer colour model on 24-bit
// pixels and on the colour tables of greyscale and palette images.

#include "ToneTestUtil.h"
#include "imaging/tone/Tone.h"

namespace km {
namespace {

using test::Bgr;
using test::ToneOp;

ToneOp Hsl(int h, int s, int l) {
  return [=](ProgressWindow p, const Dib* src, DibHandle* r) { return AdjustHSLDIB(p, src, r, h, s, l); };
}
ToneOp Colorize(int h, int s) {
  return [=](ProgressWindow p, const Dib* src, DibHandle* r) { return ColorizeDIB(p, src, r, h, s); };
}
const ToneOp kGreyscale = [](ProgressWindow p, const Dib* s, DibHandle* r) { return GreyscaleDIB(p, s, r); };

struct ColourCase {
  const char* name;
  ToneOp op;
  RgbQuad in;
  RgbQuad out;
};

void PrintTo(const ColourCase& c, std::ostream* os) { *os << c.name; }

const ColourCase kColourCases[] = {
    // Red's hue 246 is capped at 240 and m1 rounds to 1.
    {"HslZeroRed", Hsl(0, 0, 0), Bgr(0, 0, 255), Bgr(34, 1, 255)},
    {"HslZeroGreen", Hsl(0, 0, 0), Bgr(0, 255, 0), Bgr(1, 255, 1)},
    {"HslZeroBlue", Hsl(0, 0, 0), Bgr(255, 0, 0), Bgr(255, 1, 1)},
    {"HslZeroMidGrey", Hsl(0, 0, 0), Bgr(128, 128, 128), Bgr(128, 128, 128)},
    {"HslZeroWhite", Hsl(0, 0, 0), Bgr(255, 255, 255), Bgr(255, 255, 255)},
    {"HslZeroBlack", Hsl(0, 0, 0), Bgr(0, 0, 0), Bgr(0, 0, 0)},
    // Lightness 192 takes the upper branch of m2: m2 255, m1 129, sextant 5, f 35.
    {"HslZeroLightRed", Hsl(0, 0, 0), Bgr(128, 128, 255), Bgr(145, 129, 255)},
    // Yellow's hue 41 doubles to green's 82.
    {"HslHueDoublesYellow", Hsl(100, 0, 0), Bgr(0, 255, 255), Bgr(1, 255, 1)},
    {"HslLightnessMinus100", Hsl(0, 0, -100), Bgr(10, 200, 90), Bgr(0, 0, 0)},
    {"HslSaturationMinus100", Hsl(0, -100, 0), Bgr(0, 0, 255), Bgr(128, 128, 128)},
    {"ColorizeMidGreyRed", Colorize(0, 255), Bgr(128, 128, 128), Bgr(1, 1, 255)},
    // Lightness (200 + 0 + 1) / 2 = 100.
    {"ColorizeNoSaturation", Colorize(100, 0), Bgr(0, 100, 200), Bgr(100, 100, 100)},
    // Hue 250 lies in the seventh sextant, which repeats the sixth with f = 4.
    {"ColorizeHue250", Colorize(250, 255), Bgr(128, 128, 128), Bgr(230, 1, 255)},
    {"ColorizeBlack", Colorize(40, 200), Bgr(0, 0, 0), Bgr(0, 0, 0)},
};

class ToneColourModel : public testing::TestWithParam<ColourCase> {};

TEST_P(ToneColourModel, TrueColourPixel) {
  const ColourCase& c = GetParam();
  DibHandle src = test::MakeRgb(3, 2, c.in.rgbRed, c.in.rgbGreen, c.in.rgbBlue);
  DibHandle out = test::RunOk(c.op, *src);
  ASSERT_NE(out, nullptr);
  for (int x = 0; x < 3; ++x) {
    EXPECT_EQ(test::PixelBgr(*out, x, 1), c.out);
  }
}

// Palette images of every depth, and greyscale images, keep their indices; only the
// table changes, with the reserved byte cleared.
TEST_P(ToneColourModel, ColourTableEntry) {
  const ColourCase& c = GetParam();
  for (const int bits : {1, 4, 8}) {
    RgbQuad in = c.in;
    in.rgbReserved = 3;
    DibHandle src = test::MakePalette(5, 2, bits, {Bgr(7, 8, 9), in});
    test::FillRandom(*src, 11);
    DibHandle out = test::RunOk(c.op, *src);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->colors()[1], c.out) << bits << " bits";
    EXPECT_EQ(test::PixelBytes(*out), test::PixelBytes(*src));
  }
}

INSTANTIATE_TEST_SUITE_P(Tone, ToneColourModel, testing::ValuesIn(kColourCases),
                         [](const testing::TestParamInfo<ColourCase>& info) { return info.param.name; });

TEST(ToneHsl, GreyscaleImageKeepsItsPixelsAndGetsANewTable) {
  DibHandle grey = test::MakeGrey(4, 3, 100);
  DibHandle out = test::RunOk(Hsl(0, 0, 50), *grey);
  EXPECT_EQ(test::PixelBytes(*out), test::PixelBytes(*grey));
  EXPECT_EQ(out->colors()[100], Bgr(150, 150, 150));
  EXPECT_EQ(out->colors()[200], Bgr(255, 255, 255));

  out = test::RunOk(Colorize(0, 255), *grey);
  EXPECT_EQ(test::PixelBytes(*out), test::PixelBytes(*grey));
  EXPECT_EQ(out->colors()[128], Bgr(1, 1, 255));
}

TEST(ToneHsl, RefusesValuesOutOfRange) {
  DibHandle src = test::MakeRgb(1, 1, 1, 2, 3);
  DibHandle out;
  EXPECT_EQ(AdjustHSLDIB(nullptr, src.get(), &out, 101, 0, 0), kInvalidArgument);
  EXPECT_EQ(AdjustHSLDIB(nullptr, src.get(), &out, 0, -101, 0), kInvalidArgument);
  EXPECT_EQ(AdjustHSLDIB(nullptr, src.get(), &out, 0, 0, 200), kInvalidArgument);
  EXPECT_EQ(ColorizeDIB(nullptr, src.get(), &out, 256, 0), kInvalidArgument);
  EXPECT_EQ(ColorizeDIB(nullptr, src.get(), &out, 0, -1), kInvalidArgument);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(ColorizeDIB(nullptr, src.get(), &out, 255, 255), kOk);
}

TEST(ToneGreyscale, TrueColourBecomesAnEightBitGreyImage) {
  DibHandle src = test::MakeDib(5, 2, 24);
  const int pixels[][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {50, 100, 200}, {255, 255, 255}};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 5; ++x) {
      test::SetBgr(*src, x, y, pixels[x][0], pixels[x][1], pixels[x][2]);
    }
  }
  BitmapInfoHeader h = src->header();
  h.biXPelsPerMeter = 2835;
  src->setHeader(h);

  DibHandle out = test::RunOk(kGreyscale, *src);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->bitCount(), 8);
  EXPECT_EQ(out->header().biClrUsed, 256u);
  EXPECT_EQ(out->header().biClrImportant, 256u);
  EXPECT_EQ(out->header().biSizeImage, 16u);  // 5 bytes padded to 8, two rows
  EXPECT_EQ(out->header().biXPelsPerMeter, 2835);
  EXPECT_TRUE(IsDIBGreyScaled(out.get()));
  EXPECT_EQ(out->size(), 40u + 1024u + 16u);
  // Blue, green and red primaries; (11*50 + 59*100 + 30*200) / 100 = 124.
  const std::uint32_t expected[] = {28, 150, 76, 124, 255};
  for (int x = 0; x < 5; ++x) {
    EXPECT_EQ(test::GetPixel(*out, x, 0), expected[x]) << x;
  }
}

TEST(ToneGreyscale, PaletteImagesKeepDepthAndIndicesWithGreyedTable) {
  for (const int bits : {1, 4, 8}) {
    DibHandle src = test::MakePalette(7, 3, bits, {Bgr(50, 100, 200, 7), Bgr(255, 0, 0, 0)});
    test::FillRandom(*src, 5);
    DibHandle out = test::RunOk(kGreyscale, *src);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->bitCount(), bits);
    EXPECT_EQ(test::PixelBytes(*out), test::PixelBytes(*src));
    EXPECT_EQ(out->colors()[0], Bgr(124, 124, 124, 7)) << "the reserved byte stays";
    EXPECT_EQ(out->colors()[1], Bgr(28, 28, 28));
  }
  DibHandle grey = test::MakeGrey(3, 3, 42);
  DibHandle out = test::RunOk(kGreyscale, *grey);
  EXPECT_EQ(test::Bytes(*out), test::Bytes(*grey));
}

}  // namespace
}  // namespace km

namespace km {
namespace {

// 24-bit pixels go through tables built per image; colour-table entries through the
// colour model one colour at a time. Both must give every colour the same result: all
// triples of a set holding the extremes, ties and both sides of 128, plus random ones.
TEST(ToneHsl, PixelsAndColourTablesAgreeOnEveryColour) {
  const int levels[] = {0, 1, 2, 3, 4, 7, 31, 63, 64, 100, 127, 128, 129, 150, 191, 192, 200, 230, 250, 251,
                        252, 253, 254, 255};
  std::vector<RgbQuad> colours;
  for (int b : levels) {
    for (int g : levels) {
      for (int r : levels) {
        colours.push_back(test::Bgr(b, g, r));
      }
    }
  }
  std::uint32_t s = 99;
  while (colours.size() % 256 != 0 || colours.size() < 20000) {
    s = s * 1664525u + 1013904223u;
    colours.push_back(test::Bgr(static_cast<int>(s >> 24), static_cast<int>((s >> 16) & 0xFF),
                                static_cast<int>((s >> 8) & 0xFF)));
  }
  DibHandle pixels = test::MakeRgb(256, static_cast<int>(colours.size() / 256), 0, 0, 0);
  for (std::size_t i = 0; i < colours.size(); ++i) {
    test::SetBgr(*pixels, static_cast<int>(i % 256), static_cast<int>(i / 256), colours[i].rgbBlue,
                 colours[i].rgbGreen, colours[i].rgbRed);
  }
  for (const auto& [h, sat, l] : {std::tuple{0, 0, 0}, std::tuple{100, 0, 0}, std::tuple{-37, 20, -10},
                                  std::tuple{10, 100, 45}, std::tuple{-100, -100, 100}, std::tuple{55, -20, -100}}) {
    SCOPED_TRACE("hsl " + std::to_string(h) + " " + std::to_string(sat) + " " + std::to_string(l));
    const DibHandle outPixels = test::RunOk(Hsl(h, sat, l), *pixels);
    ASSERT_NE(outPixels, nullptr);
    for (std::size_t first = 0; first < colours.size(); first += 256) {
      const std::vector<RgbQuad> part(colours.begin() + static_cast<std::ptrdiff_t>(first),
                                      colours.begin() + static_cast<std::ptrdiff_t>(first + 256));
      const DibHandle table = test::MakePalette(1, 1, 8, part);
      const DibHandle outTable = test::RunOk(Hsl(h, sat, l), *table);
      ASSERT_NE(outTable, nullptr);
      for (int i = 0; i < 256; ++i) {
        const std::size_t at = first + static_cast<std::size_t>(i);
        ASSERT_EQ(test::PixelBgr(*outPixels, static_cast<int>(at % 256), static_cast<int>(at / 256)),
                  outTable->colors()[i])
            << "colour " << at;
      }
    }
  }
}

}  // namespace
}  // namespace km
