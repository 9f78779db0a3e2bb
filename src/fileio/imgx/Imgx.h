#pragma once

// The format library: file type detection, information records, and one decoder and
// one encoder per format, each in its own file. Decoders take a path and hand back a
// new image that belongs to the caller; encoders write the image to the path. A failed
// decode leaves *out null; a failed encode leaves no file behind.
//
// Out pointers: a null image, information record, type or kind pointer is a caller's
// mistake and answers kInvalidParameter (101) before the file is looked at. The extra
// handle and transparent index of the GIF, PNG, TGA and TIFF decoders are optional:
// null means the caller does not want them.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fileio/imgx/Codes.h"
#include "imaging/Dib.h"
#include "imaging/Progress.h"

namespace km::imgx {

// What a file's header says, without decoding the pixels.
struct ImageInfo {
  std::string name;        // the file's path
  int width = 0;
  int height = 0;
  int bits = 0;            // bits per pixel as stored
  std::uint16_t type = 0;  // the library's type code
  std::uint64_t fileSize = 0;
};

// What the PNG, TGA and TIFF decoders carry over to their encoders.
struct ImageExtra {
  double xDpi = 0;  // 0 when the file gave none
  double yDpi = 0;
  std::vector<std::uint8_t> iccProfile;
  std::vector<std::pair<std::string, std::string>> text;  // key, value
  // TIFF: libtiff's RGBA reader has already undone the flips of the Orientation tag.
  bool orientationFlipsUndone = false;
};
using ExtraHandle = std::unique_ptr<ImageExtra>;

// Type codes by content (ImageType). 1000: not recognised.
inline constexpr std::uint16_t kTypeLotusPic = 506;

Code ImageType(const std::string& path, std::uint16_t* type);

// Information records.
Code InfoBMP(const std::string& path, ImageInfo* info);
Code InfoCISRLE(const std::string& path, ImageInfo* info);
Code InfoCLP(const std::string& path, ImageInfo* info);
Code InfoCUT(const std::string& path, ImageInfo* info);
Code InfoGIF(const std::string& path, ImageInfo* info);
Code InfoIFF(const std::string& path, ImageInfo* info);
Code InfoIMG(const std::string& path, ImageInfo* info);
Code InfoJPG(const std::string& path, ImageInfo* info);
Code InfoMAC(const std::string& path, ImageInfo* info);
Code InfoMSP(const std::string& path, ImageInfo* info);
Code InfoPCD(const std::string& path, ImageInfo* info);
Code InfoPCX(const std::string& path, ImageInfo* info);
Code InfoPIC(const std::string& path, ImageInfo* info);
Code InfoPICT(const std::string& path, ImageInfo* info);
Code InfoPNG(const std::string& path, ImageInfo* info);
Code InfoPSD(const std::string& path, ImageInfo* info);
Code InfoPXM(const std::string& path, ImageInfo* info);
Code InfoRAS(const std::string& path, ImageInfo* info);
Code InfoTGA(const std::string& path, ImageInfo* info);
Code InfoTIF(const std::string& path, ImageInfo* info);
Code InfoWMF(const std::string& path, ImageInfo* info);
Code InfoWPG(const std::string& path, ImageInfo* info);

// Decoders.
Code DecodeBMP(ProgressWindow progress, const std::string& path, DibHandle* out);
Code DecodeCISRLE(ProgressWindow progress, const std::string& path, DibHandle* out);
Code DecodeCLP(ProgressWindow progress, const std::string& path, DibHandle* out);
Code DecodeCUT(ProgressWindow progress, const std::string& path, DibHandle* out);
Code DecodeIFF(ProgressWindow progress, const std::string& path, DibHandle* out);
Code DecodeIMG(ProgressWindow progress, const std::string& path, DibHandle* out);
Code DecodeJPG(ProgressWindow progress, const std::string& path, DibHandle* out);
Code DecodeMAC(ProgressWindow progress, const std::string& path, DibHandle* out);
Code DecodeMSP(ProgressWindow progress, const std::string& path, DibHandle* out);
Code DecodePCX(ProgressWindow progress, const std::string& path, DibHandle* out);
Code DecodePIC(ProgressWindow progress, const std::string& path, DibHandle* out);
Code DecodePICT(ProgressWindow progress, const std::string& path, DibHandle* out);
Code DecodePSD(ProgressWindow progress, const std::string& path, DibHandle* out);
Code DecodePXM(ProgressWindow progress, const std::string& path, DibHandle* out);
Code DecodeRAS(ProgressWindow progress, const std::string& path, DibHandle* out);
Code DecodeWPG(ProgressWindow progress, const std::string& path, DibHandle* out);
Code DecodeGIF(ProgressWindow progress, const std::string& path, DibHandle* out, std::int16_t* transparentIndex);
Code DecodePNG(ProgressWindow progress, const std::string& path, DibHandle* out, ExtraHandle* extra,
               std::int16_t* transparentIndex);
Code DecodeTGA(ProgressWindow progress, const std::string& path, DibHandle* out, ExtraHandle* extra);
Code DecodeTIF(ProgressWindow progress, const std::string& path, DibHandle* out, ExtraHandle* extra);
// size 1..5: Base/16, Base/4, Base, 4Base, 16Base.
Code DecodePCD(ProgressWindow progress, const std::string& path, DibHandle* out, int size);

// Encoders. Each begins with (progress, path, dib); the rest is per format.
Code EncodeBMP(ProgressWindow progress, const std::string& path, const Dib* dib, int kind);  // 0 Windows RGB, 1 OS/2, 2 Windows RLE
Code EncodeCISRLE(ProgressWindow progress, const std::string& path, const Dib* dib);
Code EncodeCLP(ProgressWindow progress, const std::string& path, const Dib* dib);
Code EncodeCUT(ProgressWindow progress, const std::string& path, const Dib* dib);
Code EncodeEPS(ProgressWindow progress, const std::string& path, const Dib* dib, int grey, int monochrome,
               int preview);
Code EncodeGIF(ProgressWindow progress, const std::string& path, const Dib* dib, int version89a, int interlaced,
               int transparentIndex);
Code EncodeIFF(ProgressWindow progress, const std::string& path, const Dib* dib, int compressed);
Code EncodeIMG(ProgressWindow progress, const std::string& path, const Dib* dib);
Code EncodeJPG(ProgressWindow progress, const std::string& path, const Dib* dib, int quality, int dpi,
               int progressive);
Code EncodeMAC(ProgressWindow progress, const std::string& path, const Dib* dib, int withoutHeader);  // 1: no MacBinary header
Code EncodeMSP(ProgressWindow progress, const std::string& path, const Dib* dib);
Code EncodePCX(ProgressWindow progress, const std::string& path, const Dib* dib, int version, int dpi);
Code EncodePIC(ProgressWindow progress, const std::string& path, const Dib* dib);
Code EncodePICT(ProgressWindow progress, const std::string& path, const Dib* dib, int version);
Code EncodePNG(ProgressWindow progress, const std::string& path, const Dib* dib, const ImageExtra* extra,
               int level, int interlaced, int grey, int transparentIndex);
Code EncodePSD(ProgressWindow progress, const std::string& path, const Dib* dib, int grey);
// subType 0 ASCII, 1 binary; the kind (PBM, PGM, PPM) follows from the depth.
Code EncodePXM(ProgressWindow progress, const std::string& path, const Dib* dib, int subType,
               const std::string& creator);
Code EncodeRAS(ProgressWindow progress, const std::string& path, const Dib* dib);
Code EncodeTGA(ProgressWindow progress, const std::string& path, const Dib* dib, const ImageExtra* extra, int bits,
               int compressed);
Code EncodeTIF(ProgressWindow progress, const std::string& path, const Dib* dib, const ImageExtra* extra,
               int compression, int grey, int dpi);
Code EncodeWPG(ProgressWindow progress, const std::string& path, const Dib* dib, int version, int dpi);

// Windows RLE (1) or CompuServe RLE (10).
Code PickRLEType(const std::string& path, int* kind);

}  // namespace km::imgx
