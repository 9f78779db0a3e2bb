// Flip, mirror and rotation. Right-angle rotations move packed pixels exactly on every
// depth; other angles interpolate 8- and 24-bit images in 10-bit fixed point.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "imaging/CpuFeatures.h"
#include "imaging/geometry/Geometry.h"
#include "imaging/geometry/PixelAccess.h"

namespace km {

namespace {

using geometry::Px;

// Writes the row reversed; `out` starts zeroed so padding bits stay clear.
template <int Bits>
void MirrorRow(const std::uint8_t* in, std::uint8_t* out, int width) {
  if constexpr (Bits == 8) {
    for (int x = 0; x < width; ++x) {
      out[width - 1 - x] = in[x];
    }
  } else if constexpr (Bits == 24) {
    for (int x = 0; x < width; ++x) {
      std::memcpy(out + 3 * static_cast<std::size_t>(width - 1 - x), in + 3 * static_cast<std::size_t>(x), 3);
    }
  } else {
    for (int x = 0; x < width; ++x) {
      Px<Bits>::Set(out, width - 1 - x, Px<Bits>::Get(in, x));
    }
  }
}

// Quarter turns: the result is H wide and W high. Clockwise (as displayed) pixel
// (x, y) goes to (y, W - 1 - x); anticlockwise to (H - 1 - y, x).
template <int Bits>
OpResult QuarterTurn(ProgressWindow progress, const Dib& src, Dib& dst, bool clockwise) {
  const int w = src.width();
  const int h = src.height();
  const std::uint8_t* sbase = src.row(0);
  const std::size_t sstride = src.stride();
  std::uint8_t* dbase = dst.row(0);
  const std::size_t dstride = dst.stride();
  for (int x = 0; x < w; ++x) {
    if (ProgressStep(progress, x + 1, w)) {
      return kCancelled;
    }
    std::uint8_t* out = dbase + static_cast<std::size_t>(clockwise ? w - 1 - x : x) * dstride;
    for (int y = 0; y < h; ++y) {
      const std::uint32_t v = Px<Bits>::Get(sbase + static_cast<std::size_t>(y) * sstride, x);
      Px<Bits>::Set(out, clockwise ? y : h - 1 - y, v);
    }
  }
  return kOk;
}

template <int Bits>
OpResult HalfTurn(ProgressWindow progress, const Dib& src, Dib& dst) {
  const int w = src.width();
  const int h = src.height();
  for (int y = 0; y < h; ++y) {
    if (ProgressStep(progress, y + 1, h)) {
      return kCancelled;
    }
    MirrorRow<Bits>(src.row(y), dst.row(h - 1 - y), w);
  }
  return kOk;
}

OpResult RotateRightAngle(ProgressWindow progress, const Dib& source, int angle, DibHandle* result) {
  const bool quarter = angle != 180;
  DibHandle out;
  const int w = quarter ? source.height() : source.width();
  const int h = quarter ? source.width() : source.height();
  if (const OpResult r = geometry::NewLike(source, w, h, &out); r != kOk) {
    return r;
  }
  const OpResult r = geometry::WithDepth(source.bitCount(), [&](auto depth) -> OpResult {
    constexpr int kBits = decltype(depth)::value;
    return quarter ? QuarterTurn<kBits>(progress, source, *out, angle == 90) : HalfTurn<kBits>(progress, source, *out);
  });
  if (r != kOk) {
    return r;
  }
  *result = std::move(out);
  return kOk;
}

// Source positions in 1/1024 pixel, split by destination column and row.
struct RotationTables {
  const std::vector<int>& colC;
  const std::vector<int>& colS;
  const std::vector<int>& rowC;
  const std::vector<int>& rowS;
};

// The bilinear blend of four neighbours in 10-bit fixed point.
template <int Channels>
KM_ALWAYS_INLINE void Blend(const std::uint8_t* p00, const std::uint8_t* p10, const std::uint8_t* p01,
                            const std::uint8_t* p11, int fx, int fy, std::uint8_t* d) {
  for (int ch = 0; ch < Channels; ++ch) {
    const int top = p00[ch] + (((p10[ch] - p00[ch]) * fx) >> 10);
    const int bottom = p01[ch] + (((p11[ch] - p01[ch]) * fx) >> 10);
    d[ch] = static_cast<std::uint8_t>(top + (((bottom - top) * fy) >> 10));
  }
}

// One destination row's source positions: column i maps to (colC[i] - rowS + cx,
// colS[i] + rowC + cy) in 1/1024 pixel. Both are monotonic in i (truncations of linear
// functions), so the columns whose four neighbours all lie inside form one run.
struct RotationRow {
  const int* colC;
  const int* colS;
  int offsetX;
  int offsetY;
  int x(int i) const { return colC[i] + offsetX; }
  int y(int i) const { return colS[i] + offsetY; }
};

struct RotationSource {
  const std::uint8_t* base;
  std::size_t stride;
  int w;
  int h;
};

// Bilinear samples at the edge: a neighbour outside the source reads the background.
template <int Channels>
void RotateEdgePixel(const RotationSource& src, const RotationRow& row, int i, const geometry::Background& back,
                     std::uint8_t* d) {
  const auto at = [&](int ix, int iy) -> const std::uint8_t* {
    if (ix < 0 || ix >= src.w || iy < 0 || iy >= src.h) {
      return back.ch;
    }
    return src.base + static_cast<std::size_t>(iy) * src.stride + static_cast<std::size_t>(ix) * Channels;
  };
  const int x = row.x(i);
  const int y = row.y(i);
  const int ix = x >> 10;
  const int iy = y >> 10;
  Blend<Channels>(at(ix, iy), at(ix + 1, iy), at(ix, iy + 1), at(ix + 1, iy + 1), x - ix * 1024, y - iy * 1024, d);
}

// The run of columns [begin, end) whose four neighbours all lie inside: no tests.
template <int Channels>
KM_ALWAYS_INLINE void RotateRunBody(const std::uint8_t* __restrict sbase, std::size_t sstride, RotationRow row,
                                    int begin, int end, std::uint8_t* __restrict line) {
  for (int i = begin; i < end; ++i) {
    const int x = row.x(i);
    const int y = row.y(i);
    const int ix = x >> 10;
    const int iy = y >> 10;
    const std::uint8_t* p00 = sbase + static_cast<std::size_t>(iy) * sstride + static_cast<std::size_t>(ix) * Channels;
    const std::uint8_t* p01 = p00 + sstride;
    Blend<Channels>(p00, p00 + Channels, p01, p01 + Channels, x - ix * 1024, y - iy * 1024,
                    line + static_cast<std::size_t>(i) * Channels);
  }
}

template <int Channels>
void RotateRunPlain(const std::uint8_t* sbase, std::size_t sstride, RotationRow row, int begin, int end,
                    std::uint8_t* line) {
  RotateRunBody<Channels>(sbase, sstride, row, begin, end, line);
}
template <int Channels>
KM_TARGET_AVX2 void RotateRunAvx2(const std::uint8_t* sbase, std::size_t sstride, RotationRow row, int begin,
                                  int end, std::uint8_t* line) {
  RotateRunBody<Channels>(sbase, sstride, row, begin, end, line);
}

template <int Channels>
OpResult RotateRows(ProgressWindow progress, const Dib& source, Dib& out, const RotationTables& t,
                    const geometry::Background& back) {
  const int w = source.width();
  const int h = source.height();
  const int dw = out.width();
  const int dh = out.height();
  const int cx = (w / 2) * 1024;
  const int cy = (h / 2) * 1024;
  const auto run = cpu::UseAvx2() ? RotateRunAvx2<Channels> : RotateRunPlain<Channels>;
  const RotationSource src{source.row(0), source.stride(), w, h};
  // Both tests are intervals of the position, so each holds on one run of columns:
  // `touches` where some neighbour lies inside, `inside` where all four do.
  const auto touches = [&](const RotationRow& row, int i) {
    const int ix = row.x(i) >> 10;
    const int iy = row.y(i) >> 10;
    return ix >= -1 && ix < w && iy >= -1 && iy < h;
  };
  const auto inside = [&](const RotationRow& row, int i) {
    const int ix = row.x(i) >> 10;
    const int iy = row.y(i) >> 10;
    return ix >= 0 && ix < w - 1 && iy >= 0 && iy < h - 1;
  };
  const auto fill = [&](std::uint8_t* line, int begin, int end) {
    for (int i = begin; i < end; ++i) {
      for (int ch = 0; ch < Channels; ++ch) {
        line[static_cast<std::size_t>(i) * Channels + static_cast<std::size_t>(ch)] = back.ch[ch];
      }
    }
  };
  // A destination row reads the source along a slanted line, a new source row every few
  // pixels; bands of rows are done in short column blocks, so the source rows under a
  // block stay cached between the rows of a band.
  constexpr int kBand = 32;
  constexpr int kBlock = 128;
  struct Segments {
    RotationRow row;
    std::uint8_t* line;
    // [0, first) background, [first, begin) edge, [begin, end) inside, [end, last) edge,
    // [last, dw) background.
    int first, begin, end, last;
  };
  Segments band[kBand];
  for (int j0 = 0; j0 < dh; j0 += kBand) {
    const int rows = std::min(kBand, dh - j0);
    for (int b = 0; b < rows; ++b) {
      const int j = j0 + b;
      if (ProgressStep(progress, j + 1, dh)) {
        return kCancelled;
      }
      Segments& g = band[b];
      g.row = RotationRow{t.colC.data(), t.colS.data(), cx - t.rowS[static_cast<std::size_t>(j)],
                          cy + t.rowC[static_cast<std::size_t>(j)]};
      g.line = out.row(j);
      g.first = 0;
      while (g.first < dw && !touches(g.row, g.first)) {
        ++g.first;
      }
      g.last = dw;
      while (g.last > g.first && !touches(g.row, g.last - 1)) {
        --g.last;
      }
      g.begin = g.first;
      while (g.begin < g.last && !inside(g.row, g.begin)) {
        ++g.begin;
      }
      g.end = g.last;
      while (g.end > g.begin && !inside(g.row, g.end - 1)) {
        --g.end;
      }
    }
    for (int c0 = 0; c0 < dw; c0 += kBlock) {
      const int c1 = std::min(dw, c0 + kBlock);
      const auto clip = [&](int v) { return std::clamp(v, c0, c1); };
      for (int b = 0; b < rows; ++b) {
        const Segments& g = band[b];
        fill(g.line, clip(0), clip(g.first));
        for (int i = clip(g.first); i < clip(g.begin); ++i) {
          RotateEdgePixel<Channels>(src, g.row, i, back, g.line + static_cast<std::size_t>(i) * Channels);
        }
        run(src.base, src.stride, g.row, clip(g.begin), clip(g.end), g.line);
        for (int i = clip(g.end); i < clip(g.last); ++i) {
          RotateEdgePixel<Channels>(src, g.row, i, back, g.line + static_cast<std::size_t>(i) * Channels);
        }
        fill(g.line, clip(g.last), c1);
      }
    }
  }
  return kOk;
}

// Bilinear rotation by a clockwise angle in degrees, with pi taken as 3.14.
OpResult RotateFree(ProgressWindow progress, const Dib& source, int angle, int red, int green, int blue,
                    DibHandle* result) {
  const int bits = source.bitCount();
  const int channels = geometry::Channels(bits);
  const int w = source.width();
  const int h = source.height();
  const double theta = angle * 0.005555555555555556 * 3.14;
  const double c = std::cos(theta);
  const double s = std::sin(theta);
  const double wn = std::fabs(s) * h + std::fabs(c) * w;
  const double hn = h * std::fabs(c) + w * std::fabs(s);
  if (wn >= kMaxDibSide + 1.0 || hn >= kMaxDibSide + 1.0) {
    return kInvalidArgument;
  }
  const int dw = static_cast<int>(wn);
  const int dh = static_cast<int>(hn);

  DibHandle out;
  if (const OpResult r = geometry::NewGreyOrRgb(dw, dh, bits, &out); r != kOk) {
    return r;
  }
  std::vector<int> colC;
  std::vector<int> colS;
  std::vector<int> rowC;
  std::vector<int> rowS;
  try {
    colC.resize(static_cast<std::size_t>(dw));
    colS.resize(static_cast<std::size_t>(dw));
    rowC.resize(static_cast<std::size_t>(dh));
    rowS.resize(static_cast<std::size_t>(dh));
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  for (int i = 0; i < dw; ++i) {
    const int dx = i - dw / 2;
    colC[static_cast<std::size_t>(i)] = static_cast<int>(c * dx * 1024);
    colS[static_cast<std::size_t>(i)] = static_cast<int>(s * dx * 1024);
  }
  for (int j = 0; j < dh; ++j) {
    const int dy = j - dh / 2;
    rowC[static_cast<std::size_t>(j)] = static_cast<int>(c * dy * 1024);
    rowS[static_cast<std::size_t>(j)] = static_cast<int>(s * dy * 1024);
  }

  // For 8 bits the grey background comes from the blue byte.
  const geometry::Background back = geometry::Background::Of(bits, red, green, blue, blue);
  const RotationTables tables{colC, colS, rowC, rowS};
  const OpResult r = channels == 3 ? RotateRows<3>(progress, source, *out, tables, back)
                                   : RotateRows<1>(progress, source, *out, tables, back);
  if (r != kOk) {
    return r;
  }
  *result = std::move(out);
  return kOk;
}

}  // namespace

OpResult FlipDIB(ProgressWindow progress, const Dib* source, DibHandle* result) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  DibHandle out;
  if (const OpResult r = CopyDIB(source, &out); r != kOk) {
    return r;
  }
  const int h = source->height();
  const std::size_t stride = source->stride();
  for (int y = 0; y < h; ++y) {
    if (ProgressStep(progress, y, h)) {
      return kCancelled;
    }
    std::memcpy(out->row(h - 1 - y), source->row(y), stride);
  }
  *result = std::move(out);
  return kOk;
}

OpResult MirrorDIB(ProgressWindow progress, const Dib* source, DibHandle* result) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  const int w = source->width();
  const int h = source->height();
  DibHandle out;
  if (const OpResult r = geometry::NewLike(*source, w, h, &out); r != kOk) {
    return r;
  }
  const OpResult r = geometry::WithDepth(source->bitCount(), [&](auto depth) -> OpResult {
    for (int y = 0; y < h; ++y) {
      if (ProgressStep(progress, y, h)) {
        return kCancelled;
      }
      MirrorRow<decltype(depth)::value>(source->row(y), out->row(y), w);
    }
    return kOk;
  });
  if (r != kOk) {
    return r;
  }
  *result = std::move(out);
  return kOk;
}

OpResult RotateDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int angle, int clockwise,
                   int redOrIndex, int green, int blue) {
  if (result != nullptr) {
    result->reset();
  }
  // |angle| without overflow for the most negative int.
  int a = static_cast<int>(std::llabs(static_cast<long long>(angle)) % 360);
  if (a < 1) {
    return kInvalidArgument;
  }
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  if (clockwise != 0 && clockwise != 1) {
    return kInvalidArgument;
  }
  if (clockwise == 0) {
    a = 360 - a;
  }
  const int bits = source->bitCount();
  if (a == 90 || a == 180 || a == 270) {
    return RotateRightAngle(progress, *source, a, result);
  }
  if (bits != 8 && bits != 24) {
    return kInvalidArgument;
  }
  return RotateFree(progress, *source, a, redOrIndex, green, blue, result);
}

}  // namespace km
