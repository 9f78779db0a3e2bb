// Photographs turned upright by their EXIF orientation when read, and left as stored
// when the setting is off. The stored pictures are made from an upright one with the
// orientation table of the EXIF and TIFF standards (where the stored row 0 and column
// 0 lie in the picture as seen), independently of the flips and turns that undo them.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fileio/PhotoMetadata.h"
#include "fileio/ReadImage.h"
#include "fileio/imgx/Imgx.h"
#include "PhotoTestKit.h"
#include "support/DibTestUtil.h"

namespace km {
namespace {

namespace fs = std::filesystem;

// Where stored pixel (x, y) of a w x h picture is seen (y = 0 the top row).
struct Point {
  int x;
  int y;
};
Point SeenAt(int orientation, int x, int y, int w, int h) {
  switch (orientation) {
    case 2: return {w - 1 - x, y};          // row 0 top, column 0 right
    case 3: return {w - 1 - x, h - 1 - y};  // row 0 bottom, column 0 right
    case 4: return {x, h - 1 - y};          // row 0 bottom, column 0 left
    case 5: return {y, x};                  // row 0 left, column 0 top
    case 6: return {h - 1 - y, x};          // row 0 right, column 0 top
    case 7: return {h - 1 - y, w - 1 - x};  // row 0 right, column 0 bottom
    case 8: return {y, w - 1 - x};          // row 0 left, column 0 bottom
    default: return {x, y};
  }
}

// The picture a camera lying as `orientation` says would store for `upright`.
DibHandle StoredFor(const Dib& upright, int orientation) {
  const bool across = orientation >= 5;
  const int w = across ? upright.height() : upright.width();
  const int h = across ? upright.width() : upright.height();
  DibHandle stored = test::MakeDib(w, h, upright.bitCount(), upright.colorCount());
  for (int i = 0; i < upright.colorCount(); ++i) {
    stored->colors()[i] = upright.colors()[i];
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const Point p = SeenAt(orientation, x, y, w, h);
      test::SetPixel(*stored, x, y, test::GetPixel(upright, p.x, p.y));
    }
  }
  return stored;
}

// 64 x 32 in eight flat 16 x 16 squares of clearly different colours, so every turn
// and flip gives another picture, and JPEG's 16 x 16 colour blocks stay flat.
DibHandle Squares() {
  static constexpr std::uint32_t kColours[8] = {0xE02020, 0x20E020, 0x2020E0, 0xE0E020,
                                                0x20E0E0, 0xE020E0, 0xF0F0F0, 0x101010};
  DibHandle dib = test::MakeRgb(64, 32, 0, 0, 0);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 64; ++x) {
      test::SetPixel(*dib, x, y, kColours[(y / 16) * 4 + x / 16]);
    }
  }
  return dib;
}

// Largest channel difference over the pixels at least `margin` pixels inside their
// square (JPEG's smoothed colour upsampling blends the two pixels either side of a
// square's edge); -1 when the sizes differ.
int MaxDifference(const Dib& a, const Dib& b, int margin) {
  if (a.width() != b.width() || a.height() != b.height()) {
    return -1;
  }
  int worst = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      if (x % 16 < margin || x % 16 >= 16 - margin || y % 16 < margin || y % 16 >= 16 - margin) {
        continue;
      }
      const std::uint32_t p = test::GetPixel(a, x, y);
      const std::uint32_t q = test::GetPixel(b, x, y);
      for (int shift = 0; shift < 24; shift += 8) {
        worst = std::max(worst, std::abs(static_cast<int>((p >> shift) & 0xFF) - static_cast<int>((q >> shift) & 0xFF)));
      }
    }
  }
  return worst;
}

// A 24-bit picture as an LZW-compressed RGB TIFF in 16 x 16 tiles (sides a multiple of 16) with the
// given Orientation tag.
bool WriteTiledTiff(const Dib& picture, int orientation, const std::string& path) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  if (tif == nullptr) {
    return false;
  }
  const int w = picture.width();
  const int h = picture.height();
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(w));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(h));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
  TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
  TIFFSetField(tif, TIFFTAG_ORIENTATION, static_cast<std::uint16_t>(orientation));
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  bool ok = true;
  std::uint8_t tile[16 * 16 * 3];
  for (int ty = 0; ty < h; ty += 16) {
    for (int tx = 0; tx < w; tx += 16) {
      for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
          const std::uint32_t p = test::GetPixel(picture, tx + x, ty + y);
          std::uint8_t* s = tile + 3 * (16 * y + x);
          s[0] = static_cast<std::uint8_t>(p >> 16);
          s[1] = static_cast<std::uint8_t>(p >> 8);
          s[2] = static_cast<std::uint8_t>(p);
        }
      }
      ok = ok && TIFFWriteTile(tif, tile, static_cast<std::uint32_t>(tx), static_cast<std::uint32_t>(ty), 0, 0) >= 0;
    }
  }
  TIFFClose(tif);
  return ok;
}

class PhotoOrientation : public ::testing::Test {
protected:
  void SetUp() override { root_ = test::MakeTempDir("orient"); }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  // The stored picture for `orientation` as a quality-100 JPEG with that orientation.
  std::string WriteJpeg(const Dib& upright, int orientation) {
    const std::string path = root_ + "/o" + std::to_string(orientation) + ".jpg";
    DibHandle stored = StoredFor(upright, orientation);
    EXPECT_EQ(imgx::EncodeJPG(nullptr, path, stored.get(), 100, 72, 0), 0);
    test::SetOrientation(path, orientation);
    return path;
  }

  ReadResult Read(const std::string& path, int autoOrient) {
    InputPreferences preferences;
    preferences.autoOrient = autoOrient;
    return ReadImageFile(nullptr, types_, preferences, path, -1);
  }

  std::string root_;
  const FileTypeTable types_;
};

// Tolerance: a quality-100 JPEG of flat 16 x 16 squares decodes within 3 levels of
// each channel away from the squares' edges (colour conversion rounding).
constexpr int kJpegTolerance = 3;
constexpr int kEdge = 2;

TEST_F(PhotoOrientation, EachOfTheEightJpegOrientationsComesOutUpright) {
  const DibHandle upright = Squares();
  for (int o = 1; o <= 8; ++o) {
    SCOPED_TRACE(o);
    const std::string path = WriteJpeg(*upright, o);
    const ReadResult read = Read(path, 1);
    ASSERT_EQ(read.code, 0);
    EXPECT_EQ(read.image->width(), 64);
    EXPECT_EQ(read.image->height(), 32);
    EXPECT_LE(MaxDifference(*read.image, *upright, kEdge), kJpegTolerance);
    EXPECT_EQ(read.metadata.orientation, 1);  // the picture in hand is upright
  }
}

TEST_F(PhotoOrientation, WithTheSettingOffThePixelsAreAsStored) {
  const DibHandle upright = Squares();
  for (int o = 1; o <= 8; ++o) {
    SCOPED_TRACE(o);
    const std::string path = WriteJpeg(*upright, o);
    const ReadResult read = Read(path, 0);
    ASSERT_EQ(read.code, 0);
    const DibHandle stored = StoredFor(*upright, o);
    EXPECT_LE(MaxDifference(*read.image, *stored, kEdge), kJpegTolerance);
    EXPECT_EQ(read.metadata.orientation, o);  // still to be turned by whoever shows it
  }
}

// Right-angle turns and flips move packed pixels: every depth, odd sizes, exactly.
TEST_F(PhotoOrientation, OrientDibIsExactOnEveryDepth) {
  for (const int bits : {1, 4, 8, 24}) {
    DibHandle upright = bits == 24 ? test::MakeRgb(7, 5, 0, 0, 0) : test::MakeDib(7, 5, bits, 1 << bits);
    test::FillRandom(*upright, 19u + static_cast<std::uint32_t>(bits));
    for (int o = 1; o <= 8; ++o) {
      SCOPED_TRACE(testing::Message() << bits << " bits, orientation " << o);
      const DibHandle stored = StoredFor(*upright, o);
      DibHandle turned;
      ASSERT_EQ(OrientDIB(nullptr, stored.get(), o, &turned), kOk);
      if (o == 1) {
        EXPECT_FALSE(turned);  // nothing to do
        continue;
      }
      std::string why;
      EXPECT_TRUE(test::SamePixels(*turned, *upright, &why)) << why;
    }
  }
}

TEST_F(PhotoOrientation, PngAndTiffAreTurnedToo) {
  DibHandle upright = test::MakeRgb(6, 4, 0, 0, 0);
  test::FillRandom(*upright, 7);
  const DibHandle stored = StoredFor(*upright, 6);
  const std::string png = root_ + "/p.png";
  const std::string tif = root_ + "/t.tif";
  ASSERT_EQ(imgx::EncodePNG(nullptr, png, stored.get(), nullptr, 5, 0, 0, -1), 0);
  ASSERT_EQ(imgx::EncodeTIF(nullptr, tif, stored.get(), nullptr, 1, 0, 300), 0);
  for (const std::string& path : {png, tif}) {
    SCOPED_TRACE(path);
    test::SetOrientation(path, 6);
    std::string why;
    EXPECT_TRUE(test::SamePixels(*Read(path, 1).image, *upright, &why)) << why;
    EXPECT_TRUE(test::SamePixels(*Read(path, 0).image, *stored, &why)) << why;
  }
}

// Other formats keep no orientation: a BMP is read as it always was.
TEST_F(PhotoOrientation, FormatsWithoutMetadataAreReadAsBefore) {
  DibHandle picture = test::MakeRgb(5, 3, 0, 0, 0);
  test::FillRandom(*picture, 3);
  const std::string bmp = root_ + "/b.bmp";
  ASSERT_EQ(imgx::EncodeBMP(nullptr, bmp, picture.get(), 0), 0);
  const ReadResult read = Read(bmp, 1);
  ASSERT_EQ(read.code, 0);
  EXPECT_TRUE(read.metadata.empty());
  EXPECT_TRUE(test::SamePixels(*read.image, *picture));
}

// libtiff's RGBA reader (tiles, 16 bits, CMYK ...) undoes the flips of the Orientation
// tag itself; only what is left is done after it, so every orientation ends upright.
TEST_F(PhotoOrientation, TiledTiffsEndUprightToo) {
  DibHandle upright = test::MakeRgb(16, 32, 0, 0, 0);
  test::FillRandom(*upright, 11);
  for (int o = 1; o <= 8; ++o) {
    SCOPED_TRACE(o);
    const DibHandle stored = StoredFor(*upright, o);
    const std::string path = root_ + "/tiled" + std::to_string(o) + ".tif";
    ASSERT_TRUE(WriteTiledTiff(*stored, o, path));
    const ReadResult read = Read(path, 1);
    ASSERT_EQ(read.code, 0);
    std::string why;
    EXPECT_TRUE(test::SamePixels(*read.image, *upright, &why)) << why;
  }
}

}  // namespace
}  // namespace km
