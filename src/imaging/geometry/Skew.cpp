// Skew: rows (or columns) shifted along a line of the given angle, one to one, on the
// background colour.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "imaging/geometry/Geometry.h"
#include "imaging/geometry/PixelAccess.h"

namespace km {

namespace {

// The shift across the skewed side, at least 1; 0 when the result would be too large.
int SkewShift(int angle, int along, int across) {
  const float t = std::tan(static_cast<float>(angle) * 3.1415927f * 0.0055555557f);
  const float shift = t * static_cast<float>(along);
  if (!(shift < static_cast<float>(kMaxDibSide - across + 1))) {
    return 0;
  }
  return shift >= 1.0f ? static_cast<int>(shift) : 1;
}

}  // namespace

OpResult SkewDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int horizontal, int vertical,
                 int red, int green, int blue) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  const int bits = source->bitCount();
  const int w = source->width();
  const int h = source->height();
  if ((bits != 8 && bits != 24) || (horizontal == 0 && vertical == 0) || w < 5 || h < 5) {
    return kInvalidArgument;
  }
  geometry::ReportStart(progress);
  const bool across = horizontal != 0;
  const int signedAngle = across ? horizontal : vertical;
  const bool positive = signedAngle > 0;
  const int angle = static_cast<int>(std::llabs(static_cast<long long>(signedAngle)) % 360);
  const int shift = across ? SkewShift(angle, h, w) : SkewShift(angle, w, h);
  if (shift == 0) {
    return kInvalidArgument;
  }
  DibHandle out;
  if (const OpResult r = geometry::NewLike(*source, across ? w + shift : w, across ? h : h + shift, &out);
      r != kOk) {
    return r;
  }
  const int channels = geometry::Channels(bits);
  const geometry::Background back = geometry::Background::Of(bits, red, green, blue, red);
  const int ow = out->width();
  const int oh = out->height();

  if (across) {
    // Row i starts on the line of slope h / shift through the bottom-left corner (or,
    // for a negative angle, the top-left one) and spans W + 1 columns, the last source
    // pixel repeating.
    const float s = static_cast<float>(h) / static_cast<float>(shift);
    for (int i = 0; i < h; ++i) {
      if (ProgressStep(progress, i, h)) {
        return kCancelled;
      }
      const float at = static_cast<float>(positive ? i : h - i) / s;
      const int start = static_cast<int>(at);
      const int end = std::min(static_cast<int>(at + static_cast<float>(w)), ow - 1);
      const std::uint8_t* in = source->row(i);
      std::uint8_t* line = out->row(i);
      for (int x = 0; x < ow; ++x) {
        std::uint8_t* d = line + static_cast<std::size_t>(x) * channels;
        if (x < start || x > end) {
          back.Put(d, channels);
        } else {
          const int sx = std::min(x - start, w - 1);
          std::memcpy(d, in + static_cast<std::size_t>(sx) * channels, static_cast<std::size_t>(channels));
        }
      }
    }
  } else {
    const float slope = static_cast<float>(shift) / static_cast<float>(w);
    const std::uint8_t* sbase = source->row(0);
    const std::size_t sstride = source->stride();
    std::uint8_t* dbase = out->row(0);
    const std::size_t dstride = out->stride();
    for (int i = 0; i < w; ++i) {
      if (ProgressStep(progress, i, w)) {
        return kCancelled;
      }
      const int start = positive ? static_cast<int>(static_cast<float>(i) * slope)
                                 : shift + static_cast<int>(static_cast<float>(-i) * slope);
      for (int y = 0; y < oh; ++y) {
        std::uint8_t* d = dbase + static_cast<std::size_t>(y) * dstride + static_cast<std::size_t>(i) * channels;
        if (y < start || y >= start + h) {
          back.Put(d, channels);
        } else {
          const std::uint8_t* p = sbase + static_cast<std::size_t>(y - start) * sstride + static_cast<std::size_t>(i) * channels;
          std::memcpy(d, p, static_cast<std::size_t>(channels));
        }
      }
    }
  }
  geometry::ReportDone(progress);
  *result = std::move(out);
  return kOk;
}

}  // namespace km
