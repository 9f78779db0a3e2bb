// Mosaic: blocks from the top-left corner, short right and bottom blocks, truncated
// averages, and a direct evaluation on random images.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "FilterTestUtil.h"
#include "imaging/filters/Filters.h"
#include "support/DibTestUtil.h"

namespace km::test {
namespace {

// Picture coordinates (py = 0 the top row) grouped into blocks py / h, x / w.
DibHandle Reference(const Dib& src, int w, int h) {
  DibHandle out;
  EXPECT_EQ(CopyDIB(&src, &out), kOk);
  const int bpp = BytesPerPixel(src);
  const int height = src.height();
  for (int by = 0; by * h < height; ++by) {
    for (int bx = 0; bx * w < src.width(); ++bx) {
      const int x1 = std::min(src.width(), (bx + 1) * w);
      const int y1 = std::min(height, (by + 1) * h);
      for (int ch = 0; ch < bpp; ++ch) {
        long sum = 0;
        long n = 0;
        for (int py = by * h; py < y1; ++py) {
          for (int x = bx * w; x < x1; ++x, ++n) {
            sum += ByteAt(src, height - 1 - py, x * bpp + ch);
          }
        }
        for (int py = by * h; py < y1; ++py) {
          for (int x = bx * w; x < x1; ++x) {
            SetByte(*out, height - 1 - py, x * bpp + ch, static_cast<std::uint8_t>(sum / n));
          }
        }
      }
    }
  }
  return out;
}

class MosaicCase : public ::testing::TestWithParam<std::tuple<int, int, int>> {};

TEST_P(MosaicCase, MatchesBlockAverages) {
  const auto [w, h, bits] = GetParam();
  for (const auto& [width, height] : {std::pair{10, 7}, std::pair{1, 1}, std::pair{3, 9}}) {
    DibHandle src = bits == 24 ? MakeRgb(width, height, 0, 0, 0) : MakeGrey(width, height);
    FillBand(*src, static_cast<std::uint32_t>(w * 100 + h + width), 0, 255);
    DibHandle out;
    ASSERT_EQ(MosaicDIB(nullptr, src.get(), &out, w, h), kOk);
    DibHandle want = Reference(*src, w, h);
    std::string why;
    EXPECT_TRUE(SamePixels(*out, *want, &why)) << width << "x" << height << ": " << why;
  }
}

INSTANTIATE_TEST_SUITE_P(Mosaic, MosaicCase,
                         ::testing::Combine(::testing::Values(1, 3, 4, 10, 100), ::testing::Values(1, 2, 3, 7, 50),
                                            ::testing::Values(8, 24)));

// Height 5 in blocks of 2: the bottom block row is the single bottom stored row and
// averages over its own pixels only; width 5 in blocks of 2 leaves a 1-column block.
TEST(Mosaic, ShortBottomRowAndRightColumn) {
  DibHandle src = MakeGrey(5, 5, 0);
  // Stored rows 4,3 | 2,1 | 0 (top down). Values per stored row: 0, 10, 20, 30, 41 + x.
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 5; ++x) {
      SetByte(*src, y, x, static_cast<std::uint8_t>(y * 10 + (y == 4 ? 1 : 0) + x));
    }
  }
  DibHandle out;
  ASSERT_EQ(MosaicDIB(nullptr, src.get(), &out, 2, 2), kOk);
  // Top block row (stored 4 and 3), columns 0-1: (41 + 42 + 30 + 31) / 4 = 144 / 4 = 36.
  EXPECT_EQ(ByteAt(*out, 4, 0), 36);
  EXPECT_EQ(ByteAt(*out, 3, 1), 36);
  // Column 4 alone: (45 + 34) / 2 = 39 (39.5 truncated).
  EXPECT_EQ(ByteAt(*out, 4, 4), 39);
  // Middle block row, columns 2-3: (22 + 23 + 12 + 13) / 4 = 17 (17.5 truncated).
  EXPECT_EQ(ByteAt(*out, 2, 3), 17);
  // Bottom row alone, columns 0-1: (0 + 1) / 2 = 0; column 4: 4.
  EXPECT_EQ(ByteAt(*out, 0, 0), 0);
  EXPECT_EQ(ByteAt(*out, 0, 1), 0);
  EXPECT_EQ(ByteAt(*out, 0, 2), 2);  // (2 + 3) / 2
  EXPECT_EQ(ByteAt(*out, 0, 4), 4);
}

TEST(Mosaic, BlockWiderThanImageSpansWholeRow) {
  DibHandle src = MakeRgb(3, 4, 0, 0, 0);
  FillBand(*src, 4, 0, 255);
  DibHandle out;
  ASSERT_EQ(MosaicDIB(nullptr, src.get(), &out, 40, 2), kOk);
  for (int y = 0; y < 4; y += 2) {
    for (int ch = 0; ch < 3; ++ch) {
      int sum = 0;
      for (int x = 0; x < 3; ++x) {
        sum += ByteAt(*src, y, x * 3 + ch) + ByteAt(*src, y + 1, x * 3 + ch);
      }
      for (int x = 0; x < 3; ++x) {
        EXPECT_EQ(ByteAt(*out, y, x * 3 + ch), sum / 6);
        EXPECT_EQ(ByteAt(*out, y + 1, x * 3 + ch), sum / 6);
      }
    }
  }
}

TEST(Mosaic, ProgressPerBlockRowAndCancel) {
  DibHandle src = MakeGrey(4, 10, 3);
  RecordingSink all;
  DibHandle out;
  ASSERT_EQ(MosaicDIB(&all, src.get(), &out, 2, 4), kOk);
  // Block rows start at 0, 4 and 8: (k * 4 + 1) * 100 / 10.
  EXPECT_EQ(all.reports, (std::vector<int>{0, 10, 50, 90, 100}));
  RecordingSink stop(2);
  EXPECT_EQ(MosaicDIB(&stop, src.get(), &out, 2, 4), kCancelled);
  EXPECT_FALSE(out);
}

TEST(Mosaic, Refusals) {
  DibHandle grey = MakeGrey(4, 4, 1);
  DibHandle pal1 = MakeDib(4, 4, 1);
  DibHandle out = MakeGrey(1, 1);
  EXPECT_EQ(MosaicDIB(nullptr, grey.get(), &out, 0, 2), kInvalidArgument);
  EXPECT_FALSE(out);
  EXPECT_EQ(MosaicDIB(nullptr, grey.get(), &out, 2, -3), kInvalidArgument);
  EXPECT_EQ(MosaicDIB(nullptr, pal1.get(), &out, 2, 2), kInvalidArgument);
  EXPECT_EQ(MosaicDIB(nullptr, nullptr, &out, 2, 2), kInvalidArgument);
  EXPECT_FALSE(out);
}

}  // namespace
}  // namespace km::test
