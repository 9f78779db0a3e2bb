// Mapping an image to a given palette: nearest colour or error diffusion, with the
// nearest search memoised per 7-bit-per-channel cell.

#include <cstring>
#include <memory>
#include <new>

#include "imaging/palette/Palette.h"
#include "imaging/palette/RowEngine.h"

namespace km {

namespace {

constexpr std::size_t kCacheCells = std::size_t{1} << 21;

// One memo per thread, so that concurrent runs never share answers for different
// palettes. An entry of -1 means "not searched yet".
thread_local std::unique_ptr<std::int16_t[]> tNearestCache;

std::int16_t* EnsureCache() {
  if (!tNearestCache) {
    tNearestCache.reset(new (std::nothrow) std::int16_t[kCacheCells]);
    if (tNearestCache) {
      std::memset(tNearestCache.get(), 0xFF, kCacheCells * sizeof(std::int16_t));
    }
  }
  return tNearestCache.get();
}

constexpr std::size_t CacheCell(int red, int green, int blue) {
  return static_cast<std::size_t>(((red & 0xFE) << 13) | ((green & 0xFE) << 6) | (blue >> 1));
}

int SearchNearest(int red, int green, int blue, const RgbQuad* palette, int count) {
  int best = 0;
  int bestDistance = -1;
  for (int i = 0; i < count; ++i) {
    const int db = palette[i].rgbBlue - blue;
    const int dg = palette[i].rgbGreen - green;
    const int dr = palette[i].rgbRed - red;
    const int d = db * db + dg * dg + dr * dr;
    if (bestDistance < 0 || d < bestDistance) {
      if (d == 0) {
        return i;  // nothing can come closer, and later ties lose anyway
      }
      bestDistance = d;
      best = i;
    }
  }
  return best;
}

inline int NearestCached(std::int16_t* cache, int red, int green, int blue, const RgbQuad* palette,
                         int count) {
  std::int16_t& cell = cache[CacheCell(red, green, blue)];
  if (cell < 0) {
    cell = static_cast<std::int16_t>(SearchNearest(red, green, blue, palette, count));
  }
  return cell;
}

}  // namespace

int NearestPaletteIndex(int red, int green, int blue, const RgbQuad* palette, int count) {
  if (palette == nullptr || count < 1) {
    return 0;
  }
  red = palette_detail::Clamp255(red);
  green = palette_detail::Clamp255(green);
  blue = palette_detail::Clamp255(blue);
  std::int16_t* cache = EnsureCache();
  if (cache == nullptr) {
    return SearchNearest(red, green, blue, palette, count);
  }
  return NearestCached(cache, red, green, blue, palette, count);
}

void FreeNearestCache() { tNearestCache.reset(); }

OpResult MapDIBToPalette(ProgressWindow /*progress*/, const Dib* source, DibHandle* out, int bits,
                         const RgbQuad* palette, int method, bool reduceBleed, int count) {
  if (PrepareOp(source, out) != kOk || palette == nullptr || (bits != 4 && bits != 8) ||
      source->bitCount() < 4 || (method != 0 && method != 2)) {
    return kInvalidArgument;
  }
  // A gathering that found no pixels leaves nothing to match against.
  if (count < 1) {
    return kInvalidArgument;
  }
  const int entries = 1 << bits;
  // An index the output cannot hold is never chosen.
  if (count > entries) {
    count = entries;
  }
  DibHandle result;
  OpResult rc = palette_detail::NewImage(source->width(), source->height(), bits, entries, nullptr, &result);
  if (rc != kOk) {
    return rc;
  }
  RgbQuad* table = result->colors();
  for (int i = 0; i < entries; ++i) {
    table[i] = palette[i];
    table[i].rgbReserved = 0;
  }
  std::int16_t* cache = EnsureCache();
  if (cache == nullptr) {
    return kOutOfMemory;
  }
  rc = palette_detail::ConvertRows(
      nullptr, *source, *result, method == 2, reduceBleed, palette,
      [cache, palette, count](int, int, int blue, int green, int red) {
        return NearestCached(cache, red, green, blue, palette, count);
      });
  FreeNearestCache();
  if (rc != kOk) {
    return rc;
  }
  *out = std::move(result);
  return kOk;
}

}  // namespace km
