// Perspective: each column (or row) of the source is squeezed into a span that narrows
// linearly toward one edge, giving a trapezoid on the background colour.

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "imaging/geometry/Geometry.h"
#include "imaging/geometry/PixelAccess.h"

namespace km {

namespace {

constexpr int kUnit = 100000;  // units of one destination pixel

// One line of the image: `count` pixels `step` bytes apart.
struct Line {
  const std::uint8_t* src;
  std::uint8_t* dst;
  std::ptrdiff_t step;
  int count;
};

// Fills the destination line: the whole source line is squeezed into `span` pixels from
// `first` on and written to the pixels first..last (inclusive, clipped to the line);
// reads past the end stay on the last source pixel. The rest takes the background.
template <int Channels>
void SqueezeLine(const Line& line, int first, int last, int span, const geometry::Background& back) {
  const int lo = std::max(first, 0);
  const int hi = std::min(last, line.count - 1);
  for (int k = 0; k < line.count; ++k) {
    if (k < lo || k > hi) {
      back.Put(line.dst + k * line.step, Channels);
    }
  }
  if (lo > hi) {
    return;
  }
  // One source pixel is worth `width` units, a destination pixel kUnit.
  const int width = std::max(1, static_cast<int>(static_cast<long long>(span) * kUnit / line.count));
  int pos = 0;
  int remaining = width;
  for (int k = first; k <= hi; ++k) {
    int sum[Channels] = {};
    int need = kUnit;
    while (need > 0) {
      const int take = need < remaining ? need : remaining;
      const std::uint8_t* p = line.src + std::min(pos, line.count - 1) * line.step;
      for (int ch = 0; ch < Channels; ++ch) {
        sum[ch] += p[ch] * take;
      }
      need -= take;
      remaining -= take;
      if (remaining == 0) {
        ++pos;
        remaining = width;
      }
    }
    if (k >= lo) {
      std::uint8_t* d = line.dst + k * line.step;
      for (int ch = 0; ch < Channels; ++ch) {
        d[ch] = static_cast<std::uint8_t>(sum[ch] / kUnit);
      }
    }
  }
}

// The span ends of line i of n, for an inset f across a line `across` pixels long,
// narrowing toward high indices (full at 0) or toward low ones. Columns truncate the
// slope term alone; rows truncate the whole line equation through the corners, which
// keeps the full edge full in both directions.
void SpanEnds(bool columns, bool narrowHigh, int i, int f, int n, int across, int* first, int* last) {
  const float slope = static_cast<float>(f) / static_cast<float>(n);
  const float inset = static_cast<float>(i) * slope;
  if (columns) {
    if (narrowHigh) {
      *first = static_cast<int>(inset);
      *last = across + static_cast<int>(-inset);
    } else {
      *first = f + static_cast<int>(-inset);
      *last = (across - f) + static_cast<int>(inset);
    }
  } else if (narrowHigh) {
    *first = static_cast<int>(inset);
    *last = static_cast<int>(static_cast<float>(across) - inset);
  } else {
    *first = static_cast<int>(static_cast<float>(f) - inset);
    *last = static_cast<int>(static_cast<float>(across - f) + inset);
  }
}

}  // namespace

OpResult PerspectiveDIB(ProgressWindow progress, const Dib* source, DibHandle* result, PerspectiveAxis axis,
                        int flag, int magnitude, int red, int green, int blue) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  const int bits = source->bitCount();
  if ((bits != 8 && bits != 24) || magnitude < 3 || magnitude > 100 || (flag != 0 && flag != 1)) {
    return kInvalidArgument;
  }
  geometry::ReportStart(progress);
  const int w = source->width();
  const int h = source->height();
  const bool horizontal = axis == PerspectiveAxis::kHorizontal;
  // Lines are columns for the horizontal variant, rows for the vertical one.
  const int lines = horizontal ? w : h;
  const int across = horizontal ? h : w;
  const int k = std::max(1, (100 - magnitude) * across / 100);
  const int f = (across - k) / 2;
  // Horizontal flag 1 narrows toward the right (high columns); vertical flag 1 toward
  // the bottom row, which is row 0 in memory.
  const bool narrowHigh = horizontal ? flag == 1 : flag == 0;

  DibHandle out;
  if (const OpResult r = geometry::NewLike(*source, w, h, &out); r != kOk) {
    return r;
  }
  const int channels = geometry::Channels(bits);
  const geometry::Background back = geometry::Background::Of(bits, red, green, blue, red);
  const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(source->stride());
  const std::uint8_t* sbase = source->row(0);
  std::uint8_t* dbase = out->row(0);
  for (int i = 0; i < lines; ++i) {
    if (ProgressStep(progress, i, lines)) {
      return kCancelled;
    }
    int first = 0;
    int last = 0;
    SpanEnds(horizontal, narrowHigh, i, f, lines, across, &first, &last);
    Line line;
    if (horizontal) {
      line = {sbase + i * channels, dbase + i * channels, stride, h};
    } else {
      line = {sbase + i * stride, dbase + i * stride, channels, w};
    }
    if (channels == 3) {
      SqueezeLine<3>(line, first, last, last - first, back);
    } else {
      SqueezeLine<1>(line, first, last, last - first, back);
    }
  }
  geometry::ReportDone(progress);
  *result = std::move(out);
  return kOk;
}

}  // namespace km
