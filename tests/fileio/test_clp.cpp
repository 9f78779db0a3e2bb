#include <gtest/gtest.h>

#include "fileio/CodecTestKit.h"
#include "fileio/imgx/Imgx.h"
#include "support/PeerTools.h"

namespace km::test {
namespace {

using imgx::DecodeCLP;
using imgx::EncodeCLP;

imgx::Code Decode(const std::string& path, DibHandle* out) { return DecodeCLP(nullptr, path, out); }

// A BITMAPINFOHEADER.
Bytes InfoHeader(int width, int height, int bits, std::uint32_t compression, std::uint32_t clrUsed) {
  Bytes b;
  Put32le(b, 40);
  Put32le(b, static_cast<std::uint32_t>(width));
  Put32le(b, static_cast<std::uint32_t>(height));
  Put16le(b, 1);
  Put16le(b, static_cast<unsigned>(bits));
  Put32le(b, compression);
  Put32le(b, 0);
  Put32le(b, 0);
  Put32le(b, 0);
  Put32le(b, clrUsed);
  Put32le(b, 0);
  return b;
}

// A Windows 3.x clipboard file holding one entry.
Bytes Clip31(unsigned format, const Bytes& data) {
  Bytes b;
  Put16le(b, 0xC350);
  Put16le(b, 1);
  Put16le(b, format);
  Put32le(b, static_cast<std::uint32_t>(data.size()));
  Put32le(b, 4 + 89);
  b.resize(4 + 89, 0);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

class ClpRoundTrip : public CodecTest, public testing::WithParamInterface<int> {};

TEST_P(ClpRoundTrip, KeepsEveryPixelAndTheTable) {
  const int bits = GetParam();
  DibHandle src = bits == 24 ? MakeDib(7, 3, 24) : RandomPaletteImage(bits == 8 ? 33 : 5, 3, bits, bits == 8 ? 77 : 0, 1);
  FillRandom(*src, 31);
  ASSERT_EQ(EncodeCLP(nullptr, Path("a.clp"), src.get()), imgx::kOk);
  DibHandle back;
  ASSERT_EQ(Decode(Path("a.clp"), &back), imgx::kOk);
  std::string why;
  EXPECT_TRUE(SamePixels(*src, *back, &why)) << why;
  EXPECT_EQ(back->colorCount(), src->colorCount());
}

INSTANTIATE_TEST_SUITE_P(Depths, ClpRoundTrip, testing::Values(1, 4, 8, 24));

TEST_F(CodecTest, ClpFindsTheDibInAnNtFileAndWidensBitFields) {
  // NT clipboard file: CF_TEXT first, then CF_DIB; 2 x 2, 16-bit 5-6-5, top-down.
  Bytes dib = InfoHeader(2, -2, 16, 3, 0);
  for (std::uint32_t m : {0xF800u, 0x07E0u, 0x001Fu}) {
    Put32le(dib, m);
  }
  for (unsigned v : {0xF800u, 0x07E0u, 0x0000u, 0x8000u + 0x0010u}) {
    Put16le(dib, v);  // rows of two pixels are already 4 bytes long
  }
  Bytes b;
  Put16le(b, 0xC351);
  Put16le(b, 2);
  const std::size_t dataAt = 4 + 2 * 170;
  for (int i = 0; i < 2; ++i) {
    Put32le(b, i == 0 ? 1u : 8u);
    Put32le(b, i == 0 ? 3u : static_cast<std::uint32_t>(dib.size()));
    Put32le(b, static_cast<std::uint32_t>(i == 0 ? dataAt : dataAt + 4));
    b.resize(b.size() + 158, 0);
  }
  PutText(b, "hi!");
  b.push_back(0);
  b.insert(b.end(), dib.begin(), dib.end());
  DibHandle out;
  ASSERT_EQ(DecodeBytes(Decode, "nt.clp", b, &out), imgx::kOk);
  EXPECT_EQ(out->bitCount(), 24);
  EXPECT_EQ(GetPixel(*out, 0, 0), 0xFF0000u);  // top row first: the file is top-down
  EXPECT_EQ(GetPixel(*out, 1, 0), 0x00FF00u);
  EXPECT_EQ(GetPixel(*out, 0, 1), 0u);
  EXPECT_EQ(GetPixel(*out, 1, 1), 0x840084u);  // 16 of 31 -> (16 * 255 + 15) / 31 = 132
}

TEST_F(CodecTest, ClpFaults) {
  DibHandle out;
  Bytes dib = InfoHeader(4, 4, 8, 0, 2);
  Put32le(dib, 0);
  Put32le(dib, 0x00FFFFFF);
  Bytes pixels(16, 1);
  pixels[5] = 2;  // beyond the two colours
  dib.insert(dib.end(), pixels.begin(), pixels.end());
  EXPECT_EQ(DecodeBytes(Decode, "index.clp", Clip31(8, dib), &out), imgx::kCorrupt);
  EXPECT_EQ(DecodeBytes(Decode, "nodib.clp", Clip31(1, dib), &out), imgx::kUnsupportedVariant);
  Bytes b = Clip31(8, dib);
  b.resize(b.size() - 3);
  EXPECT_EQ(DecodeBytes(Decode, "cut.clp", b, &out), imgx::kTruncated);
  EXPECT_EQ(DecodeBytes(Decode, "huge.clp", Clip31(8, InfoHeader(32767, 32767, 24, 0, 0)), &out),
            imgx::kTruncated);
  EXPECT_EQ(DecodeBytes(Decode, "wide.clp", Clip31(8, InfoHeader(40000, 1, 24, 0, 0)), &out),
            imgx::kBadDimensions);
  EXPECT_EQ(DecodeBytes(Decode, "colors.clp", Clip31(8, InfoHeader(1, 1, 4, 0, 17)), &out), imgx::kCorrupt);
  // RLE8 is read as in a BMP file; this one stops before its data.
  EXPECT_EQ(DecodeBytes(Decode, "rle.clp", Clip31(8, InfoHeader(1, 1, 8, 1, 0)), &out), imgx::kTruncated);
  b.assign({0x50, 0xC3, 0xFF, 0xFF});  // 65535 entries in four bytes
  EXPECT_EQ(DecodeBytes(Decode, "count.clp", b, &out), imgx::kTruncated);
}

}  // namespace
}  // namespace km::test
