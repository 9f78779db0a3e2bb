// The optimum-palette gatherer: statistics over the pixels of one or more images, by
// median cut or octree, then the palette; and the 20 Windows colours around it.

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "imaging/palette/Gathering.h"
#include "imaging/palette/Palette.h"
#include "imaging/palette/PaletteInternal.h"

namespace km {

using palette_detail::MedianCutFinish;
using palette_detail::Octree;

struct OptPaletteGatherer::State {
  int method = -1;  // -1: no gathering in progress
  int colors = 0;
  std::vector<std::uint32_t> histogram;  // median cut: 32768 counters by ColorKey15
  std::unique_ptr<Octree> octree;
};

OptPaletteGatherer::OptPaletteGatherer() : state_(std::make_unique<State>()) {}
OptPaletteGatherer::~OptPaletteGatherer() = default;

OpResult OptPaletteGatherer::OptPaletteStart(int method, int colors, int depth) {
  state_->method = -1;
  state_->histogram = std::vector<std::uint32_t>();
  state_->octree.reset();
  if (method != kMedianCut && method != kOctree) {
    return kInvalidArgument;
  }
  // The palette buffer has 256 entries; a request outside 1..256 is held to that.
  colors = std::clamp(colors, 1, kPaletteEntries);
  try {
    if (method == kMedianCut) {
      state_->histogram.assign(32768, 0);
    } else {
      if (depth < 1 || depth > 8) {
        return kInvalidArgument;
      }
      state_->octree = std::make_unique<Octree>(depth, colors);
    }
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  state_->method = method;
  state_->colors = colors;
  return kOk;
}

OpResult OptPaletteGatherer::OptPaletteAddDIB(const Dib* image) {
  if (state_->method < 0 || ValidateDib(image) != kOk) {
    return kInvalidArgument;
  }
  const int bits = image->bitCount();
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) {
    return kOk;
  }
  const int width = image->width();
  const int height = image->height();
  RgbQuad table[256];
  palette_detail::LoadFullTable(*image, table);
  std::vector<std::uint8_t> indices;
  std::vector<std::uint8_t> bgr;
  try {
    indices.resize(static_cast<std::size_t>(width));
    bgr.resize(static_cast<std::size_t>(width) * 3);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }

  if (state_->method == kMedianCut) {
    std::uint32_t* hist = state_->histogram.data();
    // The counters saturate rather than wrap.
    auto count = [hist](int key) { hist[key] += (hist[key] != 0xFFFFFFFFu); };
    if (bits == 24) {
      for (int y = 0; y < height; ++y) {
        const std::uint8_t* p = image->row(y);
        for (int x = 0; x < width; ++x, p += 3) {
          count(ColorKey15(p[2], p[1], p[0]));
        }
      }
    } else {
      std::uint16_t keys[256];
      for (int i = 0; i < 256; ++i) {
        keys[i] = ColorKey15(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue);
      }
      for (int y = 0; y < height; ++y) {
        palette_detail::UnpackIndices(image->row(y), width, bits, indices.data());
        for (int x = 0; x < width; ++x) {
          count(keys[indices[static_cast<std::size_t>(x)]]);
        }
      }
    }
    return kOk;
  }

  Octree& tree = *state_->octree;
  for (int y = 0; y < height; ++y) {
    palette_detail::RowToBgr(*image, table, y, indices.data(), bgr.data());
    const std::uint8_t* p = bgr.data();
    for (int x = 0; x < width; ++x, p += 3) {
      if (!tree.Add(p[2], p[1], p[0])) {
        // The gathering cannot go on with a missing node: it ends here.
        state_->octree.reset();
        state_->method = -1;
        return kOutOfMemory;
      }
    }
  }
  return kOk;
}

int OptPaletteGatherer::OptPaletteFinish(RgbQuad* palette, bool includeWindowsColors) {
  int count = 0;
  if (palette != nullptr) {
    if (state_->method == kMedianCut) {
      count = MedianCutFinish(state_->histogram.data(), state_->colors, palette);
    } else if (state_->method == kOctree) {
      count = state_->octree->Write(palette);
    }
  }
  state_->method = -1;
  state_->histogram = std::vector<std::uint32_t>();
  state_->octree.reset();
  if (palette != nullptr && includeWindowsColors) {
    AddWindowsColors(palette, count);
  }
  return count;
}

namespace {

constexpr RgbQuad Rgb(int r, int g, int b) {
  return RgbQuad{static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(r), 0};
}

constexpr RgbQuad kWindowsColors[kWindowsColorCount] = {
    Rgb(0, 0, 0),       Rgb(128, 0, 0),     Rgb(0, 128, 0),     Rgb(128, 128, 0),   Rgb(0, 0, 128),
    Rgb(128, 0, 128),   Rgb(0, 128, 128),   Rgb(192, 192, 192), Rgb(192, 220, 192), Rgb(166, 202, 240),
    Rgb(255, 251, 240), Rgb(160, 160, 164), Rgb(128, 128, 128), Rgb(255, 0, 0),     Rgb(0, 255, 0),
    Rgb(255, 255, 0),   Rgb(0, 0, 255),     Rgb(255, 0, 255),   Rgb(0, 255, 255),   Rgb(255, 255, 255),
};

}  // namespace

OpResult AddWindowsColors(RgbQuad* palette, int count) {
  if (palette == nullptr || count < 0 || count > kMaxColorsWithWindows) {
    return kInvalidArgument;
  }
  std::memmove(palette + 10, palette, static_cast<std::size_t>(count) * sizeof(RgbQuad));
  std::memcpy(palette, kWindowsColors, 10 * sizeof(RgbQuad));
  std::memcpy(palette + count + 10, kWindowsColors + 10, 10 * sizeof(RgbQuad));
  return kOk;
}

int OptimumColorRequest(int colors, bool includeWindowsColors) {
  colors = std::clamp(colors, 1, kPaletteEntries);
  return includeWindowsColors ? std::min(colors, kMaxColorsWithWindows) : colors;
}

OpResult GatherImagePalette(const Dib* image, int method, int colors, bool includeWindowsColors,
                            RgbQuad* palette, int* count) {
  if (count != nullptr) {
    *count = 0;
  }
  if (palette == nullptr || count == nullptr || ValidateDib(image) != kOk) {
    return kInvalidArgument;
  }
  std::fill(palette, palette + kPaletteEntries, RgbQuad{});
  OptPaletteGatherer gatherer;
  OpResult rc = gatherer.OptPaletteStart(method, OptimumColorRequest(colors, includeWindowsColors), 8);
  if (rc == kOk) {
    rc = gatherer.OptPaletteAddDIB(image);
  }
  if (rc != kOk) {
    return rc;
  }
  const int generated = gatherer.OptPaletteFinish(palette, includeWindowsColors);
  *count = generated + (includeWindowsColors ? kWindowsColorCount : 0);
  return kOk;
}

}  // namespace km
