#include <gtest/gtest.h>

#include "fileio/imgx/Imgx.h"
#include "CodecTestUtil.h"
#include "support/PeerTools.h"

namespace km::imgx {
namespace {

struct TiffCase {
  int compression;
  int bits;  // 80 = 8-bit grey
  int width;
};

std::vector<TiffCase> Cases() {
  std::vector<TiffCase> v;
  for (int compression : {1, 5, 32773}) {
    for (int bits : {1, 4, 8, 80, 24}) {
      for (int width : {1, 13}) {
        v.push_back({compression, bits, width});
      }
    }
  }
  for (int compression : {2, 3}) {
    for (int width : {1, 13, 100}) {
      v.push_back({compression, 1, width});
    }
  }
  return v;
}

DibHandle Source(int bits, int width) {
  if (bits == 80) {
    DibHandle g = test::MakeGrey(width, 9);
    test::FillRandom(*g, 2);
    return g;
  }
  if (bits == 1) {
    DibHandle b = test::MakeDib(width, 9, 1, 2);
    b->colors()[1] = RgbQuad{255, 255, 255, 0};
    test::FillRandom(*b, 5);
    return b;
  }
  return test::MakePatterned(width, 9, bits, 8);
}

class TiffRoundTrip : public testing::TestWithParam<TiffCase> {};

TEST_P(TiffRoundTrip, ReadsBackIdenticalPixels) {
  const TiffCase c = GetParam();
  test::TempFolder dir("tif");
  DibHandle src = Source(c.bits, c.width);
  ASSERT_EQ(EncodeTIF(nullptr, dir.path("x.tif"), src.get(), nullptr, c.compression, c.bits == 80, 200), kOk);
  DibHandle back;
  ExtraHandle extra;
  ASSERT_EQ(DecodeTIF(nullptr, dir.path("x.tif"), &back, &extra), kOk);
  std::string why;
  EXPECT_TRUE(test::SamePixels(*src, *back, &why)) << why;
  ASSERT_NE(extra, nullptr);
  EXPECT_DOUBLE_EQ(extra->xDpi, 200);
  EXPECT_EQ(back->header().biXPelsPerMeter, 7874);  // 200 / 0.0254 = 7874.0
}

INSTANTIATE_TEST_SUITE_P(Compressions, TiffRoundTrip, testing::ValuesIn(Cases()), [](const auto& i) {
  return "c" + std::to_string(i.param.compression) + "_" + std::to_string(i.param.bits) + "bit_" +
         std::to_string(i.param.width) + "wide";
});

TEST(Tiff, FaxCompressionNeedsOneBit) {
  test::TempFolder dir("tif");
  DibHandle grey = test::MakeGrey(4, 4);
  EXPECT_EQ(EncodeTIF(nullptr, dir.path("x.tif"), grey.get(), nullptr, 3, 1, 300), kDepthNotWritable);
  EXPECT_FALSE(std::filesystem::exists(dir.path("x.tif")));
}

TEST(Tiff, ExtraCarriesProfileTextAndResolution) {
  test::TempFolder dir("tif");
  DibHandle src = test::MakePatterned(3, 3, 24, 1);
  ImageExtra extra;
  extra.xDpi = 72;
  extra.yDpi = 144;
  extra.iccProfile = {1, 2, 3, 4, 5};
  extra.text = {{"Description", "a kiln"}, {"Software", "test"}};
  ASSERT_EQ(EncodeTIF(nullptr, dir.path("x.tif"), src.get(), &extra, 5, 0, 0), kOk);
  DibHandle back;
  ExtraHandle kept;
  ASSERT_EQ(DecodeTIF(nullptr, dir.path("x.tif"), &back, &kept), kOk);
  EXPECT_DOUBLE_EQ(kept->xDpi, 72);
  EXPECT_DOUBLE_EQ(kept->yDpi, 144);
  EXPECT_EQ(kept->iccProfile, extra.iccProfile);
  EXPECT_EQ(kept->text, extra.text);
}

TEST(TiffPeer, NetpbmReadsOursAndWeReadTheirs) {
  KM_REQUIRE_PEER("tifftopnm");
  KM_REQUIRE_PEER("pamtotiff");
  test::TempFolder dir("tif");
  DibHandle src = test::MakePatterned(11, 7, 8, 4);
  ASSERT_EQ(EncodeTIF(nullptr, dir.path("ours.tif"), src.get(), nullptr, 5, 0, 300), kOk);
  ASSERT_EQ(test::RunPeer({"tifftopnm", dir.path("ours.tif")}, {}, dir.path("ours.ppm")), 0);
  DibHandle seen = test::ReadPnmFile(dir.path("ours.ppm"));
  ASSERT_NE(seen, nullptr);
  std::string why;
  EXPECT_TRUE(test::SameColours(*src, *seen, 0, &why)) << why;

  DibHandle rgb = test::MakePatterned(9, 5, 24, 6);
  ASSERT_TRUE(test::WritePnmFile(*rgb, dir.path("in.ppm")));
  ASSERT_EQ(test::RunPeer({"pamtotiff", "-lzw", dir.path("in.ppm")}, {}, dir.path("theirs.tif")), 0);
  DibHandle back;
  ASSERT_EQ(DecodeTIF(nullptr, dir.path("theirs.tif"), &back, nullptr), kOk);
  EXPECT_TRUE(test::SameColours(*rgb, *back, 0, &why)) << why;
}

TEST(TiffPeer, TiledFileFromThePeerReadsThroughRgba) {
  KM_REQUIRE_PEER_CONVERT();
  test::TempFolder dir("tif");
  DibHandle rgb = test::MakePatterned(40, 20, 24, 7);
  ASSERT_TRUE(test::PeerWrite(*rgb, dir.path("tiled.tif"), {"-compress", "LZW", "-define", "tiff:tile-geometry=16x16"}));
  DibHandle back;
  ASSERT_EQ(DecodeTIF(nullptr, dir.path("tiled.tif"), &back, nullptr), kOk);
  std::string why;
  EXPECT_TRUE(test::SameColours(*rgb, *back, 0, &why)) << why;
}

}  // namespace
}  // namespace km::imgx
