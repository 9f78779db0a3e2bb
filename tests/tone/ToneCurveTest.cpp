// The per-channel tone operations, checked value by value on every depth: 24-bit
// pixels, 8-bit greyscale pixel values, and the colour tables of 8-, 4- and 1-bit
// palette images (whose indices must stay).

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "ToneTestUtil.h"
#include "imaging/tone/Tone.h"

namespace km {
namespace {

using test::Bgr;
using test::ToneOp;
using Pairs = std::vector<std::pair<int, int>>;

struct MapCase {
  const char* name;
  ToneOp op;
  Pairs pairs;  // input channel value -> expected output value
};

void PrintTo(const MapCase& c, std::ostream* os) { *os << c.name; }

enum class Depth { Rgb24, Grey8, Colour8, Colour4, Colour1 };

const char* DepthName(Depth d) {
  switch (d) {
    case Depth::Rgb24: return "Rgb24";
    case Depth::Grey8: return "Grey8";
    case Depth::Colour8: return "Colour8";
    case Depth::Colour4: return "Colour4";
    default: return "Colour1";
  }
}

void PrintTo(Depth d, std::ostream* os) { *os << DepthName(d); }

ToneOp Curve(int value, ToneCurveKind kind) {
  return [=](ProgressWindow p, const Dib* s, DibHandle* r) { return ToneCurveDIB(p, s, r, value, kind); };
}
ToneOp Gamma(float g) {
  return [=](ProgressWindow p, const Dib* s, DibHandle* r) { return GammaDIB(p, s, r, g); };
}
ToneOp Hms(int h, int m, int s) {
  return [=](ProgressWindow p, const Dib* src, DibHandle* r) {
    return HighlightMidtoneShadowDIB(p, src, r, h, m, s);
  };
}
ToneOp Posterize(int bits) {
  return [=](ProgressWindow p, const Dib* s, DibHandle* r) { return PosterizeDIB(p, s, r, bits); };
}

Pairs Every(int (*f)(int)) {
  Pairs out;
  for (int i = 0; i < 256; ++i) {
    out.emplace_back(i, f(i));
  }
  return out;
}

const MapCase kCases[] = {
    {"Brightness100", Curve(100, ToneCurveKind::Brightness), {{0, 255}, {1, 255}, {128, 255}, {255, 255}}},
    {"BrightnessMinus100", Curve(-100, ToneCurveKind::Brightness), {{0, 0}, {128, 0}, {254, 0}, {255, 0}}},
    // -2.55 truncates toward zero to -2.
    {"BrightnessMinus1", Curve(-1, ToneCurveKind::Brightness), {{0, 0}, {1, 0}, {2, 0}, {3, 1}, {100, 98}, {255, 253}}},
    {"Brightness50", Curve(50, ToneCurveKind::Brightness), {{0, 127}, {100, 227}, {128, 255}, {255, 255}}},
    {"Contrast0", Curve(0, ToneCurveKind::Contrast),
     Every([](int i) { return i == 0 ? 0 : (i == 255 ? 255 : i - 1); })},
    {"Contrast100", Curve(100, ToneCurveKind::Contrast), Every([](int i) { return i < 128 ? 0 : 255; })},
    // Clamped to 100 before use.
    {"Contrast300", Curve(300, ToneCurveKind::Contrast), {{127, 0}, {128, 255}}},
    {"ContrastMinus100", Curve(-100, ToneCurveKind::Contrast),
     Every([](int i) { return i == 255 ? 129 : 128; })},
    // k = 63, h = 192, step 255/129 summed from 0 at entry 64.
    {"Contrast50", Curve(50, ToneCurveKind::Contrast),
     {{0, 0}, {63, 0}, {64, 0}, {65, 1}, {66, 3}, {191, 251}, {192, 255}, {255, 255}}},
    // m = 63, step 129/255 summed from 64.0.
    {"ContrastMinus50", Curve(-50, ToneCurveKind::Contrast), {{0, 64}, {1, 64}, {2, 65}, {4, 66}}},
    {"Solarize128", Curve(128, ToneCurveKind::Solarize), {{0, 0}, {127, 127}, {128, 128}, {129, 126}, {255, 0}}},
    {"Gamma2", Gamma(2.0f), {{0, 0}, {1, 16}, {64, 128}, {255, 255}}},
    {"Gamma1", Gamma(1.0f), Every([](int i) { return i; })},
    {"GammaHalf", Gamma(0.5f), {{0, 0}, {128, 64}, {255, 255}}},
    // 255^(1 - 10000) underflows while i^10000 overflows; the table is still exact.
    {"GammaFloor", Gamma(0.0001f), {{0, 0}, {2, 0}, {254, 0}, {255, 255}}},
    {"HmsIdentity", Hms(100, 50, 0), Every([](int i) { return i; })},
    {"Highlight80", Hms(80, 50, 0), {{0, 0}, {1, 1}, {100, 125}, {203, 254}, {204, 255}, {255, 255}}},
    {"Highlight0", Hms(0, 50, 0), {{0, 0}, {1, 255}, {255, 255}}},
    // The midtone test is made on the highlight result: 100 -> 125 -> 145; 76 -> 95 and
    // 128 -> 160 stay.
    {"Midtone70", Hms(80, 70, 0), {{76, 95}, {100, 145}, {120, 170}, {128, 160}, {255, 255}}},
    // s = 51: (t - 51) * 256 / 205; entries 0 and 255 are left.
    {"Shadow20", Hms(100, 50, 20), {{0, 0}, {50, 0}, {51, 0}, {100, 61}, {254, 253}, {255, 255}}},
    {"Posterize1", Posterize(1), Every([](int i) { return i < 128 ? 0 : 255; })},
    {"Posterize2", Posterize(2), Every([](int i) { return (i >> 6) * 85; })},
    {"Posterize3", Posterize(3), {{0, 0}, {31, 0}, {32, 36}, {224, 255}, {255, 255}}},
    {"Posterize8", Posterize(8), Every([](int i) { return i; })},
};

class ToneCurveMap : public testing::TestWithParam<std::tuple<MapCase, Depth>> {};

// Channel values are rotated across blue, green and red so that a mixed-up channel shows.
RgbQuad Rotated(const Pairs& pairs, std::size_t j, bool expected) {
  const std::size_t n = pairs.size();
  auto v = [&](std::size_t k) { return expected ? pairs[k % n].second : pairs[k % n].first; };
  return Bgr(v(j), v(j + 1), v(j + 2), expected ? 0 : 9);
}

TEST_P(ToneCurveMap, MapsEveryChannelValue) {
  const auto& [c, depth] = GetParam();
  const Pairs& pairs = c.pairs;
  const int n = static_cast<int>(pairs.size());
  switch (depth) {
    case Depth::Rgb24: {
      DibHandle src = test::MakeDib(n, 2, 24);
      for (int x = 0; x < n; ++x) {
        for (int y = 0; y < 2; ++y) {
          const RgbQuad q = Rotated(pairs, x, false);
          test::SetBgr(*src, x, y, q.rgbBlue, q.rgbGreen, q.rgbRed);
        }
      }
      const std::size_t used = 3u * n;
      for (int y = 0; y < 2; ++y) {
        std::fill(src->row(y) + used, src->row(y) + src->stride(), 0xAB);
      }
      DibHandle out = test::RunOk(c.op, *src);
      ASSERT_NE(out, nullptr);
      for (int x = 0; x < n; ++x) {
        EXPECT_EQ(test::PixelBgr(*out, x, 1), Rotated(pairs, x, true)) << "pixel " << x;
      }
      for (int y = 0; y < 2; ++y) {
        for (std::size_t i = used; i < out->stride(); ++i) {
          EXPECT_EQ(out->row(y)[i], 0xAB) << "padding";
        }
      }
      break;
    }
    case Depth::Grey8: {
      DibHandle src = test::MakeGrey(n, 2);
      for (int x = 0; x < n; ++x) {
        test::SetPixel(*src, x, 0, pairs[x].first);
        test::SetPixel(*src, x, 1, pairs[x].first);
      }
      DibHandle out = test::RunOk(c.op, *src);
      ASSERT_NE(out, nullptr);
      EXPECT_EQ(test::Table(*out), test::Table(*src)) << "a greyscale image keeps its table";
      for (int x = 0; x < n; ++x) {
        EXPECT_EQ(test::GetPixel(*out, x, 1), static_cast<std::uint32_t>(pairs[x].second)) << "value " << pairs[x].first;
      }
      break;
    }
    default: {
      const int bits = depth == Depth::Colour8 ? 8 : (depth == Depth::Colour4 ? 4 : 1);
      const int chunk = 1 << bits;
      for (int start = 0; start < n; start += chunk) {
        const int count = std::min(chunk, n - start);
        std::vector<RgbQuad> entries;
        for (int k = 0; k < count; ++k) {
          entries.push_back(Rotated(pairs, start + k, false));
        }
        DibHandle src = test::MakePalette(5, 3, bits, entries);
        test::FillRandom(*src, 7);
        DibHandle out = test::RunOk(c.op, *src);
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(test::PixelBytes(*out), test::PixelBytes(*src)) << "indices must stay";
        for (int k = 0; k < count; ++k) {
          EXPECT_EQ(out->colors()[k], Rotated(pairs, start + k, true)) << "entry " << start + k;
        }
      }
      break;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Tone, ToneCurveMap,
    testing::Combine(testing::ValuesIn(kCases),
                     testing::Values(Depth::Rgb24, Depth::Grey8, Depth::Colour8, Depth::Colour4, Depth::Colour1)),
    [](const testing::TestParamInfo<ToneCurveMap::ParamType>& info) {
      return std::string(std::get<0>(info.param).name) + "_" + DepthName(std::get<1>(info.param));
    });

// Values arrive as 16-bit fields: 65535 is -1 and 65537 is 1.
TEST(ToneCurve, ParametersAreSixteenBitValues) {
  DibHandle src = test::MakeGrey(2, 1, 100);
  DibHandle out = test::RunOk(
      [](ProgressWindow p, const Dib* s, DibHandle* r) { return ToneCurveDIB(p, s, r, 65535, ToneCurveKind::Brightness); },
      *src);
  EXPECT_EQ(test::GetPixel(*out, 0, 0), 98u);
  out = test::RunOk([](ProgressWindow p, const Dib* s, DibHandle* r) { return PosterizeDIB(p, s, r, 65537); }, *src);
  EXPECT_EQ(test::GetPixel(*out, 1, 0), 0u);
}

TEST(ToneCurve, RefusesBadGammaAndPosterizeBitsWithoutAResult) {
  DibHandle src = test::MakeRgb(2, 2, 10, 20, 30);
  for (const float g : {0.0f, -0.0f, 0.00009f, -1.0f, std::numeric_limits<float>::quiet_NaN(),
                        -std::numeric_limits<float>::infinity()}) {
    DibHandle out = test::MakeRgb(1, 1, 0, 0, 0);
    EXPECT_EQ(GammaDIB(nullptr, src.get(), &out, g), kInvalidArgument) << g;
    EXPECT_EQ(out, nullptr);
  }
  for (const int bits : {0, -1, 9, 16}) {
    DibHandle out;
    EXPECT_EQ(PosterizeDIB(nullptr, src.get(), &out, bits), kInvalidArgument) << bits;
    EXPECT_EQ(out, nullptr);
  }
}

// Red/green/blue has a percentage per channel and no greyscale branch.
TEST(ToneRgb, ScalesEachChannelOfATrueColourPixel) {
  DibHandle src = test::MakeRgb(3, 1, 200, 20, 10);
  auto rgb = [](int r, int g, int b) {
    return [=](ProgressWindow p, const Dib* s, DibHandle* o) { return AdjustRGBDIB(p, s, o, r, g, b); };
  };
  DibHandle out = test::RunOk(rgb(50, 0, 0), *src);
  EXPECT_EQ(test::PixelBgr(*out, 2, 0), Bgr(10, 20, 255));  // 300 clamped
  out = test::RunOk(rgb(-50, 100, -100), *src);
  EXPECT_EQ(test::PixelBgr(*out, 0, 0), Bgr(0, 40, 100));
  out = test::RunOk(rgb(-1, 0, 33), *src);
  EXPECT_EQ(test::PixelBgr(*out, 1, 0), Bgr(13, 20, 198));  // 10 + 330/100; 200 - 2
}

TEST(ToneRgb, ChangesTheTableOfGreyscaleAndPaletteImages) {
  DibHandle grey = test::MakeGrey(4, 2, 100);
  DibHandle out = test::RunOk(
      [](ProgressWindow p, const Dib* s, DibHandle* o) { return AdjustRGBDIB(p, s, o, 50, 0, -50); }, *grey);
  EXPECT_EQ(test::PixelBytes(*out).front(), 100) << "indices stay";
  EXPECT_EQ(test::PixelBytes(*out).size(), test::PixelBytes(*grey).size());
  EXPECT_EQ(out->colors()[100], Bgr(50, 100, 150));
  EXPECT_EQ(out->colors()[200], Bgr(100, 200, 255));

  DibHandle pal = test::MakePalette(3, 3, 4, {Bgr(10, 20, 200, 5), Bgr(255, 255, 255, 5)});
  test::FillRandom(*pal, 3);
  out = test::RunOk(
      [](ProgressWindow p, const Dib* s, DibHandle* o) { return AdjustRGBDIB(p, s, o, 50, 0, 0); }, *pal);
  EXPECT_EQ(test::PixelBytes(*out), test::PixelBytes(*pal));
  EXPECT_EQ(out->colors()[0], Bgr(10, 20, 255));
  EXPECT_EQ(out->colors()[1], Bgr(255, 255, 255));
}

TEST(ToneRgb, RefusesPercentagesOutsideTheRange) {
  DibHandle src = test::MakeRgb(1, 1, 1, 2, 3);
  const int bad[][3] = {{101, 0, 0}, {0, -101, 0}, {0, 0, 1000}};
  for (const auto& v : bad) {
    DibHandle out;
    EXPECT_EQ(AdjustRGBDIB(nullptr, src.get(), &out, v[0], v[1], v[2]), kInvalidArgument);
    EXPECT_EQ(out, nullptr);
  }
}

// A grey ramp of fewer than 256 entries is changed through its table, so no pixel value
// can end up past the end of it.
TEST(ToneCurve, ShortGreyRampChangesItsTableNotItsPixels) {
  std::vector<RgbQuad> ramp;
  for (int i = 0; i < 16; ++i) {
    ramp.push_back(Bgr(i, i, i));
  }
  DibHandle src = test::MakePalette(4, 1, 8, ramp);
  test::SetPixel(*src, 1, 0, 15);
  DibHandle out = test::RunOk(
      [](ProgressWindow p, const Dib* s, DibHandle* o) {
        return ToneCurveDIB(p, s, o, 100, ToneCurveKind::Brightness);
      },
      *src);
  EXPECT_EQ(test::PixelBytes(*out), test::PixelBytes(*src));
  EXPECT_EQ(out->colors()[15], Bgr(255, 255, 255));
}

}  // namespace
}  // namespace km
