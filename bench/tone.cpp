// Tone and colour operations on a 4000 x 3000 image, 24-bit and 8-bit greyscale, beside
// a plain CopyDIB of the same image: every operation starts from such a copy, so the
// ratio of the two rates is the cost of the pixel work. Rates are in pixels per second.

#include <benchmark/benchmark.h>

#include <cstring>
#include <functional>
#include <random>

#include "imaging/Dib.h"
#include "imaging/tone/Tone.h"

namespace km {
namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

DibHandle MakeImage(bool grey) {
  DibHandle dib;
  if (Dib::Create(kWidth, kHeight, grey ? 8 : 24, grey ? 256 : 0, &dib) != kOk) {
    return dib;
  }
  if (grey) {
    for (int i = 0; i < 256; ++i) {
      const auto v = static_cast<std::uint8_t>(i);
      dib->colors()[i] = RgbQuad{v, v, v, 0};
    }
  }
  // Smooth gradients with noise: a photograph's spread of values, not a flat field.
  std::mt19937 rng(1);
  const int bytes = kWidth * (grey ? 1 : 3);
  for (int y = 0; y < kHeight; ++y) {
    std::uint8_t* row = dib->row(y);
    for (int x = 0; x < bytes; ++x) {
      row[x] = static_cast<std::uint8_t>((x / 23 + y / 17 + static_cast<int>(rng() % 32)) & 0xFF);
    }
  }
  return dib;
}

const Dib& Image(bool grey) {
  static const DibHandle rgb = MakeImage(false);
  static const DibHandle greyImage = MakeImage(true);
  return grey ? *greyImage : *rgb;
}

using Op = std::function<OpResult(const Dib*, DibHandle*)>;

void Run(benchmark::State& state, const Op& op, bool grey) {
  const Dib& src = Image(grey);
  for (auto _ : state) {
    DibHandle out;
    if (op(&src, &out) != kOk) {
      state.SkipWithError("operation failed");
      break;
    }
    benchmark::DoNotOptimize(out->data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kWidth) * kHeight);
}

void BM_Copy(benchmark::State& state, bool grey) {
  Run(state, [](const Dib* s, DibHandle* o) { return CopyDIB(s, o); }, grey);
}

void BM_Memcpy(benchmark::State& state, bool grey) {
  const Dib& src = Image(grey);
  std::vector<std::uint8_t> dst(src.size());
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), src.size());
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kWidth) * kHeight);
}

void BM_Op(benchmark::State& state, Op op, bool grey) { Run(state, op, grey); }

#define TONE_BENCH(name, expr)                                                     \
  BENCHMARK_CAPTURE(BM_Op, name##_Rgb24, Op(expr), false)->Unit(benchmark::kMillisecond); \
  BENCHMARK_CAPTURE(BM_Op, name##_Grey8, Op(expr), true)->Unit(benchmark::kMillisecond)

BENCHMARK_CAPTURE(BM_Memcpy, Rgb24, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Memcpy, Grey8, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Copy, Rgb24, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Copy, Grey8, true)->Unit(benchmark::kMillisecond);

TONE_BENCH(Brightness, [](const Dib* s, DibHandle* o) { return ToneCurveDIB(nullptr, s, o, 20, ToneCurveKind::Brightness); });
TONE_BENCH(Contrast, [](const Dib* s, DibHandle* o) { return ToneCurveDIB(nullptr, s, o, -30, ToneCurveKind::Contrast); });
TONE_BENCH(Solarize, [](const Dib* s, DibHandle* o) { return ToneCurveDIB(nullptr, s, o, 128, ToneCurveKind::Solarize); });
TONE_BENCH(Gamma, [](const Dib* s, DibHandle* o) { return GammaDIB(nullptr, s, o, 1.8f); });
TONE_BENCH(HighlightMidtoneShadow, [](const Dib* s, DibHandle* o) { return HighlightMidtoneShadowDIB(nullptr, s, o, 90, 60, 10); });
TONE_BENCH(Posterize, [](const Dib* s, DibHandle* o) { return PosterizeDIB(nullptr, s, o, 3); });
TONE_BENCH(AdjustRGB, [](const Dib* s, DibHandle* o) { return AdjustRGBDIB(nullptr, s, o, 20, -10, 5); });
TONE_BENCH(AdjustHSL, [](const Dib* s, DibHandle* o) { return AdjustHSLDIB(nullptr, s, o, 10, 20, -10); });
TONE_BENCH(Colorize, [](const Dib* s, DibHandle* o) { return ColorizeDIB(nullptr, s, o, 30, 200); });
TONE_BENCH(Greyscale, [](const Dib* s, DibHandle* o) { return GreyscaleDIB(nullptr, s, o); });
TONE_BENCH(Equalize, [](const Dib* s, DibHandle* o) { return EqualizeDIB(nullptr, s, o); });
TONE_BENCH(StretchHistogram, [](const Dib* s, DibHandle* o) { return StretchHistogramDIB(nullptr, s, o); });
TONE_BENCH(Invert, [](const Dib* s, DibHandle* o) { return InvertDIB(nullptr, s, o); });

}  // namespace
}  // namespace km
