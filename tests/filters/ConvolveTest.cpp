// Convolution kernels: worked values, refusals, and every kernel against a direct
// evaluation of its definition on random images.

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "FilterTestUtil.h"
#include "imaging/filters/Filters.h"
#include "support/DibTestUtil.h"
#include "support/LoopKinds.h"

namespace km::test {
namespace {

// The kernel table as the filters are defined: size, divisor, bias, coefficients with
// row i = 0 first. Row i meets stored row r + i - c, column j meets column x + j - c.
struct KernelDef {
  const char* name;
  int code;
  int size;
  int divisor;
  int bias;
  std::vector<int> k;
};

const KernelDef kDefs[] = {
    {"EdgeEnhance", 50, 3, -1, 0, {0, 1, 0, 1, -5, 1, 0, 1, 0}},
    {"EdgeEnhanceMore", 51, 3, 1, 0, {-1, -1, -1, -1, 9, -1, -1, -1, -1}},
    {"FindEdges", 61, 3, 1, 0, {-1, -1, -1, -1, 8, -1, -1, -1, -1}},
    {"FindHorizontalEdges", 62, 3, 1, 0, {-1, -1, -1, 0, 0, 0, 1, 1, 1}},
    {"FindVerticalEdges", 63, 3, 1, 0, {-1, 0, 1, -1, 0, 1, -1, 0, 1}},
    {"TraceContour", 40, 3, 1, 255, {-1, -1, -1, -1, 9, -1, -1, -1, -1}},
    {"Blur", 10, 5, 44, 0, {1, 1, 2, 1, 1, 1, 2, 2, 2, 1, 2, 2, 8, 2, 2, 1, 2, 2, 2, 1, 1, 1, 2, 1, 1}},
    {"BlurMore", 11, 5, 25, 0, std::vector<int>(25, 1)},
    {"Soften", 30, 3, 97, 0, {6, 12, 6, 12, 25, 12, 6, 12, 6}},
    {"SoftenMore", 31, 3, 9, 0, std::vector<int>(9, 1)},
    {"Sharpen", 20, 3, 6, 0, {0, -1, 0, -1, 10, -1, 0, -1, 0}},
    {"SharpenMore", 21, 5, 32, 0, {-1, -1, -1, -1, -1, -1, -2, -2, -2, -1, -1, -2, 64, -2, -1,
                                   -1, -2, -2, -2, -1, -1, -1, -1, -1, -1}},
    {"Emboss", 1, 3, 1, 128, {-1, 0, 0, 0, 0, 0, 0, 0, 1}},
};

void PrintTo(const KernelDef& def, std::ostream* os) { *os << def.name; }

int ClampIndex(int v, int n) { return v < 0 ? 0 : (v >= n ? n - 1 : v); }

// The definition evaluated pixel by pixel with edge replication, nothing precomputed.
DibHandle Reference(const Dib& src, const KernelDef& def) {
  DibHandle out;
  EXPECT_EQ(CopyDIB(&src, &out), kOk);
  const int bpp = BytesPerPixel(src);
  const int c = def.size / 2;
  for (int r = 0; r < src.height(); ++r) {
    for (int x = 0; x < src.width(); ++x) {
      for (int ch = 0; ch < bpp; ++ch) {
        int sum = 0;
        for (int i = 0; i < def.size; ++i) {
          for (int j = 0; j < def.size; ++j) {
            const int yy = ClampIndex(r + i - c, src.height());
            const int xx = ClampIndex(x + j - c, src.width());
            sum += def.k[static_cast<std::size_t>(i * def.size + j)] * ByteAt(src, yy, xx * bpp + ch);
          }
        }
        SetByte(*out, r, x * bpp + ch, static_cast<std::uint8_t>(Clamp255(sum / def.divisor + def.bias)));
      }
    }
  }
  return out;
}

DibHandle MakeImage(int width, int height, int bits) {
  return bits == 24 ? MakeRgb(width, height, 0, 0, 0) : MakeGrey(width, height);
}

using KernelCase = std::tuple<KernelDef, int>;

class EveryKernel : public ::testing::TestWithParam<KernelCase> {};

TEST_P(EveryKernel, MatchesDirectEvaluation) {
  const auto& [def, bits] = GetParam();
  // Full-range pixels exercise the clamps, a narrow band the arithmetic in between.
  // Also one- and two-column images, where both edge copies meet.
  for (const auto& [w, h, lo, hi] : {std::tuple{7, 6, 0, 255}, std::tuple{7, 6, 96, 160},
                                     std::tuple{1, 5, 0, 255}, std::tuple{2, 5, 96, 160}}) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " values " + std::to_string(lo) + ".." +
                 std::to_string(hi));
    DibHandle src = MakeImage(w, h, bits);
    FillBand(*src, static_cast<std::uint32_t>(def.code * 31 + bits + lo + w), lo, hi);
    DibHandle before;
    ASSERT_EQ(CopyDIB(src.get(), &before), kOk);

    DibHandle out;
    ASSERT_EQ(ConvolveDIB(nullptr, src.get(), &out, bits, def.code), kOk);
    ASSERT_TRUE(out);
    DibHandle want = Reference(*src, def);
    std::string why;
    EXPECT_TRUE(SamePixels(*out, *want, &why)) << why;
    // Header and colour table travel unchanged; the source is left alone.
    EXPECT_EQ(std::memcmp(out->data(), src->data(), src->pixelOffset()), 0);
    EXPECT_TRUE(SamePixels(*src, *before, &why)) << why;
  }
}

// Rows long enough for whole vectors plus a tail, on the wide and the plain loops.
TEST_P(EveryKernel, LongRowsOnBothLoopKindsMatchDirectEvaluation) {
  const auto& [def, bits] = GetParam();
  for (const auto& [w, h] : {std::pair{67, 6}, std::pair{33, 5}, std::pair{130, 7}}) {
    DibHandle src = MakeImage(w, h, bits);
    FillBand(*src, static_cast<std::uint32_t>(def.code * 7 + bits + w), 0, 255);
    const DibHandle want = Reference(*src, def);
    ForBothLoopKinds([&](bool wide) {
      SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " " + LoopKindName(wide));
      DibHandle out;
      ASSERT_EQ(ConvolveDIB(nullptr, src.get(), &out, bits, def.code), kOk);
      std::string why;
      EXPECT_TRUE(SamePixels(*out, *want, &why)) << why;
    });
  }
}

INSTANTIATE_TEST_SUITE_P(Kernels, EveryKernel,
                         ::testing::Combine(::testing::ValuesIn(kDefs), ::testing::Values(8, 24)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) + "_" +
                                  std::to_string(std::get<1>(info.param));
                         });

// Flat images: Edge Enhance gives v (-v / -1), Find Edges 0, Trace Contour 255 (v + 255
// clamped), Emboss 128.
TEST(ConvolveFlat, KnownValues) {
  for (int bits : {8, 24}) {
    for (int v : {0, 1, 77, 200, 255}) {
      DibHandle src = MakeImage(5, 4, bits);
      FillBytes(*src, static_cast<std::uint8_t>(v));
      for (const auto& [code, want] : {std::pair{kKernelEdgeEnhance, v}, std::pair{kKernelFindEdges, 0},
                                       std::pair{kKernelTraceContour, 255}, std::pair{kKernelEmboss, 128}}) {
        DibHandle out;
        ASSERT_EQ(ConvolveDIB(nullptr, src.get(), &out, bits, code), kOk);
        for (int y = 0; y < 4; ++y) {
          for (int b = 0; b < 5 * bits / 8; ++b) {
            ASSERT_EQ(ByteAt(*out, y, b), want) << "code " << code << " v " << v << " bits " << bits;
          }
        }
      }
    }
  }
}

// The last kernel row (+1) meets the row above, so a bright top over a dark bottom lights
// up both rows along the boundary and nothing else.
TEST(ConvolveOrientation, FindHorizontalEdgesDarkBottomBrightTop) {
  DibHandle src = MakeGrey(4, 6, 0);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 4; ++x) {
      SetByte(*src, y, x, y < 3 ? 10 : 200);  // stored rows 0..2 are the bottom half
    }
  }
  DibHandle out;
  ASSERT_EQ(ConvolveDIB(nullptr, src.get(), &out, 8, kKernelFindHorizontalEdges), kOk);
  const int want[6] = {0, 0, 255, 255, 0, 0};
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(ByteAt(*out, y, x), want[y]) << "stored row " << y;
    }
  }
}

// Find Vertical Edges likewise: the right column carries +1.
TEST(ConvolveOrientation, FindVerticalEdgesDarkLeftBrightRight) {
  DibHandle src = MakeGrey(6, 3, 0);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 6; ++x) {
      SetByte(*src, y, x, x < 3 ? 20 : 100);
    }
  }
  DibHandle out;
  ASSERT_EQ(ConvolveDIB(nullptr, src.get(), &out, 8, kKernelFindVerticalEdges), kOk);
  const int want[6] = {0, 0, 240, 240, 0, 0};
  for (int x = 0; x < 6; ++x) {
    EXPECT_EQ(ByteAt(*out, 1, x), want[x]) << "column " << x;
  }
}

TEST(ConvolveHeight, ThreeRowsFitThreeByThreeOnly) {
  DibHandle three = MakeGrey(4, 3, 50);
  for (const KernelDef& def : kDefs) {
    DibHandle out;
    const OpResult r = ConvolveDIB(nullptr, three.get(), &out, 8, def.code);
    EXPECT_EQ(r, def.size == 3 ? kOk : kInvalidArgument) << def.name;
    EXPECT_EQ(out != nullptr, def.size == 3) << def.name;
  }
  DibHandle four = MakeRgb(4, 4, 1, 2, 3);
  DibHandle five = MakeRgb(4, 5, 1, 2, 3);
  DibHandle out;
  EXPECT_EQ(ConvolveDIB(nullptr, four.get(), &out, 24, kKernelBlur), kInvalidArgument);
  EXPECT_EQ(ConvolveDIB(nullptr, five.get(), &out, 24, kKernelBlur), kOk);
  DibHandle two = MakeGrey(4, 2, 50);
  EXPECT_EQ(ConvolveDIB(nullptr, two.get(), &out, 8, kKernelSharpen), kInvalidArgument);
  EXPECT_FALSE(out);
}

// Sums are divided with truncation toward zero and only then biased and clamped. With
// Sharpen (divisor 6) a sum of 7 gives 1 and a sum of 13 gives 2, -7 gives -1 and thus 0.
TEST(ConvolveArithmetic, DivisionTruncatesBeforeClamp) {
  DibHandle src = MakeGrey(3, 3, 0);
  // Centre (stored row 1, column 1) has sum 10 * centre - (four neighbours).
  auto sharpenCentre = [&](int centre, int below, int above, int left, int right) {
    SetByte(*src, 1, 1, static_cast<std::uint8_t>(centre));
    SetByte(*src, 0, 1, static_cast<std::uint8_t>(below));
    SetByte(*src, 2, 1, static_cast<std::uint8_t>(above));
    SetByte(*src, 1, 0, static_cast<std::uint8_t>(left));
    SetByte(*src, 1, 2, static_cast<std::uint8_t>(right));
    DibHandle out;
    EXPECT_EQ(ConvolveDIB(nullptr, src.get(), &out, 8, kKernelSharpen), kOk);
    return out ? ByteAt(*out, 1, 1) : -1;
  };
  EXPECT_EQ(sharpenCentre(1, 3, 0, 0, 0), 1);    // 7 / 6
  EXPECT_EQ(sharpenCentre(2, 7, 0, 0, 0), 2);    // 13 / 6
  EXPECT_EQ(sharpenCentre(0, 7, 0, 0, 0), 0);    // -7 / 6 = -1, clamped
  EXPECT_EQ(sharpenCentre(30, 0, 0, 0, 0), 50);  // 300 / 6
  EXPECT_EQ(sharpenCentre(30, 1, 0, 0, 0), 49);  // 299 / 6 = 49.8
}

TEST(ConvolveArguments, Refusals) {
  DibHandle grey = MakeGrey(4, 4, 9);
  DibHandle rgb = MakeRgb(4, 4, 1, 2, 3);
  DibHandle pal4 = MakeDib(4, 4, 4);
  DibHandle out = MakeGrey(1, 1);  // must come back cleared
  EXPECT_EQ(ConvolveDIB(nullptr, nullptr, &out, 8, kKernelSharpen), kInvalidArgument);
  EXPECT_FALSE(out);
  EXPECT_EQ(ConvolveDIB(nullptr, grey.get(), nullptr, 8, kKernelSharpen), kInvalidArgument);
  EXPECT_EQ(ConvolveDIB(nullptr, grey.get(), &out, 8, 52), kInvalidArgument);
  EXPECT_EQ(ConvolveDIB(nullptr, rgb.get(), &out, 8, kKernelSharpen), kInvalidArgument);
  EXPECT_EQ(ConvolveDIB(nullptr, grey.get(), &out, 24, kKernelSharpen), kInvalidArgument);
  EXPECT_EQ(ConvolveDIB(nullptr, pal4.get(), &out, 4, kKernelSharpen), kInvalidArgument);
  EXPECT_FALSE(out);
  // Any bit value other than 24 means the 8-bit worker.
  EXPECT_EQ(ConvolveDIB(nullptr, grey.get(), &out, 0, kKernelSharpen), kOk);
}

TEST(ConvolveProgress, ReportsEveryRowAndStopsOnCancel) {
  DibHandle src = MakeGrey(3, 4, 5);
  RecordingSink all;
  DibHandle out;
  ASSERT_EQ(ConvolveDIB(&all, src.get(), &out, 8, kKernelSoften), kOk);
  EXPECT_EQ(all.reports, (std::vector<int>{0, 25, 50, 75, 100}));

  RecordingSink stop(3);
  EXPECT_EQ(ConvolveDIB(&stop, src.get(), &out, 8, kKernelSoften), kCancelled);
  EXPECT_FALSE(out);
  EXPECT_EQ(stop.reports.size(), 3u);
}

// Unsharpen: d = source - blurred; bytes with |d| > clipping become source + d.
TEST(Unsharpen, ClippingThreshold) {
  DibHandle src = MakeGrey(5, 5, 50);
  SetByte(*src, 2, 2, 250);
  // Soften More (strength 2) averages nine: 650 / 9 = 72 at the centre and around it.
  struct Case {
    int clipping;
    int centre;
    int neighbour;
  };
  for (const Case& c : {Case{100, 255, 50}, Case{177, 255, 50}, Case{178, 250, 50}, Case{21, 255, 28},
                        Case{22, 255, 50}, Case{0, 255, 28}}) {
    DibHandle out;
    ASSERT_EQ(UnsharpenDIB(nullptr, src.get(), &out, c.clipping, 2), kOk);
    EXPECT_EQ(ByteAt(*out, 2, 2), c.centre) << "clipping " << c.clipping;
    EXPECT_EQ(ByteAt(*out, 1, 1), c.neighbour) << "clipping " << c.clipping;
    EXPECT_EQ(ByteAt(*out, 0, 0), 50) << "clipping " << c.clipping;
  }
}

// Clipping 100 leaves every byte whose difference from the blur is at most 100.
TEST(Unsharpen, ClippingHundredKeepsSmallDifferences) {
  for (int bits : {8, 24}) {
    DibHandle src = MakeImage(9, 7, bits);
    FillBand(*src, 5, 0, 255);
    DibHandle blurred;
    DibHandle out;
    ASSERT_EQ(ConvolveDIB(nullptr, src.get(), &blurred, bits, kKernelBlur), kOk);
    ASSERT_EQ(UnsharpenDIB(nullptr, src.get(), &out, 100, 3), kOk);
    int changed = 0;
    for (int y = 0; y < 7; ++y) {
      for (int b = 0; b < 9 * bits / 8; ++b) {
        const int s = ByteAt(*src, y, b);
        const int d = s - ByteAt(*blurred, y, b);
        const int want = d > 100 || d < -100 ? Clamp255(s + d) : s;
        EXPECT_EQ(ByteAt(*out, y, b), want);
        changed += want != s;
      }
    }
    EXPECT_GT(changed, 0);
  }
}

TEST(Unsharpen, StrengthPicksKernel) {
  DibHandle src = MakeRgb(8, 6, 0, 0, 0);
  FillBand(*src, 9, 0, 255);
  const int kernels[] = {kKernelSoften, kKernelSoftenMore, kKernelBlur, kKernelBlurMore};
  for (int strength = 1; strength <= 4; ++strength) {
    DibHandle blurred;
    DibHandle out;
    ASSERT_EQ(ConvolveDIB(nullptr, src.get(), &blurred, 24, kernels[strength - 1]), kOk);
    ASSERT_EQ(UnsharpenDIB(nullptr, src.get(), &out, 0, strength), kOk);
    for (int y = 0; y < 6; ++y) {
      for (int b = 0; b < 24; ++b) {
        const int s = ByteAt(*src, y, b);
        const int d = s - ByteAt(*blurred, y, b);
        ASSERT_EQ(ByteAt(*out, y, b), d != 0 ? Clamp255(s + d) : s) << "strength " << strength;
      }
    }
  }
  DibHandle out;
  EXPECT_EQ(UnsharpenDIB(nullptr, src.get(), &out, 10, 0), kInvalidArgument);
  EXPECT_EQ(UnsharpenDIB(nullptr, src.get(), &out, 10, 5), kInvalidArgument);
  EXPECT_FALSE(out);
  DibHandle low = MakeGrey(6, 4, 1);  // strength 3 blurs with a 5 x 5 kernel
  EXPECT_EQ(UnsharpenDIB(nullptr, low.get(), &out, 10, 3), kInvalidArgument);
  EXPECT_EQ(UnsharpenDIB(nullptr, low.get(), &out, 10, 2), kOk);
}

TEST(Unsharpen, CancelDuringBlurOrSharpening) {
  DibHandle src = MakeGrey(4, 4, 1);
  // Reports 1..5 belong to the blur (0 then four rows), 6..9 to the sharpening pass.
  for (int at : {2, 7}) {
    RecordingSink stop(at);
    DibHandle out;
    EXPECT_EQ(UnsharpenDIB(&stop, src.get(), &out, 0, 1), kCancelled) << at;
    EXPECT_FALSE(out);
  }
}

}  // namespace
}  // namespace km::test
