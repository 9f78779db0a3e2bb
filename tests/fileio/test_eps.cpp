// EPS output: the PostScript rendered by Ghostscript at 72 dpi must show exactly the
// samples the writer promises (grey levels worked out by hand), for every sub-type,
// and the binary header must point at the PostScript and at a readable TIFF preview.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "fileio/imgx/ByteIO.h"
#include "fileio/imgx/FileBytes.h"
#include "fileio/imgx/Imgx.h"
#include "support/DibTestUtil.h"
#include "support/PeerTools.h"

namespace km::imgx {
namespace {

using km::test::GetPixel;
using km::test::SetPixel;

class EpsTest : public ::testing::Test {
protected:
  void SetUp() override { dir_ = km::test::MakeTempDir("eps"); }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Ghostscript's rendering of the file on the given device (ppmraw or pbmraw).
  DibHandle Render(const std::string& eps, const std::string& device) {
    const std::string out = dir_ + "/render.pnm";
    const int rc = km::test::RunPeer({"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-dEPSCrop", "-r72",
                                      "-sDEVICE=" + device, "-sOutputFile=" + out, eps});
    EXPECT_EQ(rc, 0);
    return km::test::ReadPnmFile(out);
  }
  std::string dir_;
};

// A 7 x 3 picture whose colours have grey levels worked out by hand.
DibHandle Colourful(int bits) {
  DibHandle dib = km::test::MakeDib(7, 3, bits);
  if (bits != 24) {
    dib->colors()[0] = RgbQuad{50, 100, 200, 0};   // grey (6000 + 5900 + 550) / 100 = 124
    dib->colors()[1] = RgbQuad{255, 255, 255, 0};  // 255
    if (bits >= 4) {
      dib->colors()[2] = RgbQuad{0, 0, 255, 0};    // 76
      dib->colors()[3] = RgbQuad{255, 0, 0, 0};    // 28
    }
  }
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 7; ++x) {
      const std::uint32_t v = static_cast<std::uint32_t>((x + y) % (bits == 1 ? 2 : 4));
      if (bits == 24) {
        const std::uint32_t rgb[4] = {0xC86432u, 0xFFFFFFu, 0xFF0000u, 0x0000FFu};
        SetPixel(*dib, x, y, rgb[v]);
      } else {
        SetPixel(*dib, x, y, v);
      }
    }
  }
  return dib;
}

struct Case {
  int bits;
  int grey;
  int monochrome;
  const char* device;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.bits << " bits, grey " << c.grey << ", monochrome " << c.monochrome;
}

class EpsRender : public EpsTest, public ::testing::WithParamInterface<std::tuple<Case, int>> {};

TEST_P(EpsRender, GhostscriptShowsTheSamples) {
  KM_REQUIRE_PEER("gs");
  const auto [c, preview] = GetParam();
  DibHandle src = Colourful(c.bits);
  const std::string eps = dir_ + "/t.eps";
  ASSERT_EQ(EncodeEPS(nullptr, eps, src.get(), c.grey, c.monochrome, preview), kOk);
  // Grey output is rendered in colour: Ghostscript's grey device rounds odd levels.
  DibHandle seen = Render(eps, std::string(c.device) == "grey" ? "ppmraw" : c.device);
  ASSERT_NE(seen, nullptr);
  ASSERT_EQ(seen->width(), 7);
  ASSERT_EQ(seen->height(), 3);
  const std::vector<std::uint32_t> want = km::test::RgbPixels(*src);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 7; ++x) {
      const std::uint32_t rgb = want[static_cast<std::size_t>(y) * 7 + x];
      const int r = static_cast<int>(rgb >> 16), g = static_cast<int>((rgb >> 8) & 0xFF),
                b = static_cast<int>(rgb & 0xFF);
      const int level = (30 * r + 59 * g + 11 * b) / 100;
      const std::uint32_t got = GetPixel(*seen, x, y);
      if (std::string(c.device) == "pbmraw") {
        EXPECT_EQ(got, level >= 128 ? 0u : 1u) << x << "," << y;  // PBM: 1 is black
      } else if (std::string(c.device) == "grey") {
        EXPECT_EQ(got, static_cast<std::uint32_t>(level) * 0x010101u) << x << "," << y;
      } else {
        EXPECT_EQ(got, rgb) << x << "," << y;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    SubTypes, EpsRender,
    ::testing::Combine(::testing::Values(Case{1, 0, 1, "pbmraw"}, Case{4, 0, 1, "grey"}, Case{24, 0, 1, "grey"},
                                         Case{8, 1, 0, "grey"}, Case{24, 1, 0, "grey"},
                                         Case{1, 0, 0, "ppmraw"}, Case{4, 0, 0, "ppmraw"},
                                         Case{8, 0, 0, "ppmraw"}, Case{24, 0, 0, "ppmraw"}),
                       ::testing::Values(0, 1)),
    [](const ::testing::TestParamInfo<std::tuple<Case, int>>& info) {
      const Case& c = std::get<0>(info.param);
      return std::to_string(c.bits) + "bit_" + (c.monochrome != 0 ? "mono" : c.grey != 0 ? "grey" : "colour") +
             (std::get<1>(info.param) != 0 ? "_preview" : "");
    });

TEST_F(EpsTest, GreyImageKeepsItsLevels) {
  KM_REQUIRE_PEER("gs");
  DibHandle src = km::test::MakeGrey(13, 5);
  km::test::FillRandom(*src, 4u);
  const std::string eps = dir_ + "/g.eps";
  ASSERT_EQ(EncodeEPS(nullptr, eps, src.get(), 1, 0, 0), kOk);
  DibHandle seen = Render(eps, "ppmraw");
  ASSERT_NE(seen, nullptr);
  std::string why;
  EXPECT_TRUE(km::test::SameColours(*src, *seen, 0, &why)) << why;
}

class EpsPreview : public EpsTest, public ::testing::WithParamInterface<int> {};

TEST_P(EpsPreview, BinaryHeaderPointsAtPostScriptAndPreview) {
  DibHandle src = Colourful(GetParam());
  const std::string eps = dir_ + "/p.eps";
  ASSERT_EQ(EncodeEPS(nullptr, eps, src.get(), 0, 0, 1), kOk);
  std::vector<std::uint8_t> bytes;
  ASSERT_EQ(ReadFileBytes(eps, &bytes), kOk);
  ByteReader in(bytes);
  EXPECT_EQ(in.u32le(), 0xC6D3D0C5u);
  const std::uint32_t psAt = in.u32le();
  const std::uint32_t psLen = in.u32le();
  EXPECT_EQ(in.u32le(), 0u);
  EXPECT_EQ(in.u32le(), 0u);
  const std::uint32_t tiffAt = in.u32le();
  const std::uint32_t tiffLen = in.u32le();
  EXPECT_EQ(in.u16le(), 0xFFFFu);
  EXPECT_EQ(psAt, 30u);
  EXPECT_EQ(tiffAt, psAt + psLen);
  ASSERT_EQ(static_cast<std::size_t>(tiffAt) + tiffLen, bytes.size());
  EXPECT_EQ(std::string(bytes.begin() + psAt, bytes.begin() + psAt + 23), "%!PS-Adobe-3.0 EPSF-3.0");

  const std::string tif = dir_ + "/preview.tif";
  ASSERT_EQ(WriteFileBytes(tif, std::vector<std::uint8_t>(bytes.begin() + tiffAt, bytes.end())), kOk);
  TIFF* t = TIFFOpen(tif.c_str(), "r");
  ASSERT_NE(t, nullptr);
  std::vector<std::uint32_t> raster(7 * 3);
  ASSERT_EQ(TIFFReadRGBAImageOriented(t, 7, 3, raster.data(), ORIENTATION_TOPLEFT, 0), 1);
  TIFFClose(t);
  const std::vector<std::uint32_t> want = km::test::RgbPixels(*src);
  for (std::size_t i = 0; i < raster.size(); ++i) {
    const std::uint32_t rgb = (TIFFGetR(raster[i]) << 16) | (TIFFGetG(raster[i]) << 8) | TIFFGetB(raster[i]);
    EXPECT_EQ(rgb, want[i]) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, EpsPreview, ::testing::Values(1, 4, 8, 24));

}  // namespace
}  // namespace km::imgx
