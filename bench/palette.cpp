// Colour reduction on a 12-megapixel (4000 x 3000) 24-bit photograph-like image:
// smooth gradients plus noise. Gathering by median cut and by octree (256 colours),
// and error-diffusion mapping to a 256-colour palette.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "imaging/palette/Palette.h"

namespace {

const km::Dib& Photo() {
  static km::DibHandle dib = [] {
    constexpr int kWidth = 4000;
    constexpr int kHeight = 3000;
    km::DibHandle d;
    km::Dib::Create(kWidth, kHeight, 24, 0, &d);
    std::mt19937 rng(42);
    std::normal_distribution<double> noise(0.0, 6.0);
    for (int y = 0; y < kHeight; ++y) {
      std::uint8_t* p = d->row(y);
      for (int x = 0; x < kWidth; ++x, p += 3) {
        const double fx = static_cast<double>(x) / kWidth;
        const double fy = static_cast<double>(y) / kHeight;
        const double r = 128 + 100 * std::sin(3.1 * fx + 1.3 * fy) + noise(rng);
        const double g = 110 + 90 * std::cos(2.3 * fy - 0.7 * fx) + noise(rng);
        const double b = 90 + 80 * std::sin(4.0 * fx * fy + 0.5) + noise(rng);
        p[0] = static_cast<std::uint8_t>(std::clamp(b, 0.0, 255.0));
        p[1] = static_cast<std::uint8_t>(std::clamp(g, 0.0, 255.0));
        p[2] = static_cast<std::uint8_t>(std::clamp(r, 0.0, 255.0));
      }
    }
    return d;
  }();
  return *dib;
}

void Gather(benchmark::State& state, int method) {
  const km::Dib& img = Photo();
  km::RgbQuad palette[256];
  int count = 0;
  for (auto _ : state) {
    km::GatherImagePalette(&img, method, 256, false, palette, &count);
    benchmark::DoNotOptimize(palette);
  }
  state.counters["colours"] = count;
  state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(img.width()) * img.height() / 1e6,
                                               benchmark::Counter::kIsIterationInvariantRate);
}

void BM_GatherMedianCut256(benchmark::State& state) { Gather(state, km::kMedianCut); }
void BM_GatherOctree256(benchmark::State& state) { Gather(state, km::kOctree); }

void BM_MapErrorDiffusion256(benchmark::State& state) {
  const km::Dib& img = Photo();
  km::RgbQuad palette[256];
  int count = 0;
  km::GatherImagePalette(&img, km::kMedianCut, 256, false, palette, &count);
  for (auto _ : state) {
    km::DibHandle out;
    km::MapDIBToPalette(nullptr, &img, &out, 8, palette, 2, false, count);
    benchmark::DoNotOptimize(out);
  }
  state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(img.width()) * img.height() / 1e6,
                                               benchmark::Counter::kIsIterationInvariantRate);
}

void BM_MapNearest256(benchmark::State& state) {
  const km::Dib& img = Photo();
  km::RgbQuad palette[256];
  int count = 0;
  km::GatherImagePalette(&img, km::kMedianCut, 256, false, palette, &count);
  for (auto _ : state) {
    km::DibHandle out;
    km::MapDIBToPalette(nullptr, &img, &out, 8, palette, 0, false, count);
    benchmark::DoNotOptimize(out);
  }
  state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(img.width()) * img.height() / 1e6,
                                               benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

BENCHMARK(BM_GatherMedianCut256)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GatherOctree256)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapErrorDiffusion256)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapNearest256)->Unit(benchmark::kMillisecond);
