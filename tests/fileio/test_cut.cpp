#include <gtest/gtest.h>

#include "fileio/CodecTestKit.h"
#include "fileio/imgx/Imgx.h"
#include "support/PeerTools.h"

namespace km::test {
namespace {

using imgx::DecodeCUT;
using imgx::EncodeCUT;

imgx::Code Decode(const std::string& path, DibHandle* out) { return DecodeCUT(nullptr, path, out); }

TEST_F(CodecTest, CutRoundTripWritesTheImageAndItsPalette) {
  for (int width : {1, 7, 300}) {
    DibHandle src = RandomPaletteImage(width, 4, 8, 100, 3);
    for (int x = 0; x < width / 2; ++x) {
      SetPixel(*src, x, 1, 5);
    }
    ASSERT_EQ(EncodeCUT(nullptr, Path("a.cut"), src.get()), imgx::kOk);
    ASSERT_TRUE(std::filesystem::exists(Path("a.pal")));
    DibHandle back;
    ASSERT_EQ(Decode(Path("a.cut"), &back), imgx::kOk);
    std::string why;
    EXPECT_TRUE(SamePixels(*src, *back, &why)) << width << ": " << why;
    EXPECT_EQ(back->colorCount(), 100);
  }
}

TEST_F(CodecTest, CutPaletteFollowsTheFinalNameOfAHiddenPartFile) {
  // WriteImageFile writes "<folder>/.<name>.part" and renames it once complete.
  DibHandle src = RandomPaletteImage(3, 2, 8, 0, 3);
  ASSERT_EQ(EncodeCUT(nullptr, Path(".out.cut.part"), src.get()), imgx::kOk);
  EXPECT_TRUE(std::filesystem::exists(Path("out.pal")));
  EXPECT_FALSE(std::filesystem::exists(Path(".out.cut.pal")));
}

// The palette is renamed into place: an earlier palette's file (held here by a second
// link) is never written over, and a palette that cannot be written leaves no picture
// and no hidden file.
TEST_F(CodecTest, CutPaletteReplacesTheEarlierOneOnlyWhenWhole) {
  DibHandle src = RandomPaletteImage(3, 2, 8, 0, 3);
  ASSERT_EQ(EncodeCUT(nullptr, Path("out.cut"), src.get()), imgx::kOk);
  const Bytes earlier = ReadBytes(Path("out.pal"));
  std::filesystem::create_hard_link(Path("out.pal"), Path("kept.pal"));
  DibHandle other = RandomPaletteImage(3, 2, 8, 100, 4);
  ASSERT_EQ(EncodeCUT(nullptr, Path("out.cut"), other.get()), imgx::kOk);
  EXPECT_EQ(ReadBytes(Path("kept.pal")), earlier);
  EXPECT_NE(ReadBytes(Path("out.pal")), earlier);

  std::filesystem::create_directory(Path(".new.pal.part"));  // the hidden name is taken
  EXPECT_NE(EncodeCUT(nullptr, Path("new.cut"), src.get()), imgx::kOk);
  EXPECT_FALSE(std::filesystem::exists(Path("new.cut")));
  EXPECT_FALSE(std::filesystem::exists(Path("new.pal")));
  EXPECT_TRUE(std::filesystem::is_directory(Path(".new.pal.part")));
}

TEST_F(CodecTest, CutPaletteEntriesNeverCrossA512ByteBlock) {
  DibHandle src = RandomPaletteImage(2, 1, 8, 0, 3);
  ASSERT_EQ(EncodeCUT(nullptr, Path("b.cut"), src.get()), imgx::kOk);
  const Bytes pal = ReadBytes(Path("b.pal"));
  // 40-byte header, 6 bytes an entry: entry 77 ends at 508, entry 78 starts the next block.
  ASSERT_GE(pal.size(), 520u);
  EXPECT_EQ(pal[0], 'A');
  EXPECT_EQ(pal[12] | (pal[13] << 8), 255);  // highest index
  EXPECT_EQ(pal[40 + 6 * 77], src->colors()[77].rgbRed);
  EXPECT_EQ(pal[512], src->colors()[78].rgbRed);
  EXPECT_EQ(pal[516], src->colors()[78].rgbBlue);
}

TEST_F(CodecTest, CutWithoutPaletteIsGreyAndRowsAreCoded) {
  // 5 x 2: row 0 "a run of 3 of 7, literal 1 2", row 1 "a run of 5 of 9".
  Bytes b;
  Put16le(b, 5);
  Put16le(b, 2);
  Put16le(b, 0);
  for (const Bytes& row : {Bytes{0x83, 7, 2, 1, 2, 0}, Bytes{0x85, 9, 0}}) {
    Put16le(b, static_cast<unsigned>(row.size()));
    b.insert(b.end(), row.begin(), row.end());
  }
  DibHandle out;
  ASSERT_EQ(DecodeBytes(Decode, "grey.cut", b, &out), imgx::kOk);
  EXPECT_TRUE(IsDIBGreyScaled(out.get()));
  EXPECT_EQ(GetPixel(*out, 2, 0), 7u);
  EXPECT_EQ(GetPixel(*out, 4, 0), 2u);
  EXPECT_EQ(GetPixel(*out, 4, 1), 9u);

  b[b.size() - 3] = 0x86;  // six pixels in a row of five
  EXPECT_EQ(DecodeBytes(Decode, "over.cut", b, &out), imgx::kCorrupt);
  b.resize(b.size() - 1);
  b[b.size() - 2] = 0x85;
  EXPECT_EQ(DecodeBytes(Decode, "cut.cut", b, &out), imgx::kTruncated);
}

TEST_F(CodecTest, CutPaletteFaults) {
  Bytes b;
  Put16le(b, 1);
  Put16le(b, 1);
  Put16le(b, 0);
  for (int v : {3, 0, 0x81, 4, 0}) {
    b.push_back(static_cast<std::uint8_t>(v));
  }
  WriteBytes(Path("p.cut"), b);
  // A palette of two colours: index 4 is beyond it.
  Bytes pal = {'A', 'H'};
  pal.resize(12, 0);
  Put16le(pal, 1);
  for (int i = 0; i < 3; ++i) {
    Put16le(pal, 255);
  }
  pal.resize(40, 0);
  pal.resize(52, 0x80);
  WriteBytes(Path("p.pal"), pal);
  DibHandle out;
  EXPECT_EQ(Decode(Path("p.cut"), &out), imgx::kCorrupt);
  pal.resize(47);  // breaks off in the second entry
  WriteBytes(Path("p.pal"), pal);
  EXPECT_EQ(Decode(Path("p.cut"), &out), imgx::kTruncated);
  WriteBytes(Path("p.pal"), Bytes{'J', 'A', 'S', 'C'});  // another kind of palette: grey
  ASSERT_EQ(Decode(Path("p.cut"), &out), imgx::kOk);
  EXPECT_TRUE(IsDIBGreyScaled(out.get()));
}

TEST_F(CodecTest, CutRefusesOtherDepthsAndHugeClaims) {
  DibHandle rgb = MakeRgb(2, 2, 1, 2, 3);
  EXPECT_EQ(EncodeCUT(nullptr, Path("x.cut"), rgb.get()), imgx::kDepthNotWritable);
  Bytes b;
  Put16le(b, 32767);
  Put16le(b, 32767);
  Put16le(b, 0);
  b.resize(200, 0);
  DibHandle out;
  EXPECT_EQ(DecodeBytes(Decode, "huge.cut", b, &out), imgx::kTruncated);
}

TEST_F(CodecTest, CutPeerReadsOurImageWithItsPalette) {
  KM_REQUIRE_PEER("convert-im6.q16");
  DibHandle src = RandomPaletteImage(29, 6, 8, 0, 8);
  ASSERT_EQ(EncodeCUT(nullptr, Path("ours.cut"), src.get()), imgx::kOk);
  DibHandle seen = PeerRead(Path("ours.cut"));
  ASSERT_NE(seen, nullptr);
  std::string why;
  EXPECT_TRUE(SameColours(*src, *seen, 0, &why)) << why;
}

}  // namespace
}  // namespace km::test
