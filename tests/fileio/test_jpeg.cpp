#include <gtest/gtest.h>

#include "fileio/imgx/Imgx.h"
#include "CodecTestUtil.h"
#include "support/PeerTools.h"

namespace km::imgx {
namespace {

// JPEG is lossy: smooth pictures at quality 100 come back within this many levels a
// channel (measured worst case 4 across the cases below; chroma subsampling is the
// main loss).
constexpr int kTolerance = 6;

// Gentle slopes: sharp colour edges lose more to chroma subsampling.
DibHandle Gradient(int w, int h) {
  DibHandle dib = test::MakeDib(w, h, 24);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const auto r = static_cast<std::uint32_t>(40 + 3 * x);
      const auto g = static_cast<std::uint32_t>(60 + 5 * y);
      test::SetPixel(*dib, x, y, r << 16 | g << 8 | 128);
    }
  }
  return dib;
}

DibHandle GreyGradient(int w, int h) {
  DibHandle dib = test::MakeGrey(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      test::SetPixel(*dib, x, y, static_cast<std::uint32_t>((x + y) * 255 / (w + h - 2)));
    }
  }
  return dib;
}

// The byte offsets of a marker (0xFF, code) in a JPEG file, or npos.
std::size_t FindMarker(const std::vector<std::uint8_t>& f, std::uint8_t code) {
  for (std::size_t i = 0; i + 1 < f.size(); ++i) {
    if (f[i] == 0xFF && f[i + 1] == code) {
      return i;
    }
  }
  return std::string::npos;
}

struct JpegCase {
  int width;
  bool grey;
  bool progressive;
};

class JpegRoundTrip : public testing::TestWithParam<JpegCase> {};

TEST_P(JpegRoundTrip, ComesBackWithinTolerance) {
  const JpegCase c = GetParam();
  test::TempFolder dir("jpg");
  DibHandle src = c.grey ? GreyGradient(c.width, 12) : Gradient(c.width, 12);
  ASSERT_EQ(EncodeJPG(nullptr, dir.path("x.jpg"), src.get(), 100, 300, c.progressive), kOk);
  DibHandle back;
  ASSERT_EQ(DecodeJPG(nullptr, dir.path("x.jpg"), &back), kOk);
  EXPECT_EQ(back->bitCount(), c.grey ? 8 : 24);
  EXPECT_EQ(IsDIBGreyScaled(back.get()), c.grey);
  std::string why;
  EXPECT_TRUE(test::SameColours(*src, *back, kTolerance, &why)) << why;
  // 300 dots per inch in the JFIF header: 11811 pixels a metre.
  EXPECT_EQ(back->header().biXPelsPerMeter, 11811);
  const auto bytes = test::ReadBytes(dir.path("x.jpg"));
  const std::size_t sof = FindMarker(bytes, c.progressive ? 0xC2 : 0xC0);
  ASSERT_NE(sof, std::string::npos);
  EXPECT_EQ(bytes[sof + 9], c.grey ? 1 : 3);  // component count
}

INSTANTIATE_TEST_SUITE_P(Kinds, JpegRoundTrip,
                         testing::Values(JpegCase{1, false, false}, JpegCase{7, false, false},
                                         JpegCase{33, false, true}, JpegCase{17, true, false},
                                         JpegCase{9, true, true}),
                         [](const auto& i) {
                           return std::to_string(i.param.width) + (i.param.grey ? "Grey" : "Colour") +
                                  (i.param.progressive ? "Progressive" : "Baseline");
                         });

TEST(Jpeg, QualityScalesTheQuantisationTable) {
  // Quality 100 turns every entry into 1; quality 50 keeps the standard luminance
  // table, whose first entry is 16; quality 85 scales it by 30%: (16 * 30 + 50) / 100 = 5.
  test::TempFolder dir("jpg");
  DibHandle src = Gradient(8, 8);
  for (auto [quality, first] : {std::pair{100, 1}, std::pair{50, 16}, std::pair{85, 5}}) {
    ASSERT_EQ(EncodeJPG(nullptr, dir.path("q.jpg"), src.get(), quality, 72, 0), kOk);
    const auto bytes = test::ReadBytes(dir.path("q.jpg"));
    const std::size_t dqt = FindMarker(bytes, 0xDB);
    ASSERT_NE(dqt, std::string::npos);
    EXPECT_EQ(bytes[dqt + 5], first) << "quality " << quality;
  }
}

TEST(Jpeg, PaletteImagesAreRefused) {
  test::TempFolder dir("jpg");
  DibHandle pal = test::MakePatterned(4, 4, 8, 1);
  EXPECT_EQ(EncodeJPG(nullptr, dir.path("x.jpg"), pal.get(), 90, 72, 0), kDepthNotWritable);
  EXPECT_FALSE(std::filesystem::exists(dir.path("x.jpg")));
}

TEST(JpegPeer, PeerAndWeDecodeTheSameFilesAlike) {
  KM_REQUIRE_PEER_CONVERT();
  test::TempFolder dir("jpg");
  DibHandle src = Gradient(21, 13);
  ASSERT_EQ(EncodeJPG(nullptr, dir.path("ours.jpg"), src.get(), 90, 96, 1), kOk);
  DibHandle ours;
  ASSERT_EQ(DecodeJPG(nullptr, dir.path("ours.jpg"), &ours), kOk);
  DibHandle seen = test::PeerRead(dir.path("ours.jpg"));
  ASSERT_NE(seen, nullptr);
  std::string why;
  EXPECT_TRUE(test::SameColours(*ours, *seen, 1, &why)) << why;

  ASSERT_TRUE(test::PeerWrite(*src, dir.path("theirs.jpg"), {"-quality", "92"}));
  DibHandle back;
  ASSERT_EQ(DecodeJPG(nullptr, dir.path("theirs.jpg"), &back), kOk);
  DibHandle theirs = test::PeerRead(dir.path("theirs.jpg"));
  ASSERT_NE(theirs, nullptr);
  EXPECT_TRUE(test::SameColours(*theirs, *back, 1, &why)) << why;
  EXPECT_TRUE(test::SameColours(*src, *back, 12, &why)) << why;
}

}  // namespace
}  // namespace km::imgx
