// Geometry throughput on a 12-megapixel 24-bit image (4000 x 3000), beside a plain copy
// of the same image as the yardstick. Items are source megapixels.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>

#include "imaging/Dib.h"
#include "imaging/geometry/Geometry.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

const km::Dib& Picture() {
  static km::DibHandle dib = [] {
    km::DibHandle d;
    km::Dib::Create(kWidth, kHeight, 24, 0, &d);
    std::uint32_t state = 12345;
    for (int y = 0; y < kHeight; ++y) {
      std::uint8_t* row = d->row(y);
      for (int x = 0; x < 3 * kWidth; ++x) {
        state = state * 1664525u + 1013904223u;
        row[x] = static_cast<std::uint8_t>(((x / 3 + y) & 0xFF) ^ (state >> 29));
      }
    }
    return d;
  }();
  return *dib;
}

void Run(benchmark::State& state, const std::function<km::OpResult(const km::Dib*, km::DibHandle*)>& op) {
  const km::Dib& src = Picture();
  for (auto _ : state) {
    km::DibHandle out;
    if (op(&src, &out) != km::kOk) {
      state.SkipWithError("operation failed");
      return;
    }
    benchmark::DoNotOptimize(out->data());
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
  state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(kWidth) * kHeight / 1e6,
                                               benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Copy(benchmark::State& s) { Run(s, [](auto src, auto out) { return km::CopyDIB(src, out); }); }
void BM_ResampleHalf(benchmark::State& s) {
  Run(s, [](auto src, auto out) { return km::ResampleDIB(nullptr, src, out, kWidth / 2, kHeight / 2); });
}
void BM_ResampleDouble(benchmark::State& s) {
  Run(s, [](auto src, auto out) { return km::ResampleDIB(nullptr, src, out, kWidth * 2, kHeight * 2); });
}
// Enlarging by a factor that is not whole: every other column and row blends two pixels.
void BM_ResampleOneAndHalf(benchmark::State& s) {
  Run(s, [](auto src, auto out) { return km::ResampleDIB(nullptr, src, out, kWidth * 3 / 2, kHeight * 3 / 2); });
}
void BM_RotateFree30(benchmark::State& s) {
  Run(s, [](auto src, auto out) { return km::RotateDIB(nullptr, src, out, 30, 1, 0, 0, 0); });
}
void BM_PerspectiveHorizontal(benchmark::State& s) {
  Run(s, [](auto src, auto out) {
    return km::PerspectiveDIB(nullptr, src, out, km::PerspectiveAxis::kHorizontal, 1, 50, 0, 0, 0);
  });
}
void BM_PerspectiveVertical(benchmark::State& s) {
  Run(s, [](auto src, auto out) {
    return km::PerspectiveDIB(nullptr, src, out, km::PerspectiveAxis::kVertical, 1, 50, 0, 0, 0);
  });
}
void BM_MotionBlur10(benchmark::State& s) {
  Run(s, [](auto src, auto out) { return km::MotionBlurDIB(nullptr, src, out, 10, 30); });
}

BENCHMARK(BM_Copy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResampleHalf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResampleDouble)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResampleOneAndHalf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RotateFree30)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PerspectiveHorizontal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PerspectiveVertical)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MotionBlur10)->Unit(benchmark::kMillisecond);

}  // namespace
