#pragma once

// Helpers shared by the codecs of this folder: making the decoded image with the
// library's codes, the allocation budget that keeps a tiny hostile file from asking
// for gigabytes, and the per-row progress step.

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "fileio/imgx/ByteIO.h"
#include "fileio/imgx/Codes.h"
#include "fileio/imgx/FileBytes.h"
#include "fileio/imgx/Imgx.h"
#include "imaging/Dib.h"
#include "imaging/Progress.h"

namespace km::imgx {

// The common body of a file decoder: clears *out, reads the whole file and hands its
// bytes to `parse`; kNoMemory, and no image, when memory runs out on the way.
template <typename Parse>
Code DecodeWholeFile(const std::string& path, DibHandle* out, Parse&& parse) {
  if (out == nullptr) {
    return kNotThisFormat;
  }
  out->reset();
  std::vector<std::uint8_t> file;
  if (const Code c = ReadFileBytes(path, &file); c != kOk) {
    return c;
  }
  try {
    return parse(file);
  } catch (const std::bad_alloc&) {
    out->reset();
    return kNoMemory;
  }
}

// Width and height a decoder accepts: 1..32767 each, else kBadDimensions.
inline bool ValidSize(long long width, long long height) {
  return width >= 1 && height >= 1 && width <= kMaxDibSide && height <= kMaxDibSide;
}

// Decoded images up to this many bytes are always allowed; beyond it the image may be
// at most `ratio` times the file, the most its compression can expand.
inline constexpr std::size_t kFreeDecodeBytes = std::size_t{64} << 20;

inline bool WithinBudget(int width, int height, int bits, std::size_t fileSize, std::size_t ratio) {
  const std::size_t bytes = Dib::Stride(width, bits) * static_cast<std::size_t>(height);
  std::size_t allowed = 0;
  return bytes <= kFreeDecodeBytes || (CheckedMul(fileSize, ratio, &allowed) && bytes <= allowed);
}

// A new zero-filled image; kBadDimensions for sizes outside 1..32767, kNoMemory when it
// cannot be allocated.
inline Code NewDib(int width, int height, int bits, int clrUsed, DibHandle* out) {
  if (!ValidSize(width, height)) {
    return kBadDimensions;
  }
  const OpResult r = Dib::Create(width, height, bits, clrUsed, out);
  if (r == kOutOfMemory) {
    return kNoMemory;
  }
  return r == 0 ? kOk : kUnsupportedVariant;
}

// Dots per inch <-> pixels per metre, rounded.
inline std::int32_t DpiToPerMetre(double dpi) { return dpi > 0 ? static_cast<std::int32_t>(dpi / 0.0254 + 0.5) : 0; }
inline double PerMetreToDpi(std::int32_t ppm) { return ppm > 0 ? ppm * 0.0254 : 0.0; }

// Before row `done` of `total`: true when the user asked to stop.
inline bool RowCancelled(ProgressWindow progress, long long done, long long total) {
  return ProgressStep(progress, done, total);
}

// Every pixel of a palette image indexes its table (count entries); 4- and 1-bit
// images with full tables are always fine.
bool IndicesWithinTable(const Dib& dib, int count);

// Grey level 0..255 of a colour, as the greyscale writers store it.
inline std::uint8_t GreyOf(const RgbQuad& q) {
  return static_cast<std::uint8_t>((q.rgbRed * 299 + q.rgbGreen * 587 + q.rgbBlue * 114 + 500) / 1000);
}

// Row y of the picture counted from the top (the Dib stores the bottom row first).
inline std::uint8_t* TopRow(Dib& dib, int y) { return dib.row(dib.height() - 1 - y); }
inline const std::uint8_t* TopRow(const Dib& dib, int y) { return dib.row(dib.height() - 1 - y); }

// Fills an info record from a decoded image (formats whose header is simplest to read
// by decoding it).
void FillInfo(const std::string& path, std::uint16_t type, int width, int height, int bits, ImageInfo* info);

}  // namespace km::imgx
