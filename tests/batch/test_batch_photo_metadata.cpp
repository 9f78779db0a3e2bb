// A photograph through a batch run: its ICC profile, camera fields, XMP and IPTC reach
// JPEG, PNG and TIFF outputs, with the orientation reset, the new pixel dimensions and
// no thumbnail; stripped runs keep the profile only; files without metadata come out
// byte for byte as they did before photographs were looked at.

#include <gtest/gtest.h>

#include "BatchTestKit.h"
#include "common/Settings.h"
#include "fileio/PhotoTestKit.h"
#include "script/CommandCodes.h"
#include "support/PeerTools.h"

namespace km {
namespace {

using test::BatchFolder;
using test::RecordingObserver;

namespace s = settings;

// 64 x 48 as stored, taken with the camera turned a quarter clockwise (orientation 6),
// so the picture is 48 x 64 upright; a 16 x 12 thumbnail of the stored picture.
void WritePhotograph(const std::string& path, const std::string& folder) {
  DibHandle stored = test::MakeRgb(64, 48, 0, 0, 0);
  test::FillRandom(*stored, 5);
  ASSERT_EQ(imgx::EncodeJPG(nullptr, path, stored.get(), 90, 72, 0), 0);
  const std::string thumb = folder + "/thumb.jpg";
  DibHandle small = test::MakeRgb(16, 12, 40, 90, 200);
  ASSERT_EQ(imgx::EncodeJPG(nullptr, thumb, small.get(), 75, 72, 0), 0);
  test::EditMetadata(path, [&thumb](Exiv2::Image& image) {
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = std::string("Kilnmark Optics");
    exif["Exif.Image.Model"] = std::string("KM-1 Mark II");
    exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(6);
    exif["Exif.Image.XResolution"] = Exiv2::URational(72, 1);
    exif["Exif.Image.YResolution"] = Exiv2::URational(72, 1);
    exif["Exif.Image.ResolutionUnit"] = static_cast<std::uint16_t>(2);
    exif["Exif.Photo.DateTimeOriginal"] = std::string("2026:05:01 18:30:00");
    exif["Exif.Photo.FNumber"] = Exiv2::URational(28, 10);
    exif["Exif.Photo.PixelXDimension"] = static_cast<std::uint32_t>(64);
    exif["Exif.Photo.PixelYDimension"] = static_cast<std::uint32_t>(48);
    Exiv2::ExifThumb(exif).setJpegThumbnail(thumb);
    image.setExifData(exif);
    Exiv2::XmpData xmp;
    xmp["Xmp.dc.title"] = std::string("lang=x-default Harbour at dusk");
    xmp["Xmp.tiff.Orientation"] = std::string("6");
    xmp["Xmp.exif.PixelXDimension"] = std::string("64");
    image.setXmpData(xmp);
    Exiv2::IptcData iptc;
    iptc["Iptc.Application2.Keywords"] = std::string("harbour");
    iptc["Iptc.Application2.City"] = std::string("Kilnton");
    image.setIptcData(iptc);
    std::vector<std::uint8_t> icc = test::MakeIccProfile();
    Exiv2::DataBuf profile(icc.data(), static_cast<long>(icc.size()));
    image.setIccProfile(profile);
  });
}

class PhotoBatch : public ::testing::Test {
protected:
  void SetUp() override {
    WritePhotograph(folder_.inPath("photo.jpg"), folder_.root());
    folder_.WriteList({"photo.jpg"});
    // Halve the upright picture: 48 x 64 becomes 24 x 32.
    test::AddCommand(script_, kResizeResample, {5, 1, 24, 32});
    profile_.setInt(s::kScriptRun, s::kOutDPI, 150);
  }

  // Runs the script into `format` (sub-type 0: standard JPEG, non-interlaced PNG; for
  // TIFF sub-type 2, LZW) and answers the output's path.
  std::string Run(int format, BatchSettings settings) {
    settings.outputFormat = format;
    settings.subType = format == kOutTIF ? 2 : 0;
    RecordingObserver observer;
    FakeMessageService messages;
    const test::RunResult r = test::RunOnce(script_, settings, observer, messages, profile_);
    EXPECT_EQ(r.outcome.converted, 1);
    return folder_.outPath("photo" + OutputExtension(format));
  }

  BatchFolder folder_{"photo"};
  CScript script_;
  MemoryProfile profile_;
};

TEST_F(PhotoBatch, JpegPngAndTiffOutputsCarryTheMetadata) {
  const std::vector<std::uint8_t> icc = test::MakeIccProfile();
  for (const int format : {kOutJPG, kOutPNG, kOutTIF}) {
    SCOPED_TRACE(OutputExtension(format));
    const std::string out = Run(format, folder_.Settings());
    ReadResult back = ReadImageFile(nullptr, FileTypeTable(), InputPreferences{}, out, -1);
    ASSERT_EQ(back.code, 0);
    EXPECT_EQ(back.image->width(), 24);  // turned upright, then halved
    EXPECT_EQ(back.image->height(), 32);

    const test::FoundMetadata m = test::ReadMetadataOf(out);
    EXPECT_EQ(m.icc, icc);
    EXPECT_EQ(m.Exif("Exif.Image.Make"), "Kilnmark Optics");
    EXPECT_EQ(m.Exif("Exif.Image.Model"), "KM-1 Mark II");
    EXPECT_EQ(m.Exif("Exif.Photo.DateTimeOriginal"), "2026:05:01 18:30:00");
    EXPECT_EQ(m.Exif("Exif.Photo.FNumber"), "28/10");
    EXPECT_EQ(m.Exif("Exif.Photo.PixelXDimension"), "24");
    EXPECT_EQ(m.Exif("Exif.Photo.PixelYDimension"), "32");
    EXPECT_FALSE(m.HasGroup("Thumbnail"));
    EXPECT_EQ(m.Xmp("Xmp.tiff.Orientation"), "1");
    EXPECT_EQ(m.Xmp("Xmp.exif.PixelXDimension"), "24");
    EXPECT_NE(m.Xmp("Xmp.dc.title").find("Harbour at dusk"), std::string::npos);
    EXPECT_EQ(m.Iptc("Iptc.Application2.Keywords"), "harbour");
    EXPECT_EQ(m.Iptc("Iptc.Application2.City"), "Kilnton");
    // The picture is upright now, which an orientation of 1 says; a TIFF may say so
    // by leaving the tag out.
    const std::string orientation = m.Exif("Exif.Image.Orientation");
    EXPECT_TRUE(orientation == "1" || (format == kOutTIF && orientation == "(none)")) << orientation;
    // JPEG and TIFF outputs have the DPI of the output options, PNG outputs keep the
    // photograph's.
    EXPECT_EQ(m.Exif("Exif.Image.XResolution"), format == kOutPNG ? "72/1" : "150/1");
  }
}

TEST_F(PhotoBatch, StrippedOutputsKeepTheProfileOnly) {
  BatchSettings settings = folder_.Settings();
  settings.stripMetadata = true;
  for (const int format : {kOutJPG, kOutPNG, kOutTIF}) {
    SCOPED_TRACE(OutputExtension(format));
    const test::FoundMetadata m = test::ReadMetadataOf(Run(format, settings));
    EXPECT_EQ(m.icc, test::MakeIccProfile());
    EXPECT_EQ(m.Exif("Exif.Image.Make"), "(none)");
    EXPECT_EQ(m.Exif("Exif.Photo.DateTimeOriginal"), "(none)");
    EXPECT_TRUE(m.xmp.empty());
    EXPECT_TRUE(m.iptc.empty());
  }
}

// The stored setting does the same as the run's switch.
TEST_F(PhotoBatch, TheKeepMetadataSettingTurnsItOff) {
  profile_.setInt(s::kFormat, s::kKeepMetadata, 0);
  const test::FoundMetadata m = test::ReadMetadataOf(Run(kOutJPG, folder_.Settings()));
  EXPECT_EQ(m.icc, test::MakeIccProfile());
  EXPECT_TRUE(m.exif.empty());
}

// An RGB profile does not describe a grey picture (readers refuse the pair): a script
// that turns the photograph grey gets outputs without it, the rest still travels.
TEST_F(PhotoBatch, AGreyOutputGoesWithoutTheColourProfile) {
  test::AddCommand(script_, kChangeToGreyscale);
  for (const int format : {kOutJPG, kOutPNG, kOutTIF}) {
    SCOPED_TRACE(OutputExtension(format));
    const test::FoundMetadata m = test::ReadMetadataOf(Run(format, folder_.Settings()));
    EXPECT_TRUE(m.icc.empty());
    EXPECT_EQ(m.Exif("Exif.Image.Model"), "KM-1 Mark II");
  }
}

// A picture left as stored keeps the orientation that shows it upright.
TEST_F(PhotoBatch, WithoutTurningTheOrientationTravelsWithThePicture) {
  BatchSettings settings = folder_.Settings();
  settings.noAutoOrient = true;
  const std::string out = Run(kOutJPG, settings);
  ReadResult back = ReadImageFile(nullptr, FileTypeTable(), InputPreferences{}, out, -1);
  ASSERT_EQ(back.code, 0);
  // Halved as stored (64 x 48 into 24 x 32), then turned by its orientation on reading.
  EXPECT_EQ(back.image->width(), 32);
  EXPECT_EQ(back.image->height(), 24);
  EXPECT_EQ(test::ReadMetadataOf(out).Exif("Exif.Image.Orientation"), "6");
}

// True when a line of `text` starts with `key` and ends with `end`.
bool LineEnds(const std::string& text, const std::string& key, const std::string& end) {
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t next = text.find('\n', at);
    if (next == std::string::npos) {
      next = text.size();
    }
    const std::string line = text.substr(at, next - at);
    if (line.rfind(key + " ", 0) == 0 && line.size() >= end.size() &&
        line.compare(line.size() - end.size(), end.size(), end) == 0) {
      return true;
    }
    at = next + 1;
  }
  return false;
}

// The exiv2 program sees the same: camera fields, an upright orientation, no
// thumbnail and the profile's very bytes.
TEST_F(PhotoBatch, TheExiv2ProgramAgrees) {
  KM_REQUIRE_PEER("exiv2");
  const std::string out = Run(kOutJPG, folder_.Settings());
  const std::string listing = folder_.root() + "/listing.txt";
  ASSERT_EQ(test::RunPeer({"exiv2", "-pa", out}, {}, listing), 0);
  const std::string text = test::FileTextOf(listing);
  EXPECT_TRUE(LineEnds(text, "Exif.Image.Model", "KM-1 Mark II")) << text;
  EXPECT_TRUE(LineEnds(text, "Exif.Image.Orientation", "top, left")) << text;
  EXPECT_TRUE(LineEnds(text, "Exif.Photo.PixelXDimension", " 24")) << text;
  EXPECT_TRUE(LineEnds(text, "Exif.Photo.PixelYDimension", " 32")) << text;
  EXPECT_EQ(text.find("Exif.Thumbnail"), std::string::npos) << text;
  const std::string profile = folder_.root() + "/profile.icc";
  ASSERT_EQ(test::RunPeer({"exiv2", "-pC", out}, {}, profile), 0);
  EXPECT_EQ(test::FileBytesOf(profile), test::MakeIccProfile());
}

// Inputs without metadata: every output byte is the same whether the photograph
// settings are on or off. Inputs of each kind that can hold metadata, and one that
// cannot, into each output that can hold metadata and into BMP.
TEST(PhotoBatchPlain, FilesWithoutMetadataGiveTheSameBytes) {
  BatchFolder folder("plain");
  DibHandle picture = test::MakeRgb(40, 30, 0, 0, 0);
  test::FillRandom(*picture, 23);
  DibHandle grey = test::MakeGrey(40, 30);
  test::FillRandom(*grey, 24);
  ASSERT_EQ(imgx::EncodeJPG(nullptr, folder.inPath("a.jpg"), picture.get(), 85, 96, 0), 0);
  ASSERT_EQ(imgx::EncodePNG(nullptr, folder.inPath("b.png"), picture.get(), nullptr, 5, 0, 0, -1), 0);
  ASSERT_EQ(imgx::EncodeTIF(nullptr, folder.inPath("c.tif"), picture.get(), nullptr, 5, 0, 300), 0);
  ASSERT_EQ(imgx::EncodeTIF(nullptr, folder.inPath("d.tif"), grey.get(), nullptr, 1, 1, 0), 0);
  ASSERT_EQ(imgx::EncodeBMP(nullptr, folder.inPath("e.bmp"), picture.get(), 0), 0);
  const std::vector<std::string> names = {"a.jpg", "b.png", "c.tif", "d.tif", "e.bmp"};
  folder.WriteList(names);
  CScript script;
  test::AddCommand(script, kMirrorImage);

  struct Output {
    int format;
    int subType;
  };
  for (const Output o : {Output{kOutJPG, 0}, Output{kOutJPG, 1}, Output{kOutPNG, 0}, Output{kOutTIF, 2},
                         Output{kOutTIF, 4}, Output{kOutBMP, 1}}) {
    SCOPED_TRACE(OutputExtension(o.format) + " " + std::to_string(o.subType));
    std::vector<std::vector<std::uint8_t>> bytes[2];
    for (const int on : {1, 0}) {
      MemoryProfile profile;
      profile.setInt(s::kFormat, s::kAutoOrient, on);
      profile.setInt(s::kFormat, s::kKeepMetadata, on);
      BatchSettings settings = folder.Settings();
      settings.outputFormat = o.format;
      settings.subType = o.subType;
      RecordingObserver observer;
      FakeMessageService messages;
      const test::RunResult r = test::RunOnce(script, settings, observer, messages, profile);
      EXPECT_EQ(r.outcome.converted, static_cast<int>(names.size()));
      for (const std::string& name : names) {
        const std::string base = name.substr(0, name.find('.'));
        bytes[on].push_back(test::FileBytesOf(folder.outPath(base + OutputExtension(o.format))));
      }
      std::filesystem::remove_all(folder.out());
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
      EXPECT_FALSE(bytes[1][i].empty()) << names[i];
      EXPECT_TRUE(bytes[1][i] == bytes[0][i]) << names[i];
    }
  }
}

// A photograph whose EXIF block is damaged is still converted, with what could be read.
TEST(PhotoBatchPlain, DamagedMetadataNeverFailsTheConversion) {
  BatchFolder folder("damaged");
  DibHandle picture = test::MakeRgb(16, 16, 200, 100, 50);
  const std::string clean = folder.root() + "/clean.jpg";
  ASSERT_EQ(imgx::EncodeJPG(nullptr, clean, picture.get(), 90, 72, 0), 0);
  std::vector<std::uint8_t> bytes = test::FileBytesOf(clean);
  // An APP1 "Exif" segment whose TIFF header points far outside it, right after SOI.
  const std::vector<std::uint8_t> app1 = {0xFF, 0xE1, 0x00, 0x16, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0,
                                          0xFF, 0xFF, 0xFF, 0x7F, 1, 0, 0x12, 0x01, 3, 0};
  bytes.insert(bytes.begin() + 2, app1.begin(), app1.end());
  test::WriteText(folder.inPath("bad.jpg"), std::string(bytes.begin(), bytes.end()));
  folder.WriteList({"bad.jpg"});
  CScript script;
  test::AddCommand(script, kFlipImage);
  for (const int format : {kOutJPG, kOutPNG, kOutTIF}) {
    MemoryProfile profile;
    BatchSettings settings = folder.Settings();
    settings.outputFormat = format;
    settings.subType = format == kOutTIF ? 4 : 0;
    RecordingObserver observer;
    FakeMessageService messages;
    EXPECT_EQ(test::RunOnce(script, settings, observer, messages, profile).outcome.converted, 1)
        << OutputExtension(format);
  }
}

}  // namespace
}  // namespace km
