#include <gtest/gtest.h>

#include <cstring>

#include "fileio/imgx/Imgx.h"
#include "CodecTestUtil.h"
#include "support/PeerTools.h"

namespace km::imgx {
namespace {

struct PngCase {
  int bits;  // 8 with grey = greyscale
  bool grey;
  bool interlaced;
  int width;
};

std::vector<PngCase> Cases() {
  std::vector<PngCase> v;
  for (int bits : {1, 4, 8, 24}) {
    for (bool interlaced : {false, true}) {
      for (int width : {1, 5, 17}) {
        v.push_back({bits, false, interlaced, width});
      }
    }
  }
  v.push_back({8, true, false, 9});
  v.push_back({8, true, true, 9});
  return v;
}

class PngRoundTrip : public testing::TestWithParam<PngCase> {};

TEST_P(PngRoundTrip, ReadsBackIdenticalPixels) {
  const PngCase c = GetParam();
  test::TempFolder dir("png");
  DibHandle src = c.grey ? test::MakeGrey(c.width, 7) : test::MakePatterned(c.width, 7, c.bits, 21);
  if (c.grey) {
    test::FillRandom(*src, 4);
  }
  ASSERT_EQ(EncodePNG(nullptr, dir.path("x.png"), src.get(), nullptr, 5, c.interlaced, c.grey, -1), kOk);
  DibHandle back;
  ExtraHandle extra;
  std::int16_t t = 0;
  ASSERT_EQ(DecodePNG(nullptr, dir.path("x.png"), &back, &extra, &t), kOk);
  std::string why;
  EXPECT_TRUE(test::SamePixels(*src, *back, &why)) << why;
  EXPECT_EQ(t, -1);
  ASSERT_NE(extra, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Depths, PngRoundTrip, testing::ValuesIn(Cases()), [](const auto& i) {
  return std::to_string(i.param.bits) + (i.param.grey ? "grey" : "bit") + (i.param.interlaced ? "Interlaced" : "") +
         std::to_string(i.param.width) + "wide";
});

// A small ICC profile libpng accepts: an RGB display header, one tag, and body bytes
// that do not compress to almost nothing (libpng reads such a profile as too short).
std::vector<std::uint8_t> TinyProfile() {
  std::vector<std::uint8_t> p(256, 0);
  p[2] = 1;
  p[131] = 1;
  std::memcpy(&p[132], "desc", 4);
  p[139] = 144;
  p[143] = 16;
  for (std::size_t k = 144; k < p.size(); ++k) {
    p[k] = static_cast<std::uint8_t>(k * 7919 % 251);
  }
  p[8] = 2;
  p[9] = 0x10;
  const char* fields[] = {"mntr", "RGB ", "XYZ "};
  for (int i = 0; i < 3; ++i) {
    std::memcpy(&p[12 + 4 * i], fields[i], 4);
  }
  std::memcpy(&p[36], "acsp", 4);
  const std::uint8_t d50[12] = {0, 0, 0xF6, 0xD6, 0, 1, 0, 0, 0, 0, 0xD3, 0x2D};
  std::memcpy(&p[68], d50, 12);
  return p;
}

TEST(Png, TransparentIndexAndExtraSurviveARoundTrip) {
  test::TempFolder dir("png");
  DibHandle src = test::MakePatterned(6, 4, 8, 2);
  ImageExtra extra;
  extra.xDpi = 300;
  extra.yDpi = 150;
  extra.iccProfile = TinyProfile();
  extra.text = {{"Title", "kiln"}, {"Comment", "two words"}};
  ASSERT_EQ(EncodePNG(nullptr, dir.path("x.png"), src.get(), &extra, 5, 0, 0, 3), kOk);
  DibHandle back;
  ExtraHandle kept;
  std::int16_t t = -1;
  ASSERT_EQ(DecodePNG(nullptr, dir.path("x.png"), &back, &kept, &t), kOk);
  EXPECT_EQ(t, 3);
  ASSERT_NE(kept, nullptr);
  // 300 dpi is stored as 11811 pixels a metre (299.9994 dpi), 150 as 5906 (150.0124).
  EXPECT_NEAR(kept->xDpi, 300, 0.01);
  EXPECT_NEAR(kept->yDpi, 150, 0.02);
  EXPECT_EQ(back->header().biXPelsPerMeter, 11811);
  EXPECT_EQ(kept->iccProfile, extra.iccProfile);
  EXPECT_EQ(kept->text, extra.text);
}

TEST(Png, AProfileLibpngRefusesIsDroppedNotFatal) {
  test::TempFolder dir("png");
  DibHandle src = test::MakePatterned(2, 2, 24, 2);
  ImageExtra extra;
  extra.iccProfile = std::vector<std::uint8_t>(200, 7);
  ASSERT_EQ(EncodePNG(nullptr, dir.path("x.png"), src.get(), &extra, 5, 0, 0, -1), kOk);
  DibHandle back;
  ExtraHandle kept;
  ASSERT_EQ(DecodePNG(nullptr, dir.path("x.png"), &back, &kept, nullptr), kOk);
  EXPECT_TRUE(kept->iccProfile.empty());
}

TEST(Png, GreyTransparentLevel) {
  test::TempFolder dir("png");
  DibHandle src = test::MakeGrey(3, 3, 40);
  ASSERT_EQ(EncodePNG(nullptr, dir.path("x.png"), src.get(), nullptr, 5, 0, 1, 40), kOk);
  DibHandle back;
  std::int16_t t = -1;
  ASSERT_EQ(DecodePNG(nullptr, dir.path("x.png"), &back, nullptr, &t), kOk);
  EXPECT_EQ(t, 40);
  EXPECT_TRUE(IsDIBGreyScaled(back.get()));
}

TEST(PngPeer, PeerReadsOursAndWeReadTheirs) {
  KM_REQUIRE_PEER_CONVERT();
  test::TempFolder dir("png");
  DibHandle src = test::MakePatterned(9, 5, 4, 6);
  ASSERT_EQ(EncodePNG(nullptr, dir.path("ours.png"), src.get(), nullptr, 5, 1, 0, -1), kOk);
  DibHandle seen = test::PeerRead(dir.path("ours.png"));
  ASSERT_NE(seen, nullptr);
  std::string why;
  EXPECT_TRUE(test::SameColours(*src, *seen, 0, &why)) << why;

  DibHandle rgb = test::MakePatterned(7, 6, 24, 3);
  ASSERT_TRUE(test::PeerWrite(*rgb, dir.path("theirs.png"), {"-interlace", "PNG"}));
  DibHandle back;
  ASSERT_EQ(DecodePNG(nullptr, dir.path("theirs.png"), &back, nullptr, nullptr), kOk);
  EXPECT_TRUE(test::SameColours(*rgb, *back, 0, &why)) << why;
}

TEST(PngPeer, TwoBitPaletteFromNetpbmWidensToFourBits) {
  KM_REQUIRE_PEER("pnmtopng");
  test::TempFolder dir("png");
  // Four colours make pnmtopng choose a 2-bit palette.
  DibHandle src = test::MakeDib(5, 3, 4, 4);
  for (int i = 0; i < 4; ++i) {
    src->colors()[i] = RgbQuad{static_cast<std::uint8_t>(60 * i), 10, 200, 0};
  }
  test::FillRandom(*src, 12);
  ASSERT_TRUE(test::WritePnmFile(*src, dir.path("in.ppm")));
  ASSERT_EQ(test::RunPeer({"pnmtopng"}, dir.path("in.ppm"), dir.path("theirs.png")), 0);
  DibHandle back;
  ASSERT_EQ(DecodePNG(nullptr, dir.path("theirs.png"), &back, nullptr, nullptr), kOk);
  EXPECT_EQ(back->bitCount(), 4);
  std::string why;
  EXPECT_TRUE(test::SameColours(*src, *back, 0, &why)) << why;
}

}  // namespace
}  // namespace km::imgx
