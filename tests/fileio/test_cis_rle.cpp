#include <gtest/gtest.h>

#include "fileio/imgx/Imgx.h"
#include "CodecTestUtil.h"
#include "support/PeerTools.h"

namespace km::imgx {
namespace {

DibHandle BlackWhite(int w, int h, std::uint32_t seed) {
  DibHandle dib = test::MakeDib(w, h, 1, 2);
  dib->colors()[1] = RgbQuad{255, 255, 255, 0};
  test::FillRandom(*dib, seed);
  return dib;
}

class CisRleRoundTrip : public testing::TestWithParam<int> {};

TEST_P(CisRleRoundTrip, BothSizesReadBackIdentical) {
  const int w = GetParam();
  test::TempFolder dir("cis");
  DibHandle src = BlackWhite(w, w * 3 / 4, 3);
  // A long foreground stretch forces runs longer than one character holds.
  for (int x = 0; x < w; ++x) {
    test::SetPixel(*src, x, 2, 1);
    test::SetPixel(*src, x, 3, 1);
  }
  ASSERT_EQ(EncodeCISRLE(nullptr, dir.path("x.rle"), src.get()), kOk);
  DibHandle back;
  ASSERT_EQ(DecodeCISRLE(nullptr, dir.path("x.rle"), &back), kOk);
  std::string why;
  EXPECT_TRUE(test::SameColours(*src, *back, 0, &why)) << why;
  int kind = 0;
  EXPECT_EQ(PickRLEType(dir.path("x.rle"), &kind), kOk);
  EXPECT_EQ(kind, 10);
}

INSTANTIATE_TEST_SUITE_P(Sizes, CisRleRoundTrip, testing::Values(256, 128));

TEST(CisRle, ExactBytesOfASmallPicture) {
  // 128 x 96 with only the first two pixels lit: no background, 2 foreground, then
  // 12286 background pixels in runs of 94 separated by empty foreground runs.
  DibHandle dib = test::MakeDib(128, 96, 1, 2);
  dib->colors()[1] = RgbQuad{255, 255, 255, 0};
  test::SetPixel(*dib, 0, 0, 1);
  test::SetPixel(*dib, 1, 0, 1);
  test::TempFolder dir("cis");
  ASSERT_EQ(EncodeCISRLE(nullptr, dir.path("x.rle"), dib.get()), kOk);
  const auto bytes = test::ReadBytes(dir.path("x.rle"));
  ASSERT_GE(bytes.size(), 8u);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 5),
            (std::vector<std::uint8_t>{0x1B, 'G', 'M', 0x20, 0x22}));
  const int rest = 128 * 96 - 2;  // 130 full runs of 94 and one of 66
  EXPECT_EQ(bytes.size(), 5u + 2u * (rest / 94) + 1u + 3u);
  EXPECT_EQ(bytes[bytes.size() - 4], 0x20 + rest % 94);
}

TEST(CisRle, WrongSizeOrDepthIsRefused) {
  test::TempFolder dir("cis");
  DibHandle small = BlackWhite(100, 50, 1);
  EXPECT_EQ(EncodeCISRLE(nullptr, dir.path("a.rle"), small.get()), kBadDimensions);
  DibHandle grey = test::MakeGrey(256, 192);
  EXPECT_EQ(EncodeCISRLE(nullptr, dir.path("b.rle"), grey.get()), kDepthNotWritable);
}

TEST(CisRle, PickRleTypeTellsWindowsFromCompuServe) {
  test::TempFolder dir("cis");
  test::WriteBytes(dir.path("w.rle"), {'B', 'M', 0, 0});
  test::WriteBytes(dir.path("x.rle"), {'x', 'y', 'z'});
  int kind = 0;
  EXPECT_EQ(PickRLEType(dir.path("w.rle"), &kind), kOk);
  EXPECT_EQ(kind, 1);
  EXPECT_EQ(PickRLEType(dir.path("x.rle"), &kind), kNotThisFormat);
}

TEST(CisRlePeer, NetpbmReadsOursAndWeReadTheirs) {
  KM_REQUIRE_PEER("cistopbm");
  KM_REQUIRE_PEER("pbmtocis");
  test::TempFolder dir("cis");
  DibHandle src = BlackWhite(128, 96, 8);
  ASSERT_EQ(EncodeCISRLE(nullptr, dir.path("ours.rle"), src.get()), kOk);
  ASSERT_EQ(test::RunPeer({"cistopbm"}, dir.path("ours.rle"), dir.path("ours.pbm")), 0);
  DibHandle seen = test::ReadPnmFile(dir.path("ours.pbm"));
  ASSERT_NE(seen, nullptr);
  std::string why;
  EXPECT_TRUE(test::SameColours(*src, *seen, 0, &why)) << why;

  ASSERT_EQ(test::RunPeer({"pbmtocis"}, dir.path("ours.pbm"), dir.path("theirs.rle")), 0);
  DibHandle back;
  ASSERT_EQ(DecodeCISRLE(nullptr, dir.path("theirs.rle"), &back), kOk);
  EXPECT_TRUE(test::SameColours(*src, *back, 0, &why)) << why;
}

}  // namespace
}  // namespace km::imgx
