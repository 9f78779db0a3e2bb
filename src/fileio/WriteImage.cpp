#include "fileio/WriteImage.h"

#include <cstdio>
#include <new>

#include "StringTable.h"
#include "fileio/UnnamedFile.h"
#include "fileio/meta/Meta.h"

namespace km {

namespace {

using imgx::Code;

constexpr const char* kExtensions[kOutputFormatCount + 1] = {
    "",     ".bmp", ".clp", ".cut", ".dib", ".eps", ".gif", ".iff", ".img", ".jif", ".jpg", ".lbm", ".mac", ".msp",
    ".pbm", ".pct", ".pcx", ".pgm", ".pic", ".png", ".ppm", ".psd", ".ras", ".rle", ".tga", ".tif", ".wmf", ".wpg",
};

// How many sub-types each format offers (formats without a choice have one, "None").
constexpr int kSubTypeCounts[kOutputFormatCount + 1] = {
    0, 3, 1, 1, 3, 4, 4, 2, 1, 2, 2, 2, 2, 1, 2, 1, 3, 2, 1, 2, 2, 1, 1, 2, 6, 5, 1, 3,
};

constexpr int kApplicationNameId = 57344;  // the application title

Code Encode(ProgressWindow progress, const OutputOptions& options, const std::string& path, const Dib* dib,
            const imgx::ImageExtra* extra, int grey, int transparentValue) {
  using namespace imgx;
  const int dpi = options.dpi;
  const int subType = options.subType;
  switch (options.format) {
    case kOutBMP:
    case kOutDIB: {
      static constexpr int kKinds[] = {1, 0, 2};
      return EncodeBMP(progress, path, dib, kKinds[subType]);
    }
    case kOutCLP: return EncodeCLP(progress, path, dib);
    case kOutCUT: return EncodeCUT(progress, path, dib);
    case kOutIMG: return EncodeIMG(progress, path, dib);
    case kOutMSP: return EncodeMSP(progress, path, dib);
    case kOutPIC: return EncodePIC(progress, path, dib);
    case kOutRAS: return EncodeRAS(progress, path, dib);
    case kOutEPS: return EncodeEPS(progress, path, dib, grey, subType < 2 ? 1 : 0, subType % 2);
    case kOutGIF: {
      const bool v89a = subType >= 2;
      const int t = v89a ? OutputTransparentIndex(options, dib, transparentValue) : -1;
      return EncodeGIF(progress, path, dib, v89a ? 1 : 0, subType % 2 == 0 ? 1 : 0, t);
    }
    case kOutIFF:
    case kOutLBM: return EncodeIFF(progress, path, dib, subType == 0 ? 1 : 0);
    case kOutJIF:
    case kOutJPG:
      return EncodeJPG(progress, path, dib, 100 - options.compression, dpi,
                       subType == 1 ? 1 : 0);
    case kOutMAC: return EncodeMAC(progress, path, dib, subType == 0 ? 1 : 0);
    case kOutPBM:
    case kOutPGM:
    case kOutPPM: return EncodePXM(progress, path, dib, subType, LoadString(kApplicationNameId));
    case kOutPCT: return EncodePICT(progress, path, dib, 1);
    case kOutPCX: {
      static constexpr int kVersions[] = {0, 2, 5};
      return EncodePCX(progress, path, dib, kVersions[subType], dpi);
    }
    case kOutPNG: return EncodePNG(progress, path, dib, extra, 5, subType, grey, transparentValue);
    case kOutPSD: return EncodePSD(progress, path, dib, grey);
    case kOutRLE: return subType == 0 ? EncodeCISRLE(progress, path, dib) : EncodeBMP(progress, path, dib, 2);
    case kOutTGA: {
      static constexpr int kBits[] = {8, 8, 16, 16, 24, 24};
      return EncodeTGA(progress, path, dib, extra, kBits[subType], subType % 2 == 0 ? 1 : 0);
    }
    case kOutTIF: {
      static constexpr int kCompression[] = {3, 2, 5, 32773, 1};
      return EncodeTIF(progress, path, dib, extra, kCompression[subType], grey, dpi);
    }
    case kOutWMF: {
      std::unique_ptr<LogPalette> palette;
      const OpResult r = PaletteFromDIB(dib, &palette);
      return r != km::kOk ? static_cast<Code>(r) : EncodeWMF(progress, path, dib, palette.get());
    }
    case kOutWPG: {
      static constexpr int kVersions[] = {50, 51, 60};
      return EncodeWPG(progress, path, dib, kVersions[subType], dpi);
    }
    default: return imgx::kOk;
  }
}

// The folder part of path, with its trailing "/", and the file name.
std::size_t NameStart(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? 0 : slash + 1;
}

}  // namespace

std::string OutputExtension(int format) {
  return format >= 1 && format <= kOutputFormatCount ? kExtensions[format] : "";
}

int CheckOutputDepth(int format, int subType, const Dib* dib) {
  if (ValidateDib(dib) != kOk) {
    return 5002;
  }
  const int bits = dib->bitCount();
  const bool grey = IsDIBGreyScaled(dib);
  const int w = dib->width();
  const int h = dib->height();
  switch (format) {
    case kOutBMP:
    case kOutDIB: return subType == 2 && bits != 4 && bits != 8 ? 5010 : 0;
    case kOutCUT: return bits != 8 ? 5006 : 0;
    case kOutGIF:
    case kOutIFF:
    case kOutLBM:
    case kOutPIC:
    case kOutWPG: return bits == 24 ? 5009 : 0;
    case kOutIMG: return bits == 1 || (bits == 8 && grey) ? 0 : 5011;
    case kOutJIF:
    case kOutJPG: return bits == 24 || grey ? 0 : 5008;
    case kOutMAC: return w == 576 && h == 720 && bits == 1 ? 0 : 5012;
    case kOutMSP:
    case kOutPBM: return bits != 1 ? 5007 : 0;
    case kOutPCX:
      if (subType == 0) {
        return bits != 1 ? 5007 : 0;
      }
      return subType == 1 && bits != 1 && bits != 4 ? 5013 : 0;
    case kOutPGM: return bits == 8 && grey ? 0 : 5014;
    case kOutPPM: return bits != 24 ? 5005 : 0;
    case kOutRAS: return bits == 4 ? 5015 : 0;
    case kOutRLE:
      if (subType == 0) {
        return bits == 1 && ((w == 256 && h == 192) || (w == 128 && h == 96)) ? 0 : 5017;
      }
      return subType == 1 && bits != 4 && bits != 8 ? 5010 : 0;
    case kOutTGA:
      if (subType == 0 || subType == 1) {
        return bits != 8 ? 5006 : 0;
      }
      return subType >= 2 && subType <= 5 && bits != 24 ? 5005 : 0;
    case kOutTIF: return (subType == 0 || subType == 1) && bits != 1 ? 5007 : 0;
    default: return 0;
  }
}

std::string ReplaceExtension(const std::string& path, int format) {
  const std::size_t name = NameStart(path);
  const std::size_t dot = path.find_last_of('.');
  const std::string base = dot != std::string::npos && dot >= name ? path.substr(0, dot) : path;
  return base + OutputExtension(format);
}

bool IsOutputListed(int format, int subType) {
  return format >= 1 && format <= kOutputFormatCount && subType >= 0 && subType < kSubTypeCounts[format];
}

std::string PartialOutputPath(const std::string& path) {
  const std::size_t name = NameStart(path);
  return path.substr(0, name) + "." + path.substr(name) + ".part";
}

int OutputTransparentIndex(const OutputOptions& options, const Dib* dib, int transparentValue) {
  switch (options.transparencyType) {
    case 0: return transparentValue;
    case 1: return -1;
    case 2: {
      if (dib == nullptr || dib->bitCount() == 24) {
        return -1;
      }
      const std::uint32_t c = options.transparentColor;
      return NearestColorIndex(dib->colors(), dib->colorCount(), RedOf(c), GreenOf(c), BlueOf(c));
    }
    case 3: return options.transparentIndex;
    default: return transparentValue;
  }
}

bool HoldsPhotoMetadata(int format) {
  return format == kOutJIF || format == kOutJPG || format == kOutPNG || format == kOutTIF;
}

imgx::Code WriteImageFile(ProgressWindow progress, const OutputOptions& options, const std::string& path,
                          const Dib* dib, const imgx::ImageExtra* extra, int grey, int transparentValue,
                          const PhotoMetadata* metadata) {
  if (!IsOutputListed(options.format, options.subType)) {
    return imgx::kOk;
  }
  if (ValidateDib(dib) != kOk) {
    return static_cast<Code>(kInvalidArgument);
  }
  // The encoder's file, with the photograph's records added where the format holds them.
  const auto write = [&](const std::string& file) {
    Code r = Encode(progress, options, file, dib, extra, grey, transparentValue);
    if (r == imgx::kOk && metadata != nullptr && !metadata->empty() && HoldsPhotoMetadata(options.format)) {
      MetadataWrite how;
      how.keepRecords = options.keepMetadata != 0;
      how.width = dib->width();
      how.height = dib->height();
      how.dpi = options.format == kOutPNG ? 0 : options.dpi;  // PNG outputs have no DPI setting
      how.grey = grey != 0;
      if (EmbedPhotoMetadata(file, *metadata, how) == EmbedOutcome::Damaged) {
        r = Encode(progress, options, file, dib, extra, grey, transparentValue);  // the pixels without it
      }
    }
    return r;
  };
  // Encoders write an unnamed file that replaces the target only once complete, so a
  // failed, cancelled or killed write leaves the previous file as it was and nothing
  // beside it. The CUT encoder names its palette file and the MacPaint encoder stores
  // the file's name after the path it is given, so they (and any file system without
  // unnamed files) write the hidden sibling instead.
  if (options.format != kOutCUT && options.format != kOutMAC) {
    UnnamedFile unnamed;
    if (unnamed.Open(path.substr(0, NameStart(path)))) {
      const Code r = write(unnamed.path());
      if (r != imgx::kOk) {
        return r;
      }
      if (unnamed.Publish(path)) {
        return imgx::kOk;
      }
    }
  }
  const std::string temp = PartialOutputPath(path);
  const Code r = write(temp);
  if (r != imgx::kOk) {
    std::remove(temp.c_str());
    return r;
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return imgx::kWriteError;
  }
  return imgx::kOk;
}

OpResult PaletteFromDIB(const Dib* dib, std::unique_ptr<LogPalette>* palette) {
  if (dib == nullptr || palette == nullptr) {
    return kInvalidArgument;
  }
  palette->reset();
  try {
    auto p = std::make_unique<LogPalette>();
    const int count = dib->bitCount() <= 8 ? dib->colorCount() : 0;
    if (count > 0) {
      p->entries.resize(static_cast<std::size_t>(count));
      for (int i = 0; i < count; ++i) {
        const RgbQuad q = dib->colors()[i];
        p->entries[static_cast<std::size_t>(i)] = {q.rgbRed, q.rgbGreen, q.rgbBlue, 0};
      }
    } else {
      p->entries.resize(256);
      for (int i = 0; i < 256; ++i) {
        p->entries[static_cast<std::size_t>(i)] = {static_cast<std::uint8_t>(32 * (i % 8)),
                                                   static_cast<std::uint8_t>(32 * ((i / 8) % 8)),
                                                   static_cast<std::uint8_t>(64 * (i / 64)), 0};
      }
    }
    *palette = std::move(p);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  return kOk;
}

}  // namespace km
