// TIFF files libtiff's RGBA interface refuses, read sample by sample: files written
// here through libtiff with levels worked out by hand, and files the peer writes, read
// as the peer reads them.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "CodecTestUtil.h"
#include "fileio/imgx/Imgx.h"
#include "imaging/MemoryCeiling.h"
#include "support/PeerTools.h"

namespace km::imgx {
namespace {

using test::GetPixel;

struct Tags {
  std::uint16_t bps;
  std::uint16_t spp = 1;
  std::uint16_t format = SAMPLEFORMAT_UINT;
  std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
  std::uint16_t planar = PLANARCONFIG_CONTIG;
};

// A one-strip file of `width` x `rows.size()` (or, planar, rows of each plane in turn).
void WriteTiff(const std::string& path, int width, int height, const Tags& t,
               const std::vector<std::vector<std::uint8_t>>& rows,
               const std::function<void(TIFF*)>& more = {}) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(tif, nullptr);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, t.bps);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, t.spp);
  TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, t.format);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, t.photometric);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, t.planar);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(height));
  if (t.spp == 2) {
    const std::uint16_t alpha[1] = {EXTRASAMPLE_UNASSALPHA};
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, alpha);
  }
  if (more) {
    more(tif);
  }
  const int planes = t.planar == PLANARCONFIG_SEPARATE ? t.spp : 1;
  for (int p = 0; p < planes; ++p) {
    for (int y = 0; y < height; ++y) {
      std::vector<std::uint8_t> row = rows[static_cast<std::size_t>(p * height + y)];
      ASSERT_EQ(TIFFWriteScanline(tif, row.data(), static_cast<std::uint32_t>(y), static_cast<std::uint16_t>(p)), 1);
    }
  }
  TIFFClose(tif);
}

template <typename T>
std::vector<std::uint8_t> Raw(const std::vector<T>& values) {
  std::vector<std::uint8_t> b(values.size() * sizeof(T));
  std::memcpy(b.data(), values.data(), b.size());
  return b;
}

DibHandle Read(const std::string& path, Code* code) {
  DibHandle dib;
  *code = DecodeTIF(nullptr, path, &dib, nullptr);
  return dib;
}

TEST(TiffSamples, IntegerGreyOfOddSizesScalesToEightBits) {
  test::TempFolder dir("tif");
  Code c = 0;
  // 12 bits, three samples 0xFFF 0x800 0x001 packed into 36 bits: 255, 2048 * 255 / 4095
  // rounded = 128, 1 * 255 / 4095 rounded = 0.
  WriteTiff(dir.path("g12.tif"), 3, 1, {12}, {{0xFF, 0xF8, 0x00, 0x00, 0x10}});
  DibHandle dib = Read(dir.path("g12.tif"), &c);
  ASSERT_EQ(c, kOk);
  ASSERT_EQ(dib->bitCount(), 8);
  EXPECT_TRUE(IsDIBGreyScaled(dib.get()));
  EXPECT_EQ(GetPixel(*dib, 0, 0), 255u);
  EXPECT_EQ(GetPixel(*dib, 1, 0), 128u);
  EXPECT_EQ(GetPixel(*dib, 2, 0), 0u);
  // White is zero, with an alpha sample beside each grey one: 12-bit pairs (0, 0xFFF)
  // and (0xFFF, 0).
  WriteTiff(dir.path("w12.tif"), 2, 1, {12, 2, SAMPLEFORMAT_UINT, PHOTOMETRIC_MINISWHITE},
            {{0x00, 0x0F, 0xFF, 0xFF, 0xF0, 0x00}});
  dib = Read(dir.path("w12.tif"), &c);
  ASSERT_EQ(c, kOk);
  EXPECT_EQ(GetPixel(*dib, 0, 0), 255u);
  EXPECT_EQ(GetPixel(*dib, 1, 0), 0u);
  // 32-bit unsigned: 2^31 is 128 (2^31 * 255 / (2^32 - 1) rounded).
  WriteTiff(dir.path("g32.tif"), 2, 1, {32}, {Raw(std::vector<std::uint32_t>{0x80000000u, 0xFFFFFFFFu})});
  dib = Read(dir.path("g32.tif"), &c);
  ASSERT_EQ(c, kOk);
  EXPECT_EQ(GetPixel(*dib, 0, 0), 128u);
  EXPECT_EQ(GetPixel(*dib, 1, 0), 255u);
}

// Signed levels are moved up by half the range: -32768, -1, 0 and 32767 become 0,
// 32767 * 255 / 65535 = 127.498 (127), 32768 * 255 / 65535 = 127.502 (128) and 255;
// signed 8-bit RGB -128, 0, 127 becomes 0, 128, 255.
TEST(TiffSamples, SignedIntegersAreLevelsAroundZero) {
  test::TempFolder dir("tif");
  Code c = 0;
  WriteTiff(dir.path("s16.tif"), 4, 1, {16, 1, SAMPLEFORMAT_INT},
            {Raw(std::vector<std::int16_t>{-32768, -1, 0, 32767})});
  DibHandle dib = Read(dir.path("s16.tif"), &c);
  ASSERT_EQ(c, kOk);
  EXPECT_EQ(GetPixel(*dib, 0, 0), 0u);
  EXPECT_EQ(GetPixel(*dib, 1, 0), 127u);
  EXPECT_EQ(GetPixel(*dib, 2, 0), 128u);
  EXPECT_EQ(GetPixel(*dib, 3, 0), 255u);
  WriteTiff(dir.path("s8.tif"), 1, 1, {8, 3, SAMPLEFORMAT_INT, PHOTOMETRIC_RGB},
            {Raw(std::vector<std::int8_t>{-128, 0, 127})});
  dib = Read(dir.path("s8.tif"), &c);
  ASSERT_EQ(c, kOk);
  EXPECT_EQ(test::RgbPixels(*dib), (std::vector<std::uint32_t>{0x0080FF}));
}

TEST(TiffSamples, FloatingPointMapsZeroToOneOntoTheLevels) {
  test::TempFolder dir("tif");
  Code c = 0;
  // 0.5 -> 128 (127.5 rounded), 2 -> 255 (clamped), -1 -> 0, not a number -> 0.
  WriteTiff(dir.path("f32.tif"), 4, 1, {32, 1, SAMPLEFORMAT_IEEEFP},
            {Raw(std::vector<float>{0.5f, 2.0f, -1.0f, NAN})});
  DibHandle dib = Read(dir.path("f32.tif"), &c);
  ASSERT_EQ(c, kOk);
  const std::uint32_t levels[4] = {128, 255, 0, 0};
  for (int x = 0; x < 4; ++x) {
    EXPECT_EQ(GetPixel(*dib, x, 0), levels[x]) << x;
  }
  // Half precision 0x3800 = 0.5, 0x3C00 = 1; doubles 0.25 -> 64 (63.75 rounded).
  WriteTiff(dir.path("f16.tif"), 2, 1, {16, 1, SAMPLEFORMAT_IEEEFP},
            {Raw(std::vector<std::uint16_t>{0x3800, 0x3C00})});
  dib = Read(dir.path("f16.tif"), &c);
  ASSERT_EQ(c, kOk);
  EXPECT_EQ(GetPixel(*dib, 0, 0), 128u);
  EXPECT_EQ(GetPixel(*dib, 1, 0), 255u);
  // Planar RGB of doubles: one plane each of red, green, blue.
  WriteTiff(dir.path("f64.tif"), 1, 1, {64, 3, SAMPLEFORMAT_IEEEFP, PHOTOMETRIC_RGB, PLANARCONFIG_SEPARATE},
            {Raw(std::vector<double>{1.0}), Raw(std::vector<double>{0.25}), Raw(std::vector<double>{0.0})});
  dib = Read(dir.path("f64.tif"), &c);
  ASSERT_EQ(c, kOk);
  ASSERT_EQ(dib->bitCount(), 24);
  EXPECT_EQ(GetPixel(*dib, 0, 0), 0xFF4000u);
}

TEST(TiffSamples, SixteenBitPaletteGoesThroughItsMap) {
  test::TempFolder dir("tif");
  std::vector<std::uint16_t> map(3 * 65536, 0);
  map[65535] = 0xFF00;              // red of the last entry
  map[65536 + 1] = 0x8000;          // green of entry 1
  map[2 * 65536 + 65535] = 0x1234;  // blue of the last entry
  WriteTiff(dir.path("p16.tif"), 3, 1, {16, 1, SAMPLEFORMAT_UINT, PHOTOMETRIC_PALETTE},
            {Raw(std::vector<std::uint16_t>{65535, 1, 0})}, [&map](TIFF* tif) {
              TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data() + 65536, map.data() + 2 * 65536);
            });
  Code c = 0;
  DibHandle dib = Read(dir.path("p16.tif"), &c);
  ASSERT_EQ(c, kOk);
  EXPECT_EQ(test::RgbPixels(*dib), (std::vector<std::uint32_t>{0xFF0012, 0x008000, 0x000000}));
}

TEST(TiffSamples, WhatStaysRefused) {
  test::TempFolder dir("tif");
  Code c = 0;
  // 24-bit floating point, and separated (ink) images of odd sizes.
  WriteTiff(dir.path("f24.tif"), 1, 1, {24, 1, SAMPLEFORMAT_IEEEFP}, {{0, 0, 0}});
  EXPECT_EQ(Read(dir.path("f24.tif"), &c), nullptr);
  EXPECT_EQ(c, kUnsupportedVariant);
  WriteTiff(dir.path("cmyk12.tif"), 1, 1, {12, 4, SAMPLEFORMAT_UINT, PHOTOMETRIC_SEPARATED},
            {{0, 0, 0, 0, 0, 0}});
  EXPECT_EQ(Read(dir.path("cmyk12.tif"), &c), nullptr);
  EXPECT_EQ(c, kUnsupportedVariant);
}

TEST(TiffSamples, RgbaRasterCountsAgainstTheMemoryCeiling) {
  test::TempFolder dir("tif");
  // 16-bit grey goes through libtiff's RGBA reader: 2000 x 1000 needs 8 MB of raster
  // and 6 MB of image.
  std::vector<std::vector<std::uint8_t>> rows(1000, std::vector<std::uint8_t>(4000, 0x80));
  WriteTiff(dir.path("g16.tif"), 2000, 1000, {16}, rows);
  Code c = 0;
  {
    ScopedMemoryBudget budget(10u << 20);
    EXPECT_EQ(Read(dir.path("g16.tif"), &c), nullptr);
    EXPECT_EQ(c, kNoMemory);
    EXPECT_LE(budget.budget().peak(), 10u << 20);
  }
  ScopedMemoryBudget budget(32u << 20);
  EXPECT_NE(Read(dir.path("g16.tif"), &c), nullptr);
  EXPECT_EQ(c, kOk);
}

// Files the peer writes: the pixels it reads back, to within one level (it rounds
// through 16-bit levels on the way to its 8-bit output).
TEST(TiffSamplesPeer, PeerFilesReadAsThePeerReadsThem) {
  KM_REQUIRE_PEER("convert-im6.q16");
  test::TempFolder dir("tif");
  DibHandle grey = test::MakeGrey(29, 11);
  test::FillRandom(*grey, 5);
  DibHandle rgb = test::MakePatterned(29, 11, 24, 6);
  ASSERT_TRUE(test::WritePnmFile(*grey, dir.path("g.pgm"), true));
  ASSERT_TRUE(test::WritePnmFile(*rgb, dir.path("c.ppm")));
  const std::vector<std::pair<std::string, std::vector<std::string>>> files = {
      {"g.pgm", {"-depth", "12"}},
      {"g.pgm", {"-depth", "10"}},
      {"g.pgm", {"-depth", "32"}},
      {"g.pgm", {"-depth", "12", "-define", "tiff:tile-geometry=16x16"}},
      {"g.pgm", {"-define", "quantum:format=floating-point", "-depth", "16"}},
      {"g.pgm", {"-define", "quantum:format=floating-point", "-depth", "32", "-compress", "zip"}},
      {"g.pgm", {"-define", "quantum:format=floating-point", "-depth", "64"}},
      {"g.pgm", {"-define", "quantum:format=signed", "-depth", "16"}},
      {"c.ppm", {"-depth", "12", "-interlace", "plane"}},
      {"c.ppm", {"-define", "quantum:format=floating-point", "-depth", "32"}},
      {"c.ppm", {"-define", "tiff:tile-geometry=16x16"}},  // uncompressed tiles
  };
  int n = 0;
  for (const auto& [source, options] : files) {
    const std::string path = dir.path("peer" + std::to_string(n++) + ".tif");
    std::vector<std::string> argv = {"convert-im6.q16", dir.path(source)};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(path);
    // It reports an error about the predictor tag of floating-point files, yet writes
    // them whole; what it reads back is the check.
    test::RunPeer(argv);
    ASSERT_TRUE(std::filesystem::exists(path)) << path;
    DibHandle seen = test::PeerRead(path);
    ASSERT_NE(seen, nullptr) << path;
    Code c = 0;
    DibHandle ours = Read(path, &c);
    ASSERT_EQ(c, kOk) << options.back();
    std::string why;
    EXPECT_TRUE(test::SameColours(*seen, *ours, 1, &why)) << source << " " << options.back() << ": " << why;
  }
}

}  // namespace
}  // namespace km::imgx
