#pragma once

// Writing an image in one of the 27 output formats: the depth check made before
// anything is touched, the output name, the encoder call of each format and sub-type,
// and the transparency rules of the output options.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/Settings.h"
#include "fileio/PhotoMetadata.h"
#include "fileio/imgx/Imgx.h"
#include "imaging/Dib.h"
#include "imaging/Progress.h"

namespace km {

// OutputFormatIndex, 1..27, in the order of the output type list.
enum OutputFormat : int {
  kOutBMP = 1, kOutCLP, kOutCUT, kOutDIB, kOutEPS, kOutGIF, kOutIFF, kOutIMG, kOutJIF, kOutJPG, kOutLBM,
  kOutMAC, kOutMSP, kOutPBM, kOutPCT, kOutPCX, kOutPGM, kOutPIC, kOutPNG, kOutPPM, kOutPSD, kOutRAS,
  kOutRLE, kOutTGA, kOutTIF, kOutWMF, kOutWPG,
};
inline constexpr int kOutputFormatCount = 27;

// How an image is written. The defaults are those of the stored settings;
// fileio/IoSettings.h loads and saves the values the settings hold (all but format and
// sub-type, which the batch dialogs and "Set Output Options" choose).
struct OutputOptions {
  int format = 0;   // OutputFormatIndex 1..27
  int subType = 0;  // 0-based, in the order of the format's sub-type list
  int dpi = settings::kOutDPIDefault;                  // JPEG, PCX, TIFF, WPG
  int compression = settings::kOutCompressionDefault;  // JPEG quality is 100 minus this
  // 0 keep the input's transparent index, 1 none, 2 the palette entry nearest to
  // transparentColor, 3 palette entry transparentIndex.
  int transparencyType = settings::kOutTransTypeDefault;
  int transparentIndex = settings::kOutTransIndexDefault;
  std::uint32_t transparentColor = static_cast<std::uint32_t>(settings::kOutTransColorDefault);  // 0x00BBGGRR
  // JPEG, PNG and TIFF outputs of a photograph: 1 carries its EXIF, XMP and IPTC, 0
  // only its ICC profile (stored in section "Format").
  int keepMetadata = settings::kKeepMetadataDefault;
};

// The output extension of a format, with its dot (".bmp"); empty outside 1..27.
std::string OutputExtension(int format);

// True when format is 1..27 and subType one of that format's sub-types.
bool IsOutputListed(int format, int subType);

// 0 when the image can be written as (format, subType), else the message id that says
// why not (5005 to 5017); 5002 when the image is not a valid one.
int CheckOutputDepth(int format, int subType, const Dib* dib);

// Replaces everything from the last "." of the file name with the format's extension,
// or appends it when the name has none. A "." in a folder name never counts.
std::string ReplaceExtension(const std::string& path, int format);

// Writes dib to path as options say. extra is what the reader kept (may be null), grey
// the result of IsDIBGreyScaled, transparentValue what the reader reported. Answers
// the encoder's code; a format or sub-type outside the lists writes nothing and
// answers 0, so a caller that must not count such a write checks IsOutputListed first.
// A JPEG, PNG or TIFF output also receives `metadata` (what the reader found; may be
// null) as options.keepMetadata says; metadata that cannot be written is left out and
// never fails the write.
imgx::Code WriteImageFile(ProgressWindow progress, const OutputOptions& options, const std::string& path,
                          const Dib* dib, const imgx::ImageExtra* extra, int grey, int transparentValue,
                          const PhotoMetadata* metadata = nullptr);

// True for the output formats that can hold a photograph's metadata: JIF, JPG, PNG, TIF.
bool HoldsPhotoMetadata(int format);

// The file WriteImageFile writes while encoding to `path` where it cannot write an
// unnamed file (fileio/UnnamedFile.h): the hidden sibling "<folder>/.<name>.part",
// renamed over `path` once complete.
std::string PartialOutputPath(const std::string& path);

// The transparent index WriteImageFile hands to the GIF encoder, by the options'
// transparency type.
int OutputTransparentIndex(const OutputOptions& options, const Dib* dib, int transparentValue);

// A logical palette (version 0x300) made from the image's colour table.
struct LogPalette {
  std::uint16_t version = 0x300;
  struct Entry {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t flags = 0;
  };
  std::vector<Entry> entries;
};

// One entry per colour-table entry; an image without a table gets the 256 entries of a
// 3-3-2 colour cube. 101 for a null argument, 102 when memory runs out.
OpResult PaletteFromDIB(const Dib* dib, std::unique_ptr<LogPalette>* palette);

}  // namespace km
