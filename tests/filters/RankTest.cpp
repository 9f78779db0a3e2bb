// Erode, median, dilate and despeckle: worked neighbourhoods and a direct evaluation
// (sorting the nine replicated values) on random images.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "FilterTestUtil.h"
#include "imaging/filters/Filters.h"
#include "support/DibTestUtil.h"

namespace km::test {
namespace {

enum class Op { kErode, kMedian, kDilate, kDespeckle };

OpResult RunOp(Op op, ProgressWindow progress, const Dib* src, DibHandle* out) {
  switch (op) {
    case Op::kErode: return RankFilterDIB(progress, src, out, kRankErode);
    case Op::kMedian: return RankFilterDIB(progress, src, out, kRankMedian);
    case Op::kDilate: return RankFilterDIB(progress, src, out, kRankDilate);
    case Op::kDespeckle: return DespeckleDIB(progress, src, out);
  }
  return kInvalidArgument;
}

const char* Name(Op op) {
  switch (op) {
    case Op::kErode: return "Erode";
    case Op::kMedian: return "Median";
    case Op::kDilate: return "Dilate";
    case Op::kDespeckle: return "Despeckle";
  }
  return "?";
}

void PrintTo(Op op, std::ostream* os) { *os << Name(op); }

int Clamp(int v, int n) { return v < 0 ? 0 : (v >= n ? n - 1 : v); }

// Sorts the nine values around each byte, rows and columns beyond the edges repeated.
DibHandle Reference(Op op, const Dib& src) {
  DibHandle out;
  EXPECT_EQ(CopyDIB(&src, &out), kOk);
  const int bpp = BytesPerPixel(src);
  for (int y = 0; y < src.height(); ++y) {
    for (int x = 0; x < src.width(); ++x) {
      for (int ch = 0; ch < bpp; ++ch) {
        std::array<int, 9> v{};
        int n = 0;
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            v[static_cast<std::size_t>(n++)] =
                ByteAt(src, Clamp(y + dy, src.height()), Clamp(x + dx, src.width()) * bpp + ch);
          }
        }
        const int centre = v[4];
        const int neighbours = v[0] + v[1] + v[2] + v[3] + v[5] + v[6] + v[7] + v[8];
        std::sort(v.begin(), v.end());
        int want = centre;
        switch (op) {
          case Op::kErode: want = v[0]; break;
          case Op::kMedian: want = v[4]; break;
          case Op::kDilate: want = v[8]; break;
          case Op::kDespeckle: want = std::abs(neighbours / 8 - centre) > 48 ? v[4] : centre; break;
        }
        SetByte(*out, y, x * bpp + ch, static_cast<std::uint8_t>(want));
      }
    }
  }
  return out;
}

class EveryRankOp : public ::testing::TestWithParam<std::tuple<Op, int>> {};

TEST_P(EveryRankOp, MatchesSortedNeighbourhood) {
  const auto [op, bits] = GetParam();
  for (const auto& [w, h, lo, hi] : {std::tuple{9, 5, 0, 255}, std::tuple{9, 5, 100, 180},
                                     std::tuple{1, 3, 0, 255}, std::tuple{2, 4, 0, 255}}) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " values " + std::to_string(lo) + ".." +
                 std::to_string(hi));
    DibHandle src = bits == 24 ? MakeRgb(w, h, 0, 0, 0) : MakeGrey(w, h);
    FillBand(*src, static_cast<std::uint32_t>(bits * 7 + lo + w + static_cast<int>(op)), lo, hi);
    DibHandle out;
    ASSERT_EQ(RunOp(op, nullptr, src.get(), &out), kOk);
    DibHandle want = Reference(op, *src);
    std::string why;
    EXPECT_TRUE(SamePixels(*out, *want, &why)) << why;
  }
}

TEST_P(EveryRankOp, ThreeRowsAtLeastAndCancel) {
  const auto [op, bits] = GetParam();
  DibHandle two = bits == 24 ? MakeRgb(4, 2, 1, 1, 1) : MakeGrey(4, 2, 1);
  DibHandle three = bits == 24 ? MakeRgb(4, 3, 1, 1, 1) : MakeGrey(4, 3, 1);
  DibHandle out;
  EXPECT_EQ(RunOp(op, nullptr, two.get(), &out), kInvalidArgument);
  EXPECT_FALSE(out);

  RecordingSink all;
  ASSERT_EQ(RunOp(op, &all, three.get(), &out), kOk);
  EXPECT_EQ(all.reports, (std::vector<int>{0, 33, 66, 100, 100}));

  RecordingSink stop(2);
  EXPECT_EQ(RunOp(op, &stop, three.get(), &out), kCancelled);
  EXPECT_FALSE(out);
}

INSTANTIATE_TEST_SUITE_P(Rank, EveryRankOp,
                         ::testing::Combine(::testing::Values(Op::kErode, Op::kMedian, Op::kDilate,
                                                              Op::kDespeckle),
                                            ::testing::Values(8, 24)),
                         [](const auto& info) {
                           return std::string(Name(std::get<0>(info.param))) + "_" +
                                  std::to_string(std::get<1>(info.param));
                         });

// A 7 x 7 dark ground (10) with one bright pixel (value) in the middle.
DibHandle Speck(int value) {
  DibHandle d = MakeGrey(7, 7, 10);
  SetByte(*d, 3, 3, static_cast<std::uint8_t>(value));
  return d;
}

TEST(RankSpeck, DilateGrowsErodeAndMedianRemove) {
  DibHandle src = Speck(200);
  DibHandle dilated, eroded, median;
  ASSERT_EQ(RankFilterDIB(nullptr, src.get(), &dilated, kRankDilate), kOk);
  ASSERT_EQ(RankFilterDIB(nullptr, src.get(), &eroded, kRankErode), kOk);
  ASSERT_EQ(RankFilterDIB(nullptr, src.get(), &median, kRankMedian), kOk);
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < 7; ++x) {
      const bool inSquare = std::abs(y - 3) <= 1 && std::abs(x - 3) <= 1;
      EXPECT_EQ(ByteAt(*dilated, y, x), inSquare ? 200 : 10) << x << "," << y;
      EXPECT_EQ(ByteAt(*eroded, y, x), 10) << x << "," << y;
      EXPECT_EQ(ByteAt(*median, y, x), 10) << x << "," << y;
    }
  }
}

// The neighbours' mean is 10: a centre of 58 differs by 48 and stays, 59 by 49 and is
// replaced by the median (10). The neighbours themselves see a mean of at most 16.
TEST(RankSpeck, DespeckleThresholdIs48) {
  for (const auto& [centre, want] : {std::pair{58, 58}, std::pair{59, 10}, std::pair{200, 10},
                                     std::pair{0, 0}}) {
    DibHandle src = Speck(centre);
    DibHandle out;
    ASSERT_EQ(DespeckleDIB(nullptr, src.get(), &out), kOk);
    EXPECT_EQ(ByteAt(*out, 3, 3), want) << "centre " << centre;
    EXPECT_EQ(ByteAt(*out, 2, 2), 10);
  }
  // Below the ground: mean 60 against a centre of 11 (49) goes, 12 (48) stays.
  for (const auto& [centre, want] : {std::pair{11, 60}, std::pair{12, 12}}) {
    DibHandle src = MakeGrey(5, 5, 60);
    SetByte(*src, 2, 2, static_cast<std::uint8_t>(centre));
    DibHandle out;
    ASSERT_EQ(DespeckleDIB(nullptr, src.get(), &out), kOk);
    EXPECT_EQ(ByteAt(*out, 2, 2), want) << "centre " << centre;
  }
}

// The bottom-left corner sees only itself, its right and upper neighbours and the
// diagonal one (with their copies); everything further away is 0 and must not count.
TEST(RankCorner, UsesEdgeCopiesOnly) {
  DibHandle src = MakeGrey(4, 4, 0);
  SetByte(*src, 0, 0, 100);
  SetByte(*src, 0, 1, 90);
  SetByte(*src, 1, 0, 80);
  SetByte(*src, 1, 1, 70);
  DibHandle eroded, dilated, median;
  ASSERT_EQ(RankFilterDIB(nullptr, src.get(), &eroded, kRankErode), kOk);
  ASSERT_EQ(RankFilterDIB(nullptr, src.get(), &dilated, kRankDilate), kOk);
  ASSERT_EQ(RankFilterDIB(nullptr, src.get(), &median, kRankMedian), kOk);
  EXPECT_EQ(ByteAt(*eroded, 0, 0), 70);
  EXPECT_EQ(ByteAt(*dilated, 0, 0), 100);
  // The window holds 100 100 90 twice (row 0 and its copy) and 80 80 70 (row 1):
  // sorted 70 80 80 90 90 100 100 100 100, so the median is 90.
  EXPECT_EQ(ByteAt(*median, 0, 0), 90);
  EXPECT_EQ(ByteAt(*eroded, 0, 1), 0);  // its window reaches column 2
}

TEST(RankArguments, Refusals) {
  DibHandle grey = MakeGrey(4, 4, 1);
  DibHandle pal4 = MakeDib(4, 4, 4);
  DibHandle out = MakeGrey(1, 1);
  EXPECT_EQ(RankFilterDIB(nullptr, grey.get(), &out, 3), kInvalidArgument);
  EXPECT_FALSE(out);
  EXPECT_EQ(RankFilterDIB(nullptr, grey.get(), &out, -1), kInvalidArgument);
  EXPECT_EQ(RankFilterDIB(nullptr, pal4.get(), &out, kRankMedian), kInvalidArgument);
  EXPECT_EQ(DespeckleDIB(nullptr, pal4.get(), &out), kInvalidArgument);
  EXPECT_EQ(DespeckleDIB(nullptr, nullptr, &out), kInvalidArgument);
  EXPECT_EQ(RankFilterDIB(nullptr, grey.get(), nullptr, kRankMedian), kInvalidArgument);
  EXPECT_FALSE(out);
}

}  // namespace
}  // namespace km::test
