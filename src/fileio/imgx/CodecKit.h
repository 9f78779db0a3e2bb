#pragma once

// What the codecs of this folder share: the read-the-whole-file-then-parse step of
// every decoder and information call, the decode budget that keeps a tiny hostile file
// from asking for gigabytes, making the decoded image, moving pixel indices between
// packed rows, bit planes and byte arrays, and the colour-table helpers.
//
// Out pointers: a null out pointer (image, information record, kind or type) is a
// caller's mistake, answered with kInvalidParameter before anything is read.

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "fileio/imgx/ByteIO.h"
#include "fileio/imgx/Codes.h"
#include "fileio/imgx/FileBytes.h"
#include "fileio/imgx/Imgx.h"
#include "imaging/Dib.h"
#include "imaging/Progress.h"

namespace km::imgx {

// The common body of a decoder: clears *out, reads the whole file and hands its bytes
// to `parse`, which sets *out only on success. kNoMemory, and no image, when memory
// runs out on the way.
template <typename Parse>
Code DecodeWholeFile(const std::string& path, DibHandle* out, Parse&& parse) {
  if (out == nullptr) {
    return kInvalidParameter;
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

// The common body of an information call: reads the whole file and hands its bytes and
// a blank record to `parse`, which fills the format's fields (FillInfo). On success the
// record, with the path and the file's size added, replaces *info; on failure *info is
// left as it was.
template <typename Parse>
Code InfoWholeFile(const std::string& path, ImageInfo* info, Parse&& parse) {
  if (info == nullptr) {
    return kInvalidParameter;
  }
  std::vector<std::uint8_t> file;
  if (const Code c = ReadFileBytes(path, &file); c != kOk) {
    return c;
  }
  try {
    ImageInfo found;
    if (const Code c = parse(file, &found); c != kOk) {
      return c;
    }
    found.name = path;
    found.fileSize = file.size();
    *info = std::move(found);
    return kOk;
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
}

// The format fields of an information record.
inline void FillInfo(std::uint16_t type, int width, int height, int bits, ImageInfo* info) {
  info->type = type;
  info->width = width;
  info->height = height;
  info->bits = bits;
}

// Width and height a decoder accepts: 1..32767 each, else kBadDimensions.
inline bool ValidSize(long long width, long long height) {
  return width >= 1 && height >= 1 && width <= kMaxDibSide && height <= kMaxDibSide;
}

// The decode budget. `rows` rows of `rowBytes` bytes each, to be made from `available`
// bytes of data whose coding expands at most `ratio` times: up to kFreeDecodeBytes is
// always allowed, more only when the data could hold it. False when the size does not
// even fit in 64 bits.
inline constexpr std::uint64_t kFreeDecodeBytes = std::uint64_t{64} << 20;
bool WithinBudget(std::uint64_t rowBytes, std::uint64_t rows, std::uint64_t available, std::uint64_t ratio);

// A new zero-filled image: kBadDimensions for sides outside 1..32767, kNoMemory when it
// cannot be allocated, kUnsupportedVariant for a depth or table size a Dib cannot have.
Code NewDib(long long width, long long height, int bits, int colors, DibHandle* out);

// 101 (kInvalidParameter) for an encoder's missing or broken image, else kOk.
Code CheckSource(const Dib* dib);

// Before row `done` of `total`: true when the user asked to stop.
inline bool RowCancelled(ProgressWindow progress, long long done, long long total) {
  return ProgressStep(progress, done, total);
}

// Row y of the picture counted from the top (the Dib stores the bottom row first).
inline std::uint8_t* TopRow(Dib& dib, int y) { return dib.row(dib.height() - 1 - y); }
inline const std::uint8_t* TopRow(const Dib& dib, int y) { return dib.row(dib.height() - 1 - y); }

// The DIB depth that holds indices of `bits` bits: 1, 4 or 8.
inline int DibBitsFor(int bits) { return bits <= 1 ? 1 : (bits <= 4 ? 4 : 8); }

// One byte per pixel <-> a packed row of 1, 4 or 8 bits.
void PackIndices(const std::uint8_t* indices, int width, int bits, std::uint8_t* row);
void UnpackIndices(const std::uint8_t* row, int width, int bits, std::uint8_t* indices);

// Bit planes (plane 0 the least significant bit, each plane `planeStride` bytes, most
// significant bit first) <-> one byte per pixel.
void PlanesToIndices(const std::uint8_t* planes, std::size_t planeStride, int planeCount, int width,
                     std::uint8_t* indices);
void IndicesToPlanes(const std::uint8_t* indices, int width, int planeCount, std::size_t planeStride,
                     std::uint8_t* planes);

// Every pixel of picture row y as blue, green, red triples through the colour table.
void RowToBgr(const Dib& dib, int y, std::uint8_t* bgr);

// Every pixel of a palette image indexes its table (count entries); 4- and 1-bit
// images with full tables are always fine.
bool IndicesWithinTable(const Dib& dib, int count);

// Colour-table entry i becomes the grey level i * 255 / (count - 1).
void SetGreyRamp(Dib& dib, int count);
void SetColor(Dib& dib, int index, int red, int green, int blue);

// Grey level 0..255 of a colour, as the greyscale writers store it.
inline std::uint8_t GreyOf(const RgbQuad& q) {
  return static_cast<std::uint8_t>((q.rgbRed * 299 + q.rgbGreen * 587 + q.rgbBlue * 114 + 500) / 1000);
}

// For a 1-bit source: per index, true when that colour is the darker of the two (or,
// for equal colours, when it is dark). Used by formats where a set bit means black.
// Its luma weights (30, 59, 11) are not GreyOf's: the files these writers made keep
// their bits.
void DarkIndices(const Dib& dib, bool dark[2]);
// True when the 1-bit image's table is exactly black and white (in either order).
bool IsBlackAndWhite(const Dib& dib);

// Dots per inch <-> pixels per metre, rounded.
inline std::int32_t DpiToPerMetre(double dpi) { return dpi > 0 ? static_cast<std::int32_t>(dpi / 0.0254 + 0.5) : 0; }
inline double PerMetreToDpi(std::int32_t ppm) { return ppm > 0 ? ppm * 0.0254 : 0.0; }

// The file an encoder's output finally becomes: WriteImageFile writes to the hidden
// sibling "<folder>/.<name>.part" and renames it once complete, so companion files
// (the CUT palette) and names stored inside a file (MacBinary) follow "<folder>/<name>".
std::string FinalPath(const std::string& path);

}  // namespace km::imgx
