#include <gtest/gtest.h>

#include <tuple>

#include "fileio/CodecTestKit.h"
#include "fileio/imgx/Imgx.h"
#include "support/PeerTools.h"

namespace km::test {
namespace {

using imgx::DecodeTGA;
using imgx::EncodeTGA;

imgx::Code Decode(const std::string& path, DibHandle* out) { return DecodeTGA(nullptr, path, out, nullptr); }

Bytes TgaHeader(int mapType, int imageType, int mapFirst, int mapLength, int mapBits, int width, int height,
                int pixelBits, int descriptor) {
  Bytes b = {0, static_cast<std::uint8_t>(mapType), static_cast<std::uint8_t>(imageType)};
  Put16le(b, static_cast<unsigned>(mapFirst));
  Put16le(b, static_cast<unsigned>(mapLength));
  b.push_back(static_cast<std::uint8_t>(mapBits));
  Put32le(b, 0);
  Put16le(b, static_cast<unsigned>(width));
  Put16le(b, static_cast<unsigned>(height));
  b.push_back(static_cast<std::uint8_t>(pixelBits));
  b.push_back(static_cast<std::uint8_t>(descriptor));
  return b;
}

// bits, compressed, width
class TgaRoundTrip : public CodecTest, public testing::WithParamInterface<std::tuple<int, int, int>> {};

TEST_P(TgaRoundTrip, KeepsEveryPixel) {
  const auto [bits, compressed, width] = GetParam();
  DibHandle src = bits == 8 ? RandomPaletteImage(width, 6, 8, 200, 4) : MakeDib(width, 6, 24);
  if (bits != 8) {
    FillRandom(*src, 8);
    // Long runs and a run that reaches the row end exercise the packets.
    for (int x = 0; x < width; ++x) {
      SetPixel(*src, x, 2, 0x123456);
    }
  }
  const std::string path = Path("a.tga");
  ASSERT_EQ(EncodeTGA(nullptr, path, src.get(), nullptr, bits, compressed), imgx::kOk);
  DibHandle back;
  ASSERT_EQ(DecodeTGA(nullptr, path, &back, nullptr), imgx::kOk);
  if (bits == 16) {
    // Five bits a channel: each level c keeps c >> 3, read back as (v << 3) | (v >> 2).
    for (int y = 0; y < 6; ++y) {
      for (int x = 0; x < width; ++x) {
        const std::uint32_t c = GetPixel(*src, x, y);
        std::uint32_t expect = 0;
        for (int shift : {0, 8, 16}) {
          const std::uint32_t v = ((c >> shift) & 0xFF) >> 3;
          expect |= ((v << 3) | (v >> 2)) << shift;
        }
        ASSERT_EQ(GetPixel(*back, x, y), expect) << x << "," << y;
      }
    }
  } else {
    std::string why;
    EXPECT_TRUE(SamePixels(*src, *back, &why)) << why;
  }
}

INSTANTIATE_TEST_SUITE_P(SubTypes, TgaRoundTrip,
                         testing::Combine(testing::Values(8, 16, 24), testing::Values(0, 1),
                                          testing::Values(1, 131)));

TEST_F(CodecTest, TgaWidensPaletteImagesAndRefusesEightBitsFromTrueColour) {
  DibHandle src = RandomPaletteImage(9, 3, 4, 0, 2);
  ASSERT_EQ(EncodeTGA(nullptr, Path("a.tga"), src.get(), nullptr, 24, 1), imgx::kOk);
  DibHandle back;
  ASSERT_EQ(Decode(Path("a.tga"), &back), imgx::kOk);
  EXPECT_TRUE(SameColours(*src, *back));
  DibHandle rgb = MakeRgb(3, 3, 1, 2, 3);
  EXPECT_EQ(EncodeTGA(nullptr, Path("b.tga"), rgb.get(), nullptr, 8, 0), imgx::kDepthNotWritable);
}

TEST_F(CodecTest, TgaReadsOrientationMapOffsetAndGrey) {
  // Colour-mapped, map starting at index 5, top-down and right-to-left, 2 x 2.
  Bytes b = TgaHeader(1, 1, 5, 2, 24, 2, 2, 8, 0x30);
  for (int v : {10, 20, 30, 40, 50, 60}) {
    b.push_back(static_cast<std::uint8_t>(v));
  }
  for (int i : {5, 6, 6, 5}) {
    b.push_back(static_cast<std::uint8_t>(i));
  }
  DibHandle out;
  ASSERT_EQ(DecodeBytes(Decode, "map.tga", b, &out), imgx::kOk);
  EXPECT_EQ(GetPixel(*out, 0, 0), 6u);  // stored right to left
  EXPECT_EQ(GetPixel(*out, 1, 0), 5u);
  EXPECT_EQ(GetPixel(*out, 0, 1), 5u);
  EXPECT_EQ(out->colors()[6].rgbRed, 60);
  EXPECT_EQ(out->colors()[6].rgbBlue, 40);

  b[24] = 4;  // below the map's first index
  EXPECT_EQ(DecodeBytes(Decode, "below.tga", b, &out), imgx::kCorrupt);

  // Grey, run-length: one packet of 3 and a packet of one raw pixel, crossing the row.
  b = TgaHeader(0, 11, 0, 0, 0, 2, 2, 8, 0);
  for (int v : {0x82, 77, 0x00, 9}) {
    b.push_back(static_cast<std::uint8_t>(v));
  }
  ASSERT_EQ(DecodeBytes(Decode, "grey.tga", b, &out), imgx::kOk);
  EXPECT_TRUE(IsDIBGreyScaled(out.get()));
  EXPECT_EQ(GetPixel(*out, 0, 1), 77u);  // bottom row first
  EXPECT_EQ(GetPixel(*out, 0, 0), 77u);
  EXPECT_EQ(GetPixel(*out, 1, 0), 9u);

  b[b.size() - 2] = 0x01;  // a raw packet of two where one pixel is left
  EXPECT_EQ(DecodeBytes(Decode, "past.tga", b, &out), imgx::kCorrupt);
}

TEST_F(CodecTest, TgaRightToLeftHoldsForEveryVerticalOrder) {
  // 3 x 2 true colour, run-length: a run of 4 red then raw green and blue; packets cross
  // the row. Stored order: row A = red red red, row B = red green blue.
  for (const int descriptor : {0x10, 0x30}) {
    Bytes b = TgaHeader(0, 10, 0, 0, 0, 3, 2, 24, descriptor);
    for (int v : {0x83, 0, 0, 255, 0x01, 0, 255, 0, 255, 0, 0}) {
      b.push_back(static_cast<std::uint8_t>(v));
    }
    DibHandle out;
    ASSERT_EQ(DecodeBytes(Decode, "rtl.tga", b, &out), imgx::kOk);
    // Row B shows blue green red from the left; it is the top row when the file is
    // stored bottom-up (0x10) and the bottom row when stored top-down (0x30).
    const std::vector<std::uint32_t> rowB = {0x0000FF, 0x00FF00, 0xFF0000};
    const std::vector<std::uint32_t> rowA = {0xFF0000, 0xFF0000, 0xFF0000};
    std::vector<std::uint32_t> expect = descriptor == 0x10 ? rowB : rowA;
    const std::vector<std::uint32_t>& second = descriptor == 0x10 ? rowA : rowB;
    expect.insert(expect.end(), second.begin(), second.end());
    EXPECT_EQ(RgbPixels(*out), expect) << descriptor;
  }
}

// Two-way interleave stores lines 0, 2, 4 then 1, 3; four-way lines 0, 4, 1, 5, 2, 3.
// One grey pixel a row, each holding ten times its line plus ten; run-length packets
// cross the passes.
TEST_F(CodecTest, TgaInterleavedRowsGoToTheirLines) {
  struct Case {
    int descriptor;
    std::vector<int> stored;
  };
  for (const Case& c : {Case{0x60, {10, 30, 50, 20, 40}}, Case{0xA0, {10, 50, 20, 60, 30, 40}},
                        Case{0x80, {10, 50, 20, 60, 30, 40}}}) {
    const int height = static_cast<int>(c.stored.size());
    Bytes b = TgaHeader(0, 11, 0, 0, 0, 1, height, 8, c.descriptor);
    b.push_back(static_cast<std::uint8_t>(height - 1));  // one raw packet of every row
    b.insert(b.end(), c.stored.begin(), c.stored.end());
    DibHandle out;
    ASSERT_EQ(DecodeBytes(Decode, "il.tga", b, &out), imgx::kOk);
    for (int line = 0; line < height; ++line) {
      // Top-down files (0x20) count lines from the top, the others from the bottom.
      const int y = (c.descriptor & 0x20) != 0 ? line : height - 1 - line;
      EXPECT_EQ(GetPixel(*out, 0, y), static_cast<std::uint32_t>(10 * line + 10)) << c.descriptor << " " << line;
    }
    if (HavePeer("tgatoppm")) {  // netpbm reads the passes the same way
      DibHandle seen = NetpbmRead("tgatoppm", Path("il.tga"));
      ASSERT_NE(seen, nullptr);
      EXPECT_EQ(RgbPixels(*seen), RgbPixels(*out)) << c.descriptor;
    }
  }
}

TEST_F(CodecTest, TgaExtraHandleCarriesIdAuthorAndComment) {
  DibHandle src = MakeRgb(3, 2, 1, 2, 3);
  imgx::ImageExtra extra;
  extra.text = {{"ImageID", "scan 7"}, {"Author", "A. Writer"}, {"Comment", "line one\nline two"}};
  ASSERT_EQ(EncodeTGA(nullptr, Path("a.tga"), src.get(), &extra, 24, 0), imgx::kOk);
  DibHandle back;
  imgx::ExtraHandle got;
  ASSERT_EQ(DecodeTGA(nullptr, Path("a.tga"), &back, &got), imgx::kOk);
  ASSERT_NE(got, nullptr);
  EXPECT_EQ(got->text, extra.text);
}

TEST_F(CodecTest, TgaHeaderFaults) {
  DibHandle out;
  EXPECT_EQ(DecodeBytes(Decode, "zero.tga", TgaHeader(0, 2, 0, 0, 0, 0, 5, 24, 0), &out), imgx::kBadDimensions);
  Bytes b = TgaHeader(0, 2, 0, 0, 0, 65535, 65535, 24, 0);
  b.resize(b.size() + 30, 0);
  EXPECT_EQ(DecodeBytes(Decode, "huge.tga", b, &out), imgx::kTruncated);
  EXPECT_EQ(DecodeBytes(Decode, "depth.tga", TgaHeader(0, 2, 0, 0, 0, 1, 1, 12, 0), &out),
            imgx::kUnsupportedVariant);
  b = TgaHeader(1, 1, 0, 300, 24, 1, 1, 8, 0);
  b.resize(b.size() + 100, 0);
  EXPECT_EQ(DecodeBytes(Decode, "shortmap.tga", b, &out), imgx::kTruncated);
}

TEST_F(CodecTest, TgaPeersReadOursAndWeReadTheirs) {
  KM_REQUIRE_PEER("tgatoppm");
  KM_REQUIRE_PEER("ppmtotga");
  DibHandle src = MakeDib(17, 5, 24);
  FillRandom(*src, 6);
  ASSERT_EQ(EncodeTGA(nullptr, Path("ours.tga"), src.get(), nullptr, 24, 1), imgx::kOk);
  DibHandle seen = NetpbmRead("tgatoppm", Path("ours.tga"));
  ASSERT_NE(seen, nullptr);
  EXPECT_TRUE(SameColours(*src, *seen));

  ASSERT_TRUE(WritePnmFile(*src, Path("in.ppm")));
  ASSERT_EQ(RunPeer({"ppmtotga", "-rgb", Path("in.ppm")}, {}, Path("theirs.tga")), 0);
  DibHandle back;
  ASSERT_EQ(Decode(Path("theirs.tga"), &back), imgx::kOk);
  EXPECT_TRUE(SameColours(*src, *back));

  // Colour-mapped both ways, and grey from the peer.
  DibHandle mapped = RandomPaletteImage(15, 4, 8, 40, 3);
  ASSERT_EQ(EncodeTGA(nullptr, Path("ours8.tga"), mapped.get(), nullptr, 8, 1), imgx::kOk);
  seen = NetpbmRead("tgatoppm", Path("ours8.tga"));
  ASSERT_NE(seen, nullptr);
  EXPECT_TRUE(SameColours(*mapped, *seen));
  ASSERT_TRUE(WritePnmFile(*mapped, Path("in8.ppm")));
  ASSERT_EQ(RunPeer({"ppmtotga", "-cmap", Path("in8.ppm")}, {}, Path("theirs8.tga")), 0);
  ASSERT_EQ(Decode(Path("theirs8.tga"), &back), imgx::kOk);
  EXPECT_EQ(back->bitCount(), 8);
  EXPECT_TRUE(SameColours(*mapped, *back));
  DibHandle grey = MakeGrey(10, 3);
  FillRandom(*grey, 5);
  ASSERT_TRUE(WritePnmFile(*grey, Path("in.pgm"), true));
  ASSERT_EQ(RunPeer({"ppmtotga", "-mono", Path("in.pgm")}, {}, Path("theirsg.tga")), 0);
  ASSERT_EQ(Decode(Path("theirsg.tga"), &back), imgx::kOk);
  EXPECT_TRUE(IsDIBGreyScaled(back.get()));
  EXPECT_TRUE(SamePixels(*grey, *back));
}

}  // namespace
}  // namespace km::test
