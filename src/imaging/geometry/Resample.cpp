// Area-averaging resampler: a box filter in fixed point with 256 sub-units per source
// pixel. Every destination pixel is the coverage-weighted mean of the source pixels
// under it.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "imaging/CpuFeatures.h"
#if KM_HAVE_AVX2_PATHS
#include <immintrin.h>
#endif
#include "imaging/geometry/Geometry.h"
#include "imaging/geometry/PixelAccess.h"

namespace km {

namespace {

// Sizes in 1/256 of a source pixel.
struct Kernel {
  float sx = 0;
  float sy = 0;
  int cx = 0;
  int cy = 0;
};

// The runs of one destination column (or row): from `start`, the first source pixel
// weighs `first`, whole ones 256, the last what is left of `size`. Rounding can carry
// the window a pixel past the edge: positions stay on the last pixel.
void AppendRun(int start, int first, int size, int last, std::vector<geometry::AreaTap>* taps) {
  int x = start;
  int remaining = size;
  int weight = first;
  while (remaining > weight) {
    taps->push_back({std::min(x, last), weight});
    ++x;
    remaining -= weight;
    weight = 256;
  }
  taps->push_back({std::min(x, last), remaining});
}

// The run of destination row r.
void AppendRowRun(int r, const Kernel& k, int sh, std::vector<geometry::AreaTap>* taps) {
  const float v = static_cast<float>(r) / k.sy;
  const int startRow = static_cast<int>(v);
  const int firstRowWeight = static_cast<int>(256.5 - (v - static_cast<float>(startRow)) * 256.0f);
  AppendRun(startRow, firstRowWeight, k.cy, sh - 1, taps);
}

// Enlarging in both directions (cx, cy <= 256): every destination pixel meets at most
// two source pixels along each axis. The weighted sum then splits exactly into a
// horizontal pass, made once per source row into 16-bit lanes (at most 255 * 256), and
// a vertical blend of two such rows in 32-bit lanes (below 255 * 65536 < 2^24).
struct TwoTaps {
  int src0;
  int src1;
  std::uint32_t w0;
  std::uint32_t w1;
};

// Turns each run of a destination column (or row) into two taps, the second of weight 0
// where the run has one pixel. False when a run has more than two pixels.
bool PairRuns(const std::vector<geometry::AreaTap>& taps, const std::vector<int>& first,
              std::vector<TwoTaps>* pairs) {
  for (std::size_t i = 0; i + 1 < first.size(); ++i) {
    const std::size_t b = static_cast<std::size_t>(first[i]);
    const std::size_t n = static_cast<std::size_t>(first[i + 1]) - b;
    if (n > 2) {
      return false;
    }
    const geometry::AreaTap& t0 = taps[b];
    const geometry::AreaTap& t1 = taps[b + n - 1];
    (*pairs)[i] = {t0.src, t1.src, static_cast<std::uint32_t>(t0.weight),
                   n == 2 ? static_cast<std::uint32_t>(t1.weight) : 0u};
  }
  return true;
}

// floor(n / d) for n <= 255 * d < 2^24 and d <= 65536 by one single-precision division:
// n and d are exact floats, and the correctly rounded quotient cannot reach q + 1 when
// n / d <= q + 1 - 1 / d, since floats below 256 lie at most 2^-16 <= 1 / d apart, so
// truncating it gives q. Float lanes divide eight at a time where integers cannot.
template <int Channels>
KM_ALWAYS_INLINE void SpreadRowBody(const std::uint8_t* __restrict line, const TwoTaps* __restrict across,
                                    int dw, std::uint16_t* __restrict out) {
  for (int c = 0; c < dw; ++c) {
    const TwoTaps t = across[c];
    const std::uint8_t* p0 = line + static_cast<std::size_t>(t.src0) * Channels;
    const std::uint8_t* p1 = line + static_cast<std::size_t>(t.src1) * Channels;
    for (int ch = 0; ch < Channels; ++ch) {
      out[static_cast<std::size_t>(c) * Channels + ch] = static_cast<std::uint16_t>(p0[ch] * t.w0 + p1[ch] * t.w1);
    }
  }
}

KM_ALWAYS_INLINE void BlendRowBody(const std::uint16_t* __restrict top, std::uint32_t w0,
                                   const std::uint16_t* __restrict bottom, std::uint32_t w1,
                                   float d, std::size_t count, std::uint8_t* __restrict out) {
  for (std::size_t i = 0; i < count; ++i) {
    const auto n = static_cast<std::int32_t>(top[i] * w0 + bottom[i] * w1);
    out[i] = static_cast<std::uint8_t>(static_cast<std::int32_t>(static_cast<float>(n) / d));
  }
}

template <int Channels>
void SpreadRowPlain(const std::uint8_t* line, const TwoTaps* across, int dw, std::uint16_t* out) {
  SpreadRowBody<Channels>(line, across, dw, out);
}

// One value of a spread row: channel j % Channels of destination column j / Channels.
template <int Channels>
KM_ALWAYS_INLINE std::uint16_t SpreadValue(const std::uint8_t* line, const TwoTaps* across, std::size_t j) {
  const TwoTaps& t = across[j / Channels];
  const std::size_t ch = j % Channels;
  return static_cast<std::uint16_t>(line[static_cast<std::size_t>(t.src0) * Channels + ch] * t.w0 +
                                    line[static_cast<std::size_t>(t.src1) * Channels + ch] * t.w1);
}

// The wide spread takes the values of a row eight at a time, one 16-bit lane each.
// While enlarging, the source bytes of eight values (at most four pixels) lie in one
// 16-byte window of the line; two byte shuffles put the first and the second pixel's
// channel into the low byte of each lane. Products and sums stay below 2^16, so 16-bit
// multiplies give the plain loop's values. Groups whose window would leave the line
// (the right edge, tiny sources) are worked out one value at a time.
struct SpreadPlan {
  std::vector<std::int32_t> window;    // per group: the window's first byte in the line, or -1
  std::vector<std::uint8_t> shuffles;  // 32 per group: first pixels', then second pixels'
  std::vector<std::uint16_t> weights;  // 16 per group: first pixels', then second pixels'
};

// The first byte of a 16-byte window of the line holding all `n` offsets, or -1.
int WindowStart(const int* offsets, std::size_t n, int lineBytes) {
  const auto [lo, hi] = std::minmax_element(offsets, offsets + n);
  const int start = std::min(*lo, lineBytes - 16);
  return start < 0 || *hi - start >= 16 ? -1 : start;
}

template <int Channels>
void PlanSpread(const std::vector<TwoTaps>& across, int srcWidth, SpreadPlan* plan) {
  const std::size_t groups = across.size() * Channels / 8;
  const int lineBytes = srcWidth * Channels;
  plan->window.assign(groups, -1);
  plan->shuffles.assign(groups * 32, 0x80);  // 0x80 clears the high byte of each lane
  plan->weights.assign(groups * 16, 0);
  for (std::size_t g = 0; g < groups; ++g) {
    int offsets[16];  // first pixels', then second pixels'
    for (std::size_t i = 0; i < 8; ++i) {
      const std::size_t j = 8 * g + i;
      const TwoTaps& t = across[j / Channels];
      const auto ch = static_cast<int>(j % Channels);
      offsets[i] = t.src0 * Channels + ch;
      offsets[8 + i] = t.src1 * Channels + ch;
    }
    const int start = WindowStart(offsets, 16, lineBytes);
    if (start < 0) {
      continue;
    }
    plan->window[g] = start;
    for (std::size_t i = 0; i < 8; ++i) {
      const std::size_t j = 8 * g + i;
      const TwoTaps& t = across[j / Channels];
      plan->shuffles[32 * g + 2 * i] = static_cast<std::uint8_t>(offsets[i] - start);
      plan->shuffles[32 * g + 16 + 2 * i] = static_cast<std::uint8_t>(offsets[8 + i] - start);
      plan->weights[16 * g + i] = static_cast<std::uint16_t>(t.w0);
      plan->weights[16 * g + 8 + i] = static_cast<std::uint16_t>(t.w1);
    }
  }
}

#if KM_HAVE_AVX2_PATHS
template <int Channels>
KM_TARGET_AVX2 void SpreadRowAvx2(const std::uint8_t* line, const SpreadPlan& plan, const TwoTaps* across,
                                  std::size_t count, std::uint16_t* out) {
  const std::size_t groups = plan.window.size();
  for (std::size_t g = 0; g < groups; ++g) {
    std::uint16_t* o = out + 8 * g;
    const std::int32_t start = plan.window[g];
    if (start < 0) {
      for (std::size_t i = 0; i < 8; ++i) {
        o[i] = SpreadValue<Channels>(line, across, 8 * g + i);
      }
      continue;
    }
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + start));
    const std::uint8_t* s = plan.shuffles.data() + 32 * g;
    const std::uint16_t* w = plan.weights.data() + 16 * g;
    const __m128i first = _mm_mullo_epi16(_mm_shuffle_epi8(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(s))),
                                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(w)));
    const __m128i second =
        _mm_mullo_epi16(_mm_shuffle_epi8(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16))),
                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 8)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_add_epi16(first, second));
  }
  for (std::size_t j = 8 * groups; j < count; ++j) {
    out[j] = SpreadValue<Channels>(line, across, j);
  }
}
#endif
void BlendRowPlain(const std::uint16_t* top, std::uint32_t w0, const std::uint16_t* bottom, std::uint32_t w1,
                   float d, std::size_t count, std::uint8_t* out) {
  BlendRowBody(top, w0, bottom, w1, d, count, out);
}
KM_TARGET_AVX2 void BlendRowAvx2(const std::uint16_t* top, std::uint32_t w0, const std::uint16_t* bottom,
                                 std::uint32_t w1, float d, std::size_t count, std::uint8_t* out) {
  BlendRowBody(top, w0, bottom, w1, d, count, out);
}

// Where every column and the row take one source pixel each, the weighted sum is that
// pixel times cx * cy, which the blend divides back out exactly: the row is a plain
// gather of source pixels at the byte offsets `pick`. Three-byte pixels move as four
// bytes, the spare byte overwritten by the next pixel, for the first `wide` columns,
// whose read and write stay inside their rows.
template <int Channels>
void PickRow(const std::uint8_t* __restrict line, const std::uint32_t* __restrict pick, int wide, int dw,
             std::uint8_t* __restrict out) {
  int c = 0;
  if constexpr (Channels == 3) {
    for (; c < wide; ++c) {
      std::memcpy(out + static_cast<std::size_t>(c) * 3, line + pick[c], 4);
    }
  }
  for (; c < dw; ++c) {
    std::memcpy(out + static_cast<std::size_t>(c) * Channels, line + pick[c], Channels);
  }
}

// The wide gather: sixteen bytes of the row at a time by one byte shuffle of a 16-byte
// window of the line, which holds them while each column moves on by at most a pixel.
struct PickPlan {
  std::vector<std::int32_t> window;    // per group: the window's first byte in the line, or -1
  std::vector<std::uint8_t> shuffles;  // 16 per group
};

template <int Channels>
KM_ALWAYS_INLINE std::uint8_t PickValue(const std::uint8_t* line, const std::uint32_t* pick, std::size_t j) {
  return line[pick[j / Channels] + j % Channels];
}

template <int Channels>
void PlanPick(const std::vector<std::uint32_t>& pick, int srcWidth, PickPlan* plan) {
  const std::size_t groups = pick.size() * Channels / 16;
  plan->window.assign(groups, -1);
  plan->shuffles.assign(groups * 16, 0);
  for (std::size_t g = 0; g < groups; ++g) {
    int offsets[16];
    for (std::size_t i = 0; i < 16; ++i) {
      const std::size_t j = 16 * g + i;
      offsets[i] = static_cast<int>(pick[j / Channels] + j % Channels);
    }
    const int start = WindowStart(offsets, 16, srcWidth * Channels);
    if (start < 0) {
      continue;
    }
    plan->window[g] = start;
    for (std::size_t i = 0; i < 16; ++i) {
      plan->shuffles[16 * g + i] = static_cast<std::uint8_t>(offsets[i] - start);
    }
  }
}

#if KM_HAVE_AVX2_PATHS
template <int Channels>
KM_TARGET_AVX2 void PickRowAvx2(const std::uint8_t* line, const PickPlan& plan, const std::uint32_t* pick,
                                std::size_t count, std::uint8_t* out) {
  const std::size_t groups = plan.window.size();
  for (std::size_t g = 0; g < groups; ++g) {
    std::uint8_t* o = out + 16 * g;
    const std::int32_t start = plan.window[g];
    if (start < 0) {
      for (std::size_t i = 0; i < 16; ++i) {
        o[i] = PickValue<Channels>(line, pick, 16 * g + i);
      }
      continue;
    }
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + start));
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(plan.shuffles.data() + 16 * g));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_shuffle_epi8(v, s));
  }
  for (std::size_t j = 16 * groups; j < count; ++j) {
    out[j] = PickValue<Channels>(line, pick, j);
  }
}
#endif

template <int Channels>
OpResult EnlargeRows(ProgressWindow progress, const Dib& src, Dib& dst, const std::vector<TwoTaps>& across,
                     const std::vector<TwoTaps>& down, std::uint32_t norm) {
  const int dw = dst.width();
  const int dh = dst.height();
  const std::size_t count = static_cast<std::size_t>(dw) * Channels;
  const bool avx2 = cpu::UseAvx2();
  const auto blend = avx2 ? BlendRowAvx2 : BlendRowPlain;
  const auto divisor = static_cast<float>(norm);

  // Two spread rows, each remembering its source row: the walk goes up the image, so
  // consecutive destination rows mostly reuse them.
  std::vector<std::uint16_t> store;
  SpreadPlan plan;
  try {
    store.resize(2 * count);
    if (avx2) {
      PlanSpread<Channels>(across, src.width(), &plan);
    }
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  // Columns that each take one source pixel (integer factors, the same size).
  const bool picking =
      std::all_of(across.begin(), across.end(), [](const TwoTaps& t) { return t.w1 == 0; });
  std::vector<std::uint32_t> pick;
  PickPlan pickPlan;
  int wide = 0;
  if (picking) {
    try {
      pick.resize(across.size());
      for (std::size_t c = 0; c < across.size(); ++c) {
        pick[c] = static_cast<std::uint32_t>(across[c].src0) * Channels;
      }
      if (avx2) {
        PlanPick<Channels>(pick, src.width(), &pickPlan);
      }
    } catch (const std::bad_alloc&) {
      return kOutOfMemory;
    }
    const auto rowBytes = static_cast<std::uint32_t>(src.width()) * Channels;
    while (wide < dw - 1 && pick[static_cast<std::size_t>(wide)] + 4 <= rowBytes) {
      ++wide;
    }
  }
  std::uint16_t* rows[2] = {store.data(), store.data() + count};
  int held[2] = {-1, -1};
  // The slot holding spread source row y, filled if need be without touching `keep`.
  const auto spreadRow = [&](int y, int keep) -> int {
    for (int i = 0; i < 2; ++i) {
      if (held[i] == y) {
        return i;
      }
    }
    const int slot = keep >= 0 ? 1 - keep : (held[0] <= held[1] ? 0 : 1);
#if KM_HAVE_AVX2_PATHS
    if (avx2) {
      SpreadRowAvx2<Channels>(src.row(y), plan, across.data(), count, rows[slot]);
    } else {
      SpreadRowPlain<Channels>(src.row(y), across.data(), dw, rows[slot]);
    }
#else
    SpreadRowPlain<Channels>(src.row(y), across.data(), dw, rows[slot]);
#endif
    held[slot] = y;
    return slot;
  };

  for (int r = 0; r < dh; ++r) {
    if (ProgressStep(progress, r + 1, dh)) {
      return kCancelled;
    }
    const TwoTaps& t = down[static_cast<std::size_t>(r)];
    // Enlarging repeats rows with the same taps and weights (every other row at twice
    // the size): those are copies of the row before.
    if (r > 0) {
      const TwoTaps& p = down[static_cast<std::size_t>(r) - 1];
      if (p.src0 == t.src0 && p.src1 == t.src1 && p.w0 == t.w0 && p.w1 == t.w1) {
        std::memcpy(dst.row(r), dst.row(r - 1), count);
        continue;
      }
    }
    if (picking && t.w1 == 0) {
#if KM_HAVE_AVX2_PATHS
      if (avx2) {
        PickRowAvx2<Channels>(src.row(t.src0), pickPlan, pick.data(), count, dst.row(r));
        continue;
      }
#endif
      PickRow<Channels>(src.row(t.src0), pick.data(), wide, dw, dst.row(r));
      continue;
    }
    const int top = spreadRow(t.src0, -1);
    const int bottom = spreadRow(t.src1, top);
    blend(rows[top], t.w0, rows[bottom], t.w1, divisor, count, dst.row(r));
  }
  return kOk;
}

// The enlarging path when its runs allow; nothing when a run covers three pixels.
template <int Channels>
std::optional<OpResult> TryEnlarge(ProgressWindow progress, const Dib& src, Dib& dst, const Kernel& k,
                                   const std::vector<geometry::AreaTap>& acrossTaps,
                                   const std::vector<int>& acrossFirst) {
  const int dh = dst.height();
  std::vector<TwoTaps> across;
  std::vector<TwoTaps> down;
  std::vector<geometry::AreaTap> downTaps;
  std::vector<int> downFirst;
  try {
    across.resize(acrossFirst.size() - 1);
    down.resize(static_cast<std::size_t>(dh));
    downFirst.reserve(static_cast<std::size_t>(dh) + 1);
    downTaps.reserve(2 * static_cast<std::size_t>(dh) + 1);
    for (int r = 0; r < dh; ++r) {
      downFirst.push_back(static_cast<int>(downTaps.size()));
      AppendRowRun(r, k, src.height(), &downTaps);
    }
    downFirst.push_back(static_cast<int>(downTaps.size()));
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  if (!PairRuns(acrossTaps, acrossFirst, &across) || !PairRuns(downTaps, downFirst, &down)) {
    return std::nullopt;
  }
  const OpResult r = EnlargeRows<Channels>(progress, src, dst, across, down,
                                           static_cast<std::uint32_t>(k.cx * k.cy));
  if (r == kOk) {
    geometry::ReportDone(progress);
  }
  return r;
}

template <int Channels, typename Sum>
OpResult ResampleRows(ProgressWindow progress, const Dib& src, Dib& dst, const Kernel& k) {
  const int sw = src.width();
  const int sh = src.height();
  const int dw = dst.width();
  const int dh = dst.height();
  const Sum norm = static_cast<Sum>(k.cx) * static_cast<Sum>(k.cy);

  geometry::ReportStart(progress);
  // Horizontal runs are the same on every row: taps[first[c] .. first[c + 1]).
  std::vector<geometry::AreaTap> across;
  std::vector<int> first;
  std::vector<geometry::AreaTap> down;
  try {
    first.resize(static_cast<std::size_t>(dw) + 1);
    across.reserve(static_cast<std::size_t>(sw) + 2u * static_cast<std::size_t>(dw));
    for (int i = 0; i < dw; ++i) {
      const float u = static_cast<float>(i) / k.sx;
      const int start = static_cast<std::int16_t>(static_cast<int>(u));
      const int firstWeight = static_cast<int>(256.5 - (u - static_cast<float>(start)) * 256.0f);
      first[static_cast<std::size_t>(i)] = static_cast<int>(across.size());
      AppendRun(start, firstWeight, k.cx, sw - 1, &across);
    }
    first[static_cast<std::size_t>(dw)] = static_cast<int>(across.size());
    down.reserve(static_cast<std::size_t>(k.cy / 256 + 2));
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  if (k.cx <= 256 && k.cy <= 256) {
    if (const std::optional<OpResult> r = TryEnlarge<Channels>(progress, src, dst, k, across, first)) {
      return *r;
    }
  }

  const std::uint8_t* sbase = src.row(0);
  const std::size_t stride = src.stride();
  for (int r = 0; r < dh; ++r) {
    if (ProgressStep(progress, r + 1, dh)) {
      return kCancelled;
    }
    down.clear();
    AppendRowRun(r, k, sh, &down);
    std::uint8_t* out = dst.row(r);

    for (int c = 0; c < dw; ++c) {
      Sum sum[Channels] = {};
      const geometry::AreaTap* hb = across.data() + first[static_cast<std::size_t>(c)];
      const geometry::AreaTap* he = across.data() + first[static_cast<std::size_t>(c) + 1];
      for (const geometry::AreaTap& vt : down) {
        const std::uint8_t* line = sbase + static_cast<std::size_t>(vt.src) * stride;
        for (const geometry::AreaTap* ht = hb; ht != he; ++ht) {
          const std::uint8_t* p = line + static_cast<std::size_t>(ht->src) * Channels;
          const Sum w = static_cast<Sum>(vt.weight) * static_cast<Sum>(ht->weight);
          for (int ch = 0; ch < Channels; ++ch) {
            sum[ch] += p[ch] * w;
          }
        }
      }
      for (int ch = 0; ch < Channels; ++ch) {
        out[static_cast<std::size_t>(c) * Channels + ch] = static_cast<std::uint8_t>(sum[ch] / norm);
      }
    }
  }
  geometry::ReportDone(progress);
  return kOk;
}

}  // namespace

OpResult ResampleDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int width, int height) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  const int bits = source->bitCount();
  if (bits != 8 && bits != 24) {
    return kInvalidArgument;
  }
  const int dw = width & 0xFFFF;
  const int dh = height & 0xFFFF;
  if (dw == 0 || dh == 0) {
    return kInvalidArgument;
  }
  Kernel k;
  k.sx = static_cast<float>(dw) / static_cast<float>(source->width());
  k.sy = static_cast<float>(dh) / static_cast<float>(source->height());
  k.cx = static_cast<int>(256.0f / k.sx + 0.5);
  k.cy = static_cast<int>(256.0f / k.sy + 0.5);
  // Beyond 512 times magnification a destination pixel is less than half a sub-unit.
  if (k.cx == 0 || k.cy == 0) {
    return kInvalidArgument;
  }

  DibHandle out;
  if (const OpResult r = geometry::NewGreyOrRgb(dw, dh, bits, &out); r != kOk) {
    return r;
  }
  // Sums reach 255 x cx x cy: 32 bits hold them unless the image shrinks a lot.
  const bool narrow = 255ull * static_cast<unsigned>(k.cx) * static_cast<unsigned>(k.cy) <= 0xFFFFFFFFull;
  OpResult r;
  if (bits == 24) {
    r = narrow ? ResampleRows<3, std::uint32_t>(progress, *source, *out, k)
               : ResampleRows<3, std::uint64_t>(progress, *source, *out, k);
  } else {
    r = narrow ? ResampleRows<1, std::uint32_t>(progress, *source, *out, k)
               : ResampleRows<1, std::uint64_t>(progress, *source, *out, k);
  }
  if (r != kOk) {
    return r;
  }
  *result = std::move(out);
  return kOk;
}

}  // namespace km
