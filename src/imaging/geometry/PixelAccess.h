#pragma once

// Helpers shared by the geometry operations: blank results shaped after a source,
// packed-pixel access specialised by depth, the area-resampling runs, the background
// colour and the progress steps.

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#include "imaging/Dib.h"
#include "imaging/OpResult.h"
#include "imaging/Progress.h"

namespace km::geometry {

// A zero-filled image of the given size with the source's depth, header fields and
// colour table (40-byte header). 101 when the size is out of range, 102 without memory.
OpResult NewLike(const Dib& source, int width, int height, DibHandle* out);

// A zero-filled 8- or 24-bit image with a 40-byte header; an 8-bit one carries 256
// entries of the identity grey table.
OpResult NewGreyOrRgb(int width, int height, int bits, DibHandle* out);

// Pixel access for packed rows. Values are indices for 1, 4 and 8 bits and
// blue | green << 8 | red << 16 for 24 bits.
template <int Bits>
struct Px {
  static std::uint32_t Get(const std::uint8_t* row, int x) {
    if constexpr (Bits == 1) {
      return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    } else if constexpr (Bits == 4) {
      return (x & 1) ? (row[x >> 1] & 0x0Fu) : (row[x >> 1] >> 4);
    } else if constexpr (Bits == 8) {
      return row[x];
    } else {
      const std::uint8_t* p = row + 3 * static_cast<std::size_t>(x);
      return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16);
    }
  }
  static void Set(std::uint8_t* row, int x, std::uint32_t v) {
    if constexpr (Bits == 1) {
      const auto mask = static_cast<std::uint8_t>(0x80u >> (x & 7));
      row[x >> 3] = static_cast<std::uint8_t>((v & 1u) ? (row[x >> 3] | mask) : (row[x >> 3] & ~mask));
    } else if constexpr (Bits == 4) {
      std::uint8_t& b = row[x >> 1];
      b = (x & 1) ? static_cast<std::uint8_t>((b & 0xF0u) | (v & 0x0Fu))
                  : static_cast<std::uint8_t>((b & 0x0Fu) | ((v & 0x0Fu) << 4));
    } else if constexpr (Bits == 8) {
      row[x] = static_cast<std::uint8_t>(v);
    } else {
      std::uint8_t* p = row + 3 * static_cast<std::size_t>(x);
      p[0] = static_cast<std::uint8_t>(v);
      p[1] = static_cast<std::uint8_t>(v >> 8);
      p[2] = static_cast<std::uint8_t>(v >> 16);
    }
  }
};

// Calls fn(std::integral_constant<int, Bits>) for the depth; 101 for any other.
template <class Fn>
OpResult WithDepth(int bits, Fn&& fn) {
  switch (bits) {
    case 1: return fn(std::integral_constant<int, 1>{});
    case 4: return fn(std::integral_constant<int, 4>{});
    case 8: return fn(std::integral_constant<int, 8>{});
    case 24: return fn(std::integral_constant<int, 24>{});
    default: return kInvalidArgument;
  }
}

// Bytes per pixel of an 8- or 24-bit image.
inline int Channels(int bits) { return bits == 24 ? 3 : 1; }

// A fill colour as the channel bytes of one pixel (blue, green, red for 24 bits, the
// grey level or index in byte 0 for 8 bits).
struct Background {
  std::uint8_t ch[3] = {0, 0, 0};
  static Background Of(int bits, int red, int green, int blue, int greyFrom) {
    Background b;
    if (bits == 24) {
      b.ch[0] = static_cast<std::uint8_t>(blue);
      b.ch[1] = static_cast<std::uint8_t>(green);
      b.ch[2] = static_cast<std::uint8_t>(red);
    } else {
      b.ch[0] = static_cast<std::uint8_t>(greyFrom);
    }
    return b;
  }
  void Put(std::uint8_t* p, int channels) const { std::memcpy(p, ch, static_cast<std::size_t>(channels)); }
};

// Area resampling along one line: source pixels are walked in order while destination
// pixels take `unit` units each; each destination pixel gets the (source index, covered
// units) taps it covers. Positions past the last source pixel either stay on the last
// one (clamp) or are reported as srcCount.
struct AreaTap {
  int src;
  int weight;
};

class AreaWalker {
public:
  AreaWalker(int srcCount, bool clamp) : count_(srcCount), clamp_(clamp) {}
  // Takes `unit` units; a source pixel entered during this call is `width` units wide
  // (the width may change from one destination pixel to the next).
  void Take(int unit, int width, std::vector<AreaTap>* taps) {
    if (remaining_ <= 0) {
      remaining_ = width;
    }
    int need = unit;
    while (need > 0) {
      const int take = need < remaining_ ? need : remaining_;
      taps->push_back({Index(), take});
      need -= take;
      remaining_ -= take;
      if (remaining_ == 0) {
        ++pos_;
        remaining_ = width;
      }
    }
  }
  int position() const { return pos_; }

private:
  int Index() const {
    if (pos_ < count_) {
      return pos_;
    }
    return clamp_ ? count_ - 1 : count_;
  }
  int count_;
  bool clamp_;
  int pos_ = 0;
  int remaining_ = 0;
};

// The first progress report of an operation, made without a cancel test.
inline void ReportStart(ProgressWindow progress) {
  if (progress != nullptr) {
    progress->report(0);
  }
}

inline void ReportDone(ProgressWindow progress) {
  if (progress != nullptr) {
    progress->report(100);
  }
}

}  // namespace km::geometry
