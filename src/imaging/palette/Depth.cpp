// Raising an image's bit depth without changing its colours, and replacing a colour
// table while keeping the pixel indices.

#include <cstring>
#include <new>
#include <vector>

#include "imaging/palette/Palette.h"
#include "imaging/palette/PaletteInternal.h"

namespace km {

OpResult IncreaseDIBDepth(ProgressWindow progress, const Dib* source, DibHandle* out, int bits) {
  if (PrepareOp(source, out) != kOk || (bits != 4 && bits != 8 && bits != 24) ||
      bits <= source->bitCount()) {
    return kInvalidArgument;
  }
  if (progress != nullptr) {
    progress->report(0);
  }
  const int width = source->width();
  const int height = source->height();
  const int entries = bits == 24 ? 0 : (1 << bits);
  DibHandle result;
  OpResult rc = palette_detail::NewImage(width, height, bits, entries, source, &result);
  if (rc != kOk) {
    return rc;
  }
  const int sourceEntries = source->colorCount();
  if (entries > 0 && sourceEntries > 0) {
    std::memcpy(result->colors(), source->colors(), static_cast<std::size_t>(sourceEntries) * sizeof(RgbQuad));
  }
  RgbQuad table[256];
  palette_detail::LoadFullTable(*source, table);
  std::vector<std::uint8_t> indices;
  try {
    indices.resize(static_cast<std::size_t>(width));
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  for (int done = 0; done < height; ++done) {
    if (ProgressStep(progress, done + 1, height)) {
      return kCancelled;
    }
    const int y = height - 1 - done;
    palette_detail::UnpackIndices(source->row(y), width, source->bitCount(), indices.data());
    std::uint8_t* row = result->row(y);
    if (bits == 24) {
      for (int x = 0; x < width; ++x, row += 3) {
        const RgbQuad& c = table[indices[static_cast<std::size_t>(x)]];
        row[0] = c.rgbBlue;
        row[1] = c.rgbGreen;
        row[2] = c.rgbRed;
      }
    } else {
      palette_detail::PackIndices(indices.data(), width, bits, row);
    }
  }
  if (progress != nullptr) {
    progress->report(100);
  }
  *out = std::move(result);
  return kOk;
}

OpResult MaintainIndexesDIB(const Dib* source, DibHandle* out, int count, const RgbQuad* palette) {
  if (PrepareOp(source, out) != kOk || palette == nullptr) {
    return kInvalidArgument;
  }
  if (count < 0 || static_cast<std::uint32_t>(count) != source->header().biClrUsed) {
    return kPaletteCountMismatch;
  }
  DibHandle result;
  const OpResult rc = CopyDIB(source, &result);
  if (rc != kOk) {
    return rc;
  }
  if (count > 0) {
    std::memcpy(result->colors(), palette, static_cast<std::size_t>(count) * sizeof(RgbQuad));
  }
  *out = std::move(result);
  return kOk;
}

}  // namespace km
