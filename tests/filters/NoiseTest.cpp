// Noise: the draw order from rand() replayed from a known seed, amount 0, refusals.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "FilterTestUtil.h"
#include "imaging/filters/Filters.h"
#include "support/DibTestUtil.h"

namespace km::test {
namespace {

int S(int r) { return ((r >> 7) & 0xFF) - 128; }

// What the noise must do, drawing from rand() in the documented order.
DibHandle Replay(const Dib& src, int type, int amount) {
  DibHandle out;
  EXPECT_EQ(CopyDIB(&src, &out), kOk);
  const int bpp = BytesPerPixel(src);
  for (int y = 0; y < src.height(); ++y) {
    for (int x = 0; x < src.width(); ++x) {
      if (bpp == 3) {
        if (type == kNoiseUniform) {
          const int r[3] = {std::rand(), std::rand(), std::rand()};
          for (int ch = 0; ch < 3; ++ch) {
            const int v = ByteAt(src, y, x * 3 + ch) + amount * S(r[ch]) / 100;
            SetByte(*out, y, x * 3 + ch, static_cast<std::uint8_t>(Clamp255(v)));
          }
        } else if ((std::rand() & 0x7FFF) / 327 < amount) {
          const int r[3] = {std::rand(), std::rand(), std::rand()};
          for (int ch = 0; ch < 3; ++ch) {
            const int v = ByteAt(src, y, x * 3 + ch) + S(r[ch]);
            SetByte(*out, y, x * 3 + ch, static_cast<std::uint8_t>(Clamp255(v)));
          }
        }
      } else if (type == kNoiseUniform) {
        const int v = ByteAt(src, y, x) + amount * S(std::rand()) / 100;
        SetByte(*out, y, x, static_cast<std::uint8_t>(Clamp255(v)));
      } else if ((std::rand() & 0x7FFF) / 327 < amount) {
        SetByte(*out, y, x, static_cast<std::uint8_t>(Clamp255(ByteAt(src, y, x) + S(std::rand()))));
      }
    }
  }
  return out;
}

class NoiseCase : public ::testing::TestWithParam<std::tuple<int, int, int>> {};

TEST_P(NoiseCase, FollowsDrawOrder) {
  const auto [type, amount, bits] = GetParam();
  DibHandle src = bits == 24 ? MakeRgb(11, 5, 0, 0, 0) : MakeGrey(11, 5);
  FillBand(*src, 3, 0, 255);
  std::srand(1234);
  DibHandle out;
  ASSERT_EQ(AddNoiseDIB(nullptr, src.get(), &out, type, amount), kOk);
  const int nextAfterOp = std::rand();
  std::srand(1234);
  DibHandle want = Replay(*src, type, amount);
  EXPECT_EQ(std::rand(), nextAfterOp) << "number of values drawn differs";
  std::string why;
  EXPECT_TRUE(SamePixels(*out, *want, &why)) << why;
}

INSTANTIATE_TEST_SUITE_P(Noise, NoiseCase,
                         ::testing::Combine(::testing::Values(kNoiseRandom, kNoiseUniform),
                                            ::testing::Values(0, 1, 37, 100), ::testing::Values(8, 24)));

// Amount 0 changes nothing; "Uniform" still draws three values per 24-bit pixel (one
// per 8-bit byte), "Random" one test value per pixel or byte.
TEST(Noise, AmountZeroLeavesImageButDraws) {
  for (int bits : {8, 24}) {
    for (const auto& [type, perPixel] : {std::pair{kNoiseUniform, bits == 24 ? 3 : 1},
                                         std::pair{kNoiseRandom, 1}}) {
      DibHandle src = bits == 24 ? MakeRgb(6, 4, 0, 0, 0) : MakeGrey(6, 4);
      FillBand(*src, 8, 0, 255);
      std::srand(99);
      DibHandle out;
      ASSERT_EQ(AddNoiseDIB(nullptr, src.get(), &out, type, 0), kOk);
      const int next = std::rand();
      std::srand(99);
      for (int i = 0; i < 6 * 4 * perPixel; ++i) {
        std::rand();
      }
      EXPECT_EQ(std::rand(), next) << "type " << type << " bits " << bits;
      std::string why;
      EXPECT_TRUE(SamePixels(*out, *src, &why)) << why;
    }
  }
}

TEST(Noise, PaletteIndicesAndRefusals) {
  DibHandle pal = MakeDib(5, 3, 8, 16);  // an 8-bit colour image: index bytes change
  DibHandle out;
  EXPECT_EQ(AddNoiseDIB(nullptr, pal.get(), &out, kNoiseUniform, 100), kOk);
  DibHandle pal4 = MakeDib(5, 3, 4);
  EXPECT_EQ(AddNoiseDIB(nullptr, pal4.get(), &out, kNoiseUniform, 10), kInvalidArgument);
  EXPECT_FALSE(out);
  DibHandle grey = MakeGrey(5, 3, 9);
  EXPECT_EQ(AddNoiseDIB(nullptr, grey.get(), &out, 2, 10), kInvalidArgument);
  EXPECT_EQ(AddNoiseDIB(nullptr, grey.get(), &out, kNoiseRandom, 101), kInvalidArgument);
  EXPECT_EQ(AddNoiseDIB(nullptr, grey.get(), &out, kNoiseRandom, -1), kInvalidArgument);
  EXPECT_FALSE(out);
}

TEST(Noise, ProgressAndCancel) {
  DibHandle grey = MakeGrey(5, 4, 9);
  RecordingSink all;
  DibHandle out;
  ASSERT_EQ(AddNoiseDIB(&all, grey.get(), &out, kNoiseRandom, 50), kOk);
  EXPECT_EQ(all.reports, (std::vector<int>{0, 0, 25, 50, 75, 100}));
  RecordingSink stop(3);
  EXPECT_EQ(AddNoiseDIB(&stop, grey.get(), &out, kNoiseRandom, 50), kCancelled);
  EXPECT_FALSE(out);
}

}  // namespace
}  // namespace km::test
