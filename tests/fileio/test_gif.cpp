#include <gtest/gtest.h>

#include "fileio/imgx/Imgx.h"
#include "CodecTestUtil.h"
#include "support/PeerTools.h"

namespace km::imgx {
namespace {

struct GifCase {
  int bits;
  bool v89a;
  bool interlaced;
  int width;
};

std::vector<GifCase> Cases() {
  std::vector<GifCase> v;
  for (int bits : {1, 4, 8}) {
    for (int mode = 0; mode < 4; ++mode) {
      v.push_back({bits, mode >= 2, mode % 2 == 0, bits == 4 ? 1 : 13});
    }
  }
  v.push_back({8, true, true, 1});
  v.push_back({1, false, false, 1});
  return v;
}

class GifRoundTrip : public testing::TestWithParam<GifCase> {};

TEST_P(GifRoundTrip, ReadsBackIdenticalPixels) {
  const GifCase c = GetParam();
  test::TempFolder dir("gif");
  DibHandle src = test::MakePatterned(c.width, 11, c.bits, 3);  // 11 rows touch every interlace pass
  ASSERT_EQ(EncodeGIF(nullptr, dir.path("x.gif"), src.get(), c.v89a, c.interlaced, 1), kOk);
  DibHandle back;
  std::int16_t t = -5;
  ASSERT_EQ(DecodeGIF(nullptr, dir.path("x.gif"), &back, &t), kOk);
  std::string why;
  EXPECT_TRUE(test::SamePixels(*src, *back, &why)) << why;
  // Only 89a files carry the transparent index; 87a has nowhere to put it.
  EXPECT_EQ(t, c.v89a ? 1 : -1);
  const auto bytes = test::ReadBytes(dir.path("x.gif"));
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), c.v89a ? "GIF89a" : "GIF87a");
}

INSTANTIATE_TEST_SUITE_P(Versions, GifRoundTrip, testing::ValuesIn(Cases()), [](const auto& i) {
  return std::to_string(i.param.bits) + "bit" + (i.param.v89a ? "89a" : "87a") +
         (i.param.interlaced ? "Interlaced" : "") + std::to_string(i.param.width) + "wide";
});

TEST(Gif, PartialTablesKeepTheirLength) {
  // A 5-colour 8-bit image is written with an 8-entry map and reads back as 4 bits
  // with those 8 entries.
  test::TempFolder dir("gif");
  DibHandle src = test::MakeDib(6, 2, 8, 5);
  for (int i = 0; i < 5; ++i) {
    src->colors()[i] = RgbQuad{static_cast<std::uint8_t>(i * 50), 1, 2, 0};
  }
  test::FillRandom(*src, 9);
  ASSERT_EQ(EncodeGIF(nullptr, dir.path("x.gif"), src.get(), 1, 0, -1), kOk);
  DibHandle back;
  ASSERT_EQ(DecodeGIF(nullptr, dir.path("x.gif"), &back, nullptr), kOk);
  EXPECT_EQ(back->bitCount(), 4);
  EXPECT_EQ(back->colorCount(), 8);
  std::string why;
  EXPECT_TRUE(test::SameColours(*src, *back, 0, &why)) << why;
}

TEST(Gif, TwentyFourBitsAreRefused) {
  test::TempFolder dir("gif");
  DibHandle rgb = test::MakeRgb(2, 2, 1, 2, 3);
  EXPECT_EQ(EncodeGIF(nullptr, dir.path("x.gif"), rgb.get(), 1, 0, -1), kDepthNotWritable);
}

TEST(GifPeer, NetpbmReadsOursAndWeReadTheirs) {
  KM_REQUIRE_PEER("giftopnm");
  KM_REQUIRE_PEER("ppmtogif");
  test::TempFolder dir("gif");
  DibHandle src = test::MakePatterned(15, 9, 8, 2);
  ASSERT_EQ(EncodeGIF(nullptr, dir.path("ours.gif"), src.get(), 1, 1, -1), kOk);
  ASSERT_EQ(test::RunPeer({"giftopnm", dir.path("ours.gif")}, {}, dir.path("ours.ppm")), 0);
  DibHandle seen = test::ReadPnmFile(dir.path("ours.ppm"));
  ASSERT_NE(seen, nullptr);
  std::string why;
  EXPECT_TRUE(test::SameColours(*src, *seen, 0, &why)) << why;

  DibHandle pal = test::MakePatterned(10, 7, 4, 5);
  ASSERT_TRUE(test::WritePnmFile(*pal, dir.path("in.ppm")));
  ASSERT_EQ(test::RunPeer({"ppmtogif", "-interlace", dir.path("in.ppm")}, {}, dir.path("theirs.gif")), 0);
  DibHandle back;
  ASSERT_EQ(DecodeGIF(nullptr, dir.path("theirs.gif"), &back, nullptr), kOk);
  EXPECT_TRUE(test::SameColours(*pal, *back, 0, &why)) << why;
}

}  // namespace
}  // namespace km::imgx
