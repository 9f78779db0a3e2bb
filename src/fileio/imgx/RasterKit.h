#pragma once

// Helpers shared by the bitmap codecs of the format library: making the decoded image,
// moving pixel indices between packed rows, bit planes and byte arrays, PackBits
// (ByteRun1) rows, and the plausibility test that keeps a tiny file from asking for a
// huge image.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fileio/imgx/ByteIO.h"
#include "fileio/imgx/Codes.h"
#include "fileio/imgx/FileBytes.h"
#include "fileio/imgx/Imgx.h"
#include "imaging/Dib.h"
#include "imaging/Progress.h"

namespace km::imgx::kit {

// A new image for a decoder: kBadDimensions for sides outside 1..32767, kNoMemory when
// the allocation fails.
Code NewImage(long long width, long long height, int bits, int colors, DibHandle* out);

// True when `available` bytes can plausibly hold `decoded` bytes of pixels under a
// compression that expands at most `maxRatio` times.
inline bool Plausible(std::size_t decoded, std::size_t available, std::size_t maxRatio) {
  return decoded / maxRatio <= available;
}

// The DIB depth that holds indices of `bits` bits: 1, 4 or 8.
inline int DibBitsFor(int bits) { return bits <= 1 ? 1 : (bits <= 4 ? 4 : 8); }

// Picture row y, 0 being the top row.
inline std::uint8_t* TopRow(Dib& dib, int y) { return dib.row(dib.height() - 1 - y); }
inline const std::uint8_t* TopRow(const Dib& dib, int y) { return dib.row(dib.height() - 1 - y); }

// One byte per pixel <-> a packed row of 1, 4 or 8 bits.
void PackIndices(const std::uint8_t* indices, int width, int bits, std::uint8_t* row);
void UnpackIndices(const std::uint8_t* row, int width, int bits, std::uint8_t* indices);

// Bit planes (plane 0 the least significant bit, each plane `planeStride` bytes, most
// significant bit first) <-> one byte per pixel.
void PlanesToIndices(const std::uint8_t* planes, std::size_t planeStride, int planeCount, int width,
                     std::uint8_t* indices);
void IndicesToPlanes(const std::uint8_t* indices, int width, int planeCount, std::size_t planeStride,
                     std::uint8_t* planes);

// Colour-table entry i becomes the grey level i * 255 / (count - 1).
void SetGreyRamp(Dib& dib, int count);
void SetColor(Dib& dib, int index, int red, int green, int blue);

// For a 1-bit source: per index, true when that colour is the darker of the two (or,
// for equal colours, when it is dark). Used by formats where a set bit means black.
void DarkIndices(const Dib& dib, bool dark[2]);
// True when the 1-bit image's table is exactly black and white (in either order).
bool IsBlackAndWhite(const Dib& dib);

// Every pixel of picture row y as blue, green, red triples through the colour table.
void RowToBgr(const Dib& dib, int y, std::uint8_t* bgr);

// Progress before row `done` of `total`; true when the user asked to stop.
inline bool Cancelled(ProgressWindow progress, long long done, long long total) {
  return ProgressStep(progress, done, total);
}

// 101 for a missing or broken image, else kOk.
Code CheckSource(const Dib* dib);

// PackBits / ByteRun1: a control byte n in 0..127 copies n+1 literal bytes, -1..-127
// repeats the next byte 1-n times, -128 does nothing.
enum class RunResult { kOk, kTruncated, kOverrun };
// Fills exactly `outSize` bytes from the reader. A run that would go past outSize is an
// overrun; running out of input is truncation.
RunResult UnpackBits(ByteReader& in, std::uint8_t* out, std::size_t outSize);
// Packing is PackBits() of fileio/imgx/PackBits.h.

// The file an encoder's output finally becomes: WriteImageFile writes to the hidden
// sibling "<folder>/.<name>.part" and renames it once complete, so companion files
// (the CUT palette) and names stored inside a file (MacBinary) follow "<folder>/<name>".
std::string FinalPath(const std::string& path);

// Fills an information record.
void FillInfo(const std::string& path, std::size_t fileSize, int width, int height, int bits,
              std::uint16_t type, ImageInfo* info);

}  // namespace km::imgx::kit
