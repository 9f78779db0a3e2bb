// Macintosh pictures: hand-built version 2 pictures (byte and word PackBits runs,
// skipped opcodes), round trips for every depth, peer checks and the bad-file corpus.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fileio/LegacyBadFiles.h"
#include "fileio/imgx/FileBytes.h"
#include "fileio/imgx/Imgx.h"
#include "support/DibTestUtil.h"
#include "support/PeerTools.h"

namespace km::imgx {
namespace {

using km::test::GetPixel;

struct Pict {
  std::vector<std::uint8_t> b = std::vector<std::uint8_t>(512, 0);
  void u8(unsigned v) { b.push_back(static_cast<std::uint8_t>(v)); }
  void u16(unsigned v) { u8(v >> 8); u8(v & 0xFF); }
  void u32(std::uint32_t v) { u16(v >> 16); u16(v & 0xFFFF); }
  void rect(int w, int h) { u16(0); u16(0); u16(h); u16(w); }
  void start(int w, int h) {
    u16(0);
    rect(w, h);
    u16(0x0011);
    u16(0x02FF);
    u16(0x0C00);
    for (int i = 0; i < 24; ++i) u8(0);
  }
  void pixmap(int rowBytes, int w, int h, int packType, int pixelSize, int cmpCount) {
    u16(rowBytes | 0x8000);
    rect(w, h);
    u16(0);
    u16(packType);
    u32(0);
    u32(0x480000);
    u32(0x480000);
    u16(0);
    u16(pixelSize);
    u16(cmpCount);
    u16(8);
    u32(0);
    u32(0);
    u32(0);
  }
  void align() { if ((b.size() & 1) != 0) u8(0); }
};

class PictTest : public ::testing::Test {
protected:
  void SetUp() override { dir_ = km::test::MakeTempDir("pict"); }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Write(const std::vector<std::uint8_t>& bytes, const std::string& name = "t.pct") {
    const std::string path = dir_ + "/" + name;
    EXPECT_EQ(WriteFileBytes(path, bytes), kOk);
    return path;
  }
  std::string dir_;
};

TEST_F(PictTest, PackBitsRectWithSkippedOpcodes) {
  // 10 x 2, 8 bits, rowBytes 10 (packed). Row 0: run of 10 x 3. Row 1: literal 0..4
  // then run of 5 x 7.
  Pict p;
  p.start(10, 2);
  p.u16(0x001E);                                    // DefHilite, no data
  p.u16(0x001A); p.u16(1); p.u16(2); p.u16(3);      // RGBFgCol
  p.u16(0x00A1); p.u16(100); p.u16(3); p.u8('a'); p.u8('b'); p.u8('c'); p.align();  // LongComment
  p.u16(0x0001); p.u16(10); p.rect(10, 2);          // Clip
  p.u16(0x8201); p.u32(2); p.u16(0);                // reserved, 32-bit length
  p.u16(0x0098);
  p.pixmap(10, 10, 2, 0, 8, 1);
  p.u32(0); p.u16(0); p.u16(7);                     // 8 table entries
  for (int i = 0; i < 8; ++i) { p.u16(i); p.u16(i * 0x2000); p.u16(0xFFFF); p.u16(0); }
  p.rect(10, 2); p.rect(10, 2); p.u16(0);
  p.u8(2); p.u8(0xF7); p.u8(3);                     // -9 -> 10 copies of 3
  p.u8(8); p.u8(4); p.u8(0); p.u8(1); p.u8(2); p.u8(3); p.u8(4); p.u8(0xFC); p.u8(7);
  p.align();
  p.u16(0x00FF);
  DibHandle dib;
  ASSERT_EQ(DecodePICT(nullptr, Write(p.b), &dib), kOk);
  ASSERT_EQ(ValidateDib(dib.get()), kOk);
  ASSERT_EQ(dib->bitCount(), 8);
  for (int x = 0; x < 10; ++x) {
    EXPECT_EQ(GetPixel(*dib, x, 0), 3u);
    EXPECT_EQ(GetPixel(*dib, x, 1), x < 5 ? static_cast<std::uint32_t>(x) : 7u);
  }
  EXPECT_EQ(dib->colors()[3].rgbRed, 0x60);
  EXPECT_EQ(dib->colors()[3].rgbGreen, 0xFF);
}

TEST_F(PictTest, DirectBitsSixteenBitWordRuns) {
  // 5 x 1, 16 bits, rowBytes 10, packType 3: a word run of 3 then 2 literal words.
  Pict p;
  p.start(5, 1);
  p.u16(0x009A);
  p.u32(0xFF);
  p.pixmap(10, 5, 1, 3, 16, 3);
  p.rect(5, 1); p.rect(5, 1); p.u16(0);
  p.u8(8);
  p.u8(0xFE); p.u16(0x7C00);                        // 3 x pure red
  p.u8(1); p.u16(0x03E0); p.u16(0x0421);            // green, then (1,1,1)
  p.align();
  p.u16(0x00FF);
  DibHandle dib;
  ASSERT_EQ(DecodePICT(nullptr, Write(p.b), &dib), kOk);
  ASSERT_EQ(dib->bitCount(), 24);
  EXPECT_EQ(GetPixel(*dib, 0, 0), 0xFF0000u);
  EXPECT_EQ(GetPixel(*dib, 2, 0), 0xFF0000u);
  EXPECT_EQ(GetPixel(*dib, 3, 0), 0x00FF00u);
  EXPECT_EQ(GetPixel(*dib, 4, 0), 0x080808u);  // 1 -> 00001 000 = 8
}

TEST_F(PictTest, TwoBandsAreComposedOnTheFrame) {
  // A 4 x 2 frame drawn as two 4 x 1 DirectBitsRect bands of unpacked 32-bit pixels.
  Pict p;
  p.start(4, 2);
  for (int band = 0; band < 2; ++band) {
    p.u16(0x009A);
    p.u32(0xFF);
    p.pixmap(16, 4, 1, 1, 32, 3);
    p.rect(4, 1);
    p.u16(band); p.u16(0); p.u16(band + 1); p.u16(4);  // destination row `band`
    p.u16(0);
    for (int x = 0; x < 4; ++x) { p.u8(0); p.u8(band * 100); p.u8(x * 10); p.u8(5); }
  }
  p.u16(0x00FF);
  DibHandle dib;
  ASSERT_EQ(DecodePICT(nullptr, Write(p.b), &dib), kOk);
  ASSERT_EQ(dib->width(), 4);
  ASSERT_EQ(dib->height(), 2);
  EXPECT_EQ(GetPixel(*dib, 3, 0), 0x001E05u);
  EXPECT_EQ(GetPixel(*dib, 2, 1), 0x641405u);
}

TEST_F(PictTest, VersionOneBitmapWithoutTheApplicationHeader) {
  // Byte opcodes: version 1, a short comment, then a 10 x 2 bitmap (rowBytes 2, so
  // unpacked), 0 white and 1 black.
  std::vector<std::uint8_t> b = {0, 0, 0, 0, 0, 0, 0, 2, 0, 10, 0x11, 0x01, 0xA0, 0, 5, 0x98, 0, 2};
  const std::uint8_t rects[] = {0, 0, 0, 0, 0, 2, 0, 10};
  for (int i = 0; i < 3; ++i) b.insert(b.end(), std::begin(rects), std::end(rects));  // bounds, src, dst
  b.insert(b.end(), {0, 0, 0xC0, 0x40, 0x01, 0x80, 0xFF});
  DibHandle dib;
  ASSERT_EQ(DecodePICT(nullptr, Write(b), &dib), kOk);
  ASSERT_EQ(dib->bitCount(), 1);
  EXPECT_EQ(dib->colors()[0].rgbRed, 255);
  EXPECT_EQ(dib->colors()[1].rgbRed, 0);
  const std::uint32_t top[10] = {1, 1, 0, 0, 0, 0, 0, 0, 0, 1};
  for (int x = 0; x < 10; ++x) {
    EXPECT_EQ(GetPixel(*dib, x, 0), top[x]) << x;
    EXPECT_EQ(GetPixel(*dib, x, 1), x == 7 || x == 8 ? 1u : 0u) << x;
  }
}

TEST_F(PictTest, TwoBitPixmapWidensToFourBits) {
  Pict p;
  p.start(5, 1);
  p.u16(0x0098);
  p.pixmap(2, 5, 1, 0, 2, 1);
  p.u32(0); p.u16(0); p.u16(3);
  for (int i = 0; i < 4; ++i) { p.u16(i); p.u16(i * 0x5555); p.u16(0); p.u16(0); }
  p.rect(5, 1); p.rect(5, 1); p.u16(0);
  p.u8(0x1B); p.u8(0x80);  // 0 1 2 3 2
  p.u16(0x00FF);
  DibHandle dib;
  ASSERT_EQ(DecodePICT(nullptr, Write(p.b), &dib), kOk);
  ASSERT_EQ(dib->bitCount(), 4);
  const std::uint32_t want[5] = {0, 1, 2, 3, 2};
  for (int x = 0; x < 5; ++x) {
    EXPECT_EQ(GetPixel(*dib, x, 0), want[x]);
  }
  EXPECT_EQ(dib->colors()[2].rgbRed, 0xAA);
}

class PictRoundTrip : public PictTest, public ::testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(PictRoundTrip, PixelsAndTableSurvive) {
  const auto [bits, width] = GetParam();
  DibHandle src = km::test::MakeDib(width, 5, bits);
  for (int i = 0; i < src->colorCount(); ++i) {
    src->colors()[i] = RgbQuad{static_cast<std::uint8_t>(i * 3), static_cast<std::uint8_t>(255 - i),
                               static_cast<std::uint8_t>(i * 7), 0};
  }
  km::test::FillRandom(*src, 5u + bits + width);
  for (int x = 0; x < width / 2; ++x) {
    km::test::SetPixel(*src, x, 2, bits == 24 ? 0x123456u : 1u);  // runs for the packer
  }
  const std::string path = dir_ + "/rt.pct";
  ASSERT_EQ(EncodePICT(nullptr, path, src.get(), 1), kOk);
  DibHandle back;
  ASSERT_EQ(DecodePICT(nullptr, path, &back), kOk);
  std::string why;
  EXPECT_TRUE(km::test::SamePixels(*src, *back, &why)) << why;
}

INSTANTIATE_TEST_SUITE_P(Depths, PictRoundTrip,
                         ::testing::Combine(::testing::Values(1, 4, 8, 24), ::testing::Values(1, 13, 301)));

TEST_F(PictTest, PeerReadsWhatWeWrite) {
  KM_REQUIRE_PEER_CONVERT();
  for (const int bits : {1, 4, 8, 24}) {
    DibHandle src = km::test::MakeDib(21, 6, bits);
    for (int i = 0; i < src->colorCount(); ++i) {
      src->colors()[i] = RgbQuad{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i / 2), 200, 0};
    }
    km::test::FillRandom(*src, 9u);
    const std::string path = dir_ + "/peer" + std::to_string(bits) + ".pct";
    ASSERT_EQ(EncodePICT(nullptr, path, src.get(), 1), kOk);
    DibHandle seen = km::test::PeerRead(path);
    ASSERT_NE(seen, nullptr) << bits;
    std::string why;
    EXPECT_TRUE(km::test::SameColours(*src, *seen, 0, &why)) << bits << ": " << why;
  }
}

TEST_F(PictTest, WeReadWhatPeersWrite) {
  DibHandle src = km::test::MakeRgb(19, 7, 0, 0, 0);
  km::test::FillRandom(*src, 3u);
  const std::string ppm = dir_ + "/src.ppm";
  ASSERT_TRUE(km::test::WritePnmFile(*src, ppm));
  if (km::test::HavePeer("ppmtopict")) {
    // ppmtopict wants at most 256 colours: use a four-colour picture.
    DibHandle few = km::test::MakeRgb(19, 7, 10, 20, 30);
    for (int x = 0; x < 19; ++x) {
      km::test::SetPixel(*few, x, x % 7, x % 2 == 0 ? 0xFF0000u : 0x00FF80u);
    }
    const std::string fewPpm = dir_ + "/few.ppm";
    ASSERT_TRUE(km::test::WritePnmFile(*few, fewPpm));
    const std::string pict = dir_ + "/netpbm.pct";
    ASSERT_EQ(km::test::RunPeer({"ppmtopict"}, fewPpm, pict), 0);
    DibHandle back;
    ASSERT_EQ(DecodePICT(nullptr, pict, &back), kOk);
    std::string why;
    EXPECT_TRUE(km::test::SameColours(*few, *back, 0, &why)) << why;
  }
  if (!km::test::PeerConverter().empty()) {
    const std::string pict = dir_ + "/magick.pct";
    ASSERT_TRUE(km::test::PeerWrite(*src, pict));
    DibHandle back;
    ASSERT_EQ(DecodePICT(nullptr, pict, &back), kOk);
    std::string why;
    EXPECT_TRUE(km::test::SameColours(*src, *back, 0, &why)) << why;
  }
}

TEST(PictBadFiles, EveryFileGivesACodeAndNoImage) {
  km::test::ExpectBadCorpus("pict", [](const std::string& path, DibHandle* out) {
    return DecodePICT(nullptr, path, out);
  });
}

}  // namespace
}  // namespace km::imgx
