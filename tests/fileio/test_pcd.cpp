// Photo CD: a synthetic image pack built from the published layout (packs at sectors
// 4, 23 and 96, residual tables and data after sector 384) and pixels checked against
// values worked out by hand from the YCC formulas.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
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

constexpr std::size_t kSector = 2048;

struct BitWriter {
  std::vector<std::uint8_t> bytes;
  int used = 8;
  void put(std::uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i) {
      if (used == 8) {
        bytes.push_back(0);
        used = 0;
      }
      if ((value >> i) & 1) {
        bytes.back() |= static_cast<std::uint8_t>(0x80 >> used);
      }
      ++used;
    }
  }
  void sync(int planeCode, int row) {
    put(0xFFFFFE, 24);
    put(static_cast<std::uint32_t>(planeCode), 2);
    put(static_cast<std::uint32_t>(row), 13);
    put(0, 1);
  }
};

// Luma of the three stored packs: level 0 (Base/16) 100, level 1 (Base/4) 50; Base has
// Y = 10 + 4 * (x % 8) + y % 4. Chroma is neutral (156, 137) unless set.
struct PcdBuilder {
  std::vector<std::uint8_t> file;
  PcdBuilder() : file(400 * kSector, 0) {
    std::memcpy(file.data() + kSector, "PCD_IPI", 7);
    for (int level = 0; level < 3; ++level) {
      const int w = 768 >> (2 - level);
      const int h = 512 >> (2 - level);
      const std::size_t at = (level == 0 ? 4 : level == 1 ? 23 : 96) * kSector;
      for (int r = 0; r < h / 2; ++r) {
        std::uint8_t* p = file.data() + at + static_cast<std::size_t>(r) * 3 * w;
        for (int k = 0; k < 2; ++k) {
          for (int x = 0; x < w; ++x) {
            p[k * w + x] = static_cast<std::uint8_t>(level == 0 ? 100 : level == 1 ? 50 : BaseLuma(x, 2 * r + k));
          }
        }
        std::memset(p + 2 * w, 156, w / 2);
        std::memset(p + 2 * w + w / 2, 137, w / 2);
      }
    }
  }
  static int BaseLuma(int x, int y) { return 10 + 4 * (x % 8) + y % 4; }
  void chroma(int level, int c1, int c2) {
    const int w = 768 >> (2 - level);
    const int h = 512 >> (2 - level);
    const std::size_t at = (level == 0 ? 4 : level == 1 ? 23 : 96) * kSector;
    for (int r = 0; r < h / 2; ++r) {
      std::uint8_t* p = file.data() + at + static_cast<std::size_t>(r) * 3 * w;
      std::memset(p + 2 * w, c1, w / 2);
      std::memset(p + 2 * w + w / 2, c2, w / 2);
    }
  }
  // A table of three codes: 0 -> +0, 10 -> +5, 110 -> -3.
  static void table(std::vector<std::uint8_t>& out) {
    const std::uint8_t t[] = {2, 0, 0x00, 0x00, 0, 1, 0x80, 0x00, 5, 2, 0xC0, 0x00, 0xFD};
    out.insert(out.end(), std::begin(t), std::end(t));
  }
  void place(std::size_t sector, const std::vector<std::uint8_t>& bytes) {
    if (file.size() < sector * kSector + bytes.size()) {
      file.resize(sector * kSector + bytes.size() + kSector);
    }
    std::memcpy(file.data() + sector * kSector, bytes.data(), bytes.size());
  }
};

std::uint8_t Grey(int y) {  // round(1.3584 Y), clipped
  return static_cast<std::uint8_t>(std::min(255L, std::lround(1.3584 * y)));
}

class PcdTest : public ::testing::Test {
protected:
  void SetUp() override { dir_ = km::test::MakeTempDir("pcd"); }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  Code Decode(const PcdBuilder& b, int size, DibHandle* out) {
    const std::string path = dir_ + "/t.pcd";
    EXPECT_EQ(WriteFileBytes(path, b.file), kOk);
    return DecodePCD(nullptr, path, out, size);
  }
  std::string dir_;
};

TEST_F(PcdTest, StoredPacksAtTheirSectors) {
  PcdBuilder b;
  struct { int size, w, h; std::uint32_t grey; } cases[] = {{1, 192, 128, 136}, {2, 384, 256, 68}};
  for (const auto& c : cases) {
    DibHandle dib;
    ASSERT_EQ(Decode(b, c.size, &dib), kOk) << c.size;
    ASSERT_EQ(ValidateDib(dib.get()), kOk);
    EXPECT_EQ(dib->width(), c.w);
    EXPECT_EQ(dib->height(), c.h);
    EXPECT_EQ(GetPixel(*dib, 5, 7), c.grey * 0x010101u) << c.size;  // 1.3584 * 100 = 135.84; * 50 = 67.92
  }
  DibHandle base;
  ASSERT_EQ(Decode(b, 3, &base), kOk);
  ASSERT_EQ(base->width(), 768);
  for (int y : {0, 3, 511}) {
    for (int x : {0, 7, 767}) {
      EXPECT_EQ(GetPixel(*base, x, y), Grey(PcdBuilder::BaseLuma(x, y)) * 0x010101u) << x << "," << y;
    }
  }
}

TEST_F(PcdTest, ColourFromChroma) {
  // Y 100: L = 135.84. C1 200: c1 = 2.2179 * 44 = 97.5876. C2 180: c2 = 1.8215 * 43 = 78.3245.
  // red 214.16 -> 214, green 135.84 - 18.932 - 39.867 = 77.04 -> 77, blue 233.43 -> 233.
  PcdBuilder b;
  b.chroma(0, 200, 180);
  DibHandle dib;
  ASSERT_EQ(Decode(b, 1, &dib), kOk);
  EXPECT_EQ(GetPixel(*dib, 10, 10), 0xD64DE9u);
  // C1 0, C2 0 push every channel below zero except green: red 135.84 - 249.5 < 0,
  // green 135.84 + 67.13 + 127.02 = 330 -> 255, blue 135.84 - 345.99 < 0.
  b.chroma(0, 0, 0);
  ASSERT_EQ(Decode(b, 1, &dib), kOk);
  EXPECT_EQ(GetPixel(*dib, 0, 0), 0x00FF00u);
}

TEST_F(PcdTest, OrientationTurnsThePicture) {
  PcdBuilder b;
  b.file[0x0E02] = 1;  // a quarter turn anticlockwise
  DibHandle dib;
  ASSERT_EQ(Decode(b, 3, &dib), kOk);
  ASSERT_EQ(dib->width(), 512);
  ASSERT_EQ(dib->height(), 768);
  // Stored (x, y) shows at (y, 767 - x).
  EXPECT_EQ(GetPixel(*dib, 2, 767 - 5), Grey(PcdBuilder::BaseLuma(5, 2)) * 0x010101u);
  b.file[0x0E02] = 3;  // a quarter turn clockwise: (x, y) shows at (511 - y, x)
  ASSERT_EQ(Decode(b, 3, &dib), kOk);
  EXPECT_EQ(GetPixel(*dib, 511 - 2, 5), Grey(PcdBuilder::BaseLuma(5, 2)) * 0x010101u);
}

// 4Base: Base doubled, then residuals on luma rows 0 and 7.
PcdBuilder WithFourBase(std::size_t* endOfData) {
  PcdBuilder b;
  std::vector<std::uint8_t> table;
  PcdBuilder::table(table);
  b.place(388, table);
  BitWriter bits;
  bits.sync(0, 0);
  bits.put(0b10, 2);   // x 0: +5
  bits.put(0b110, 3);  // x 1: -3
  bits.put(0b0, 1);    // x 2: +0
  bits.put(0b10, 2);   // x 3: +5
  bits.sync(0, 7);
  bits.put(0b110, 3);  // x 0: -3
  bits.sync(0, 1024);  // end
  b.place(389, bits.bytes);
  *endOfData = 389 * kSector + bits.bytes.size();
  return b;
}

TEST_F(PcdTest, FourBaseAddsHuffmanResidualsToTheDoubledBase) {
  std::size_t end = 0;
  PcdBuilder b = WithFourBase(&end);
  DibHandle dib;
  ASSERT_EQ(Decode(b, 4, &dib), kOk);
  ASSERT_EQ(dib->width(), 1536);
  ASSERT_EQ(dib->height(), 1024);
  // Base row 0: 10 14 18 ...; row 1: 11 15 ...; row 3: 13 17 ... row 4: 10 ...
  // Doubled row 0: 10, (10 + 14 + 1) >> 1 = 12, 14, 16; residuals +5 -3 +0 +5.
  EXPECT_EQ(GetPixel(*dib, 0, 0), Grey(15) * 0x010101u);
  EXPECT_EQ(GetPixel(*dib, 1, 0), Grey(9) * 0x010101u);
  EXPECT_EQ(GetPixel(*dib, 2, 0), Grey(14) * 0x010101u);
  EXPECT_EQ(GetPixel(*dib, 3, 0), Grey(21) * 0x010101u);
  EXPECT_EQ(GetPixel(*dib, 4, 0), Grey(18) * 0x010101u);  // no residual
  // Doubled row 1 at x 1: (10 + 14 + 11 + 15 + 2) >> 2 = 13.
  EXPECT_EQ(GetPixel(*dib, 1, 1), Grey(13) * 0x010101u);
  // Doubled row 7 (between base rows 3 and 4): (13 + 10 + 1) >> 1 = 12, then -3.
  EXPECT_EQ(GetPixel(*dib, 0, 7), Grey(9) * 0x010101u);
  // Last column repeats: base x 767 = 10 + 28 = 38, doubled x 1535 = 38.
  EXPECT_EQ(GetPixel(*dib, 1535, 0), Grey(38) * 0x010101u);
}

TEST_F(PcdTest, SixteenBaseAddsLumaAndChromaResiduals) {
  std::size_t end = 0;
  PcdBuilder b = WithFourBase(&end);
  const std::size_t next = (end + kSector - 1) / kSector;
  std::vector<std::uint8_t> tables;
  for (int i = 0; i < 3; ++i) {
    PcdBuilder::table(tables);
  }
  b.place(next + 12, tables);
  BitWriter bits;
  bits.sync(0, 2);
  bits.put(0b10, 2);  // luma x 0 of row 2: +5
  bits.sync(2, 0);    // C1 row 0 (half width and height)
  for (int i = 0; i < 10; ++i) {
    bits.put(0b10, 2);  // +5 ten times on x 0..9
  }
  bits.sync(0, 2048);
  b.place(next + 14, bits.bytes);
  DibHandle dib;
  ASSERT_EQ(Decode(b, 5, &dib), kOk);
  ASSERT_EQ(dib->width(), 3072);
  ASSERT_EQ(dib->height(), 2048);
  // 4Base (0,0) = 10 + 5 = 15 and 4Base (0,1) = (10 + 11 + 1) >> 1 = 11.
  // 16Base (0,2) = 4Base (0,1) = 11, + 5 = 16 with neutral chroma (even chroma row 2 is
  // C1 row 1, untouched): L = 21.7344 -> 22.
  EXPECT_EQ(GetPixel(*dib, 0, 2), 0x161616u);
  // 16Base (0,1) = (15 + 11 + 1) >> 1 = 13: L = 17.6592. Its chroma is the average of
  // C1 rows 0 (156 + 5) and 1 (156): (161 + 156 + 1) >> 1 = 159, c1 = 2.2179 * 3 = 6.6537.
  // Red 17.66 -> 18, green 17.6592 - 1.2908 = 16.37 -> 16, blue 24.31 -> 24.
  EXPECT_EQ(GetPixel(*dib, 0, 1), 0x121018u);
}

TEST_F(PcdTest, SizeOutsideOneToFiveReadsBase) {
  PcdBuilder b;
  DibHandle dib;
  ASSERT_EQ(Decode(b, 0, &dib), kOk);
  EXPECT_EQ(dib->width(), 768);
}

TEST_F(PcdTest, BrokenResidualsGiveCodes) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> table;
    std::vector<std::pair<std::uint32_t, int>> bits;  // raw values and their widths
    Code want;
  };
  const std::vector<std::uint8_t> good = {0, 0, 0x00, 0x00, 7};  // one code "0" -> +7
  const Case cases[] = {
      {"code longer than 16 bits", {0, 16, 0x00, 0x00, 1}, {{0xFFFFFE, 24}, {0, 16}, {0, 8}}, kCorrupt},
      {"row past the image", good, {{0xFFFFFE, 24}, {1030 << 1, 16}, {0, 8}}, kCorrupt},
      {"chroma plane in a luma-only pack", good, {{0xFFFFFE, 24}, {(2u << 14) | 0, 16}, {0, 8}}, kCorrupt},
      {"unknown code", {0, 0, 0x00, 0x00, 1}, {{0xFFFFFE, 24}, {0, 16}, {0x80, 8}, {0, 24}}, kCorrupt},
      {"stream without its end", good, {{0xFFFFFE, 24}, {0, 16}, {0, 8}}, kTruncated},
  };
  for (const Case& c : cases) {
    PcdBuilder b;
    b.file.resize(389 * kSector);
    b.place(388, c.table);
    BitWriter w;
    for (const auto& [v, n] : c.bits) {
      w.put(v, n);
    }
    b.file.resize(389 * kSector);
    b.file.insert(b.file.end(), w.bytes.begin(), w.bytes.end());
    DibHandle dib;
    EXPECT_EQ(Decode(b, 4, &dib), c.want) << c.what;
    EXPECT_EQ(dib, nullptr) << c.what;
  }
}

TEST_F(PcdTest, TooManyDeltasForARow) {
  PcdBuilder b;
  b.file.resize(389 * kSector);
  b.place(388, {0, 0, 0x00, 0x00, 1});
  BitWriter w;
  w.sync(0, 0);
  for (int i = 0; i < 1537; ++i) {
    w.put(0, 1);  // one more delta than the row has pixels
  }
  w.sync(0, 1024);
  b.file.resize(389 * kSector);
  b.file.insert(b.file.end(), w.bytes.begin(), w.bytes.end());
  DibHandle dib;
  EXPECT_EQ(Decode(b, 4, &dib), kCorrupt);
}

TEST(PcdBadFiles, EveryFileGivesACodeAndNoImage) {
  km::test::ExpectBadCorpus("pcd", [](const std::string& path, DibHandle* out) {
    return DecodePCD(nullptr, path, out, 3);
  });
}

}  // namespace
}  // namespace km::imgx

namespace km::imgx {
namespace {

// The peer's Photo CD writer stores the three base packs of one picture. Its colour
// transform is its own, so colours are not compared with the source; what must hold is
// that the packs we find at their sectors show the same picture at each size.
TEST_F(PcdTest, PeerPacksShowOnePictureAtEverySize) {
  KM_REQUIRE_PEER("convert-im6.q16");
  DibHandle src = km::test::MakeRgb(768, 512, 0, 0, 0);
  for (int y = 0; y < 512; ++y) {
    for (int x = 0; x < 768; ++x) {
      const auto r = static_cast<std::uint32_t>(40 + x / 6), g = static_cast<std::uint32_t>(60 + y / 4);
      km::test::SetPixel(*src, x, y, (r << 16) | (g << 8) | 120u);
    }
  }
  const std::string pcd = dir_ + "/peer.pcd";
  ASSERT_TRUE(km::test::PeerWrite(*src, pcd));
  DibHandle small, quarter, base;
  ASSERT_EQ(DecodePCD(nullptr, pcd, &small, 1), kOk);
  ASSERT_EQ(DecodePCD(nullptr, pcd, &quarter, 2), kOk);
  ASSERT_EQ(DecodePCD(nullptr, pcd, &base, 3), kOk);
  ASSERT_EQ(small->width(), 192);
  ASSERT_EQ(quarter->width(), 384);
  ASSERT_EQ(base->width(), 768);
  auto near = [](std::uint32_t p, std::uint32_t q) {
    for (int shift : {0, 8, 16}) {
      if (std::abs(static_cast<int>((p >> shift) & 0xFF) - static_cast<int>((q >> shift) & 0xFF)) > 6) {
        return false;
      }
    }
    return true;
  };
  for (int y = 8; y < 120; y += 37) {
    for (int x = 8; x < 184; x += 41) {
      const std::uint32_t s = GetPixel(*small, x, y);
      EXPECT_TRUE(near(s, GetPixel(*quarter, 2 * x + 1, 2 * y + 1))) << x << "," << y;
      EXPECT_TRUE(near(s, GetPixel(*base, 4 * x + 2, 4 * y + 2))) << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace km::imgx
