// Filter throughput on a 12-megapixel 24-bit image (4000 x 3000), beside a plain copy of
// the same image, which every filter makes as its first step anyway. Compare the
// "Mpx/s" counters: the 3 x 3 kernels should stay within 25 times the copy's time.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>

#include "imaging/Dib.h"
#include "imaging/filters/Filters.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

const km::Dib& Picture() {
  static const km::DibHandle picture = [] {
    km::DibHandle d;
    if (km::Dib::Create(kWidth, kHeight, 24, 0, &d) != km::kOk) {
      std::abort();
    }
    std::uint32_t s = 12345;
    for (int y = 0; y < kHeight; ++y) {
      std::uint8_t* row = d->row(y);
      for (int b = 0; b < kWidth * 3; ++b) {
        s = s * 1664525u + 1013904223u;
        row[b] = static_cast<std::uint8_t>(s >> 24);
      }
    }
    return d;
  }();
  return *picture;
}

template <class Op>
void Run(benchmark::State& state, Op op) {
  const km::Dib& src = Picture();
  for (auto _ : state) {
    km::DibHandle out;
    if (op(&src, &out) != km::kOk) {
      state.SkipWithError("operation failed");
      break;
    }
    benchmark::DoNotOptimize(out->data());
  }
  state.counters["Mpx/s"] = benchmark::Counter(
      static_cast<double>(kWidth) * kHeight / 1e6 * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate);
}

void BM_Copy(benchmark::State& state) {
  Run(state, [](const km::Dib* s, km::DibHandle* o) { return km::CopyDIB(s, o); });
}

void BM_Sharpen3x3(benchmark::State& state) {
  Run(state, [](const km::Dib* s, km::DibHandle* o) {
    return km::ConvolveDIB(nullptr, s, o, 24, km::kKernelSharpen);
  });
}

void BM_FindEdges3x3(benchmark::State& state) {
  Run(state, [](const km::Dib* s, km::DibHandle* o) {
    return km::ConvolveDIB(nullptr, s, o, 24, km::kKernelFindEdges);
  });
}

void BM_Blur5x5(benchmark::State& state) {
  Run(state, [](const km::Dib* s, km::DibHandle* o) {
    return km::ConvolveDIB(nullptr, s, o, 24, km::kKernelBlur);
  });
}

void BM_Median(benchmark::State& state) {
  Run(state, [](const km::Dib* s, km::DibHandle* o) {
    return km::RankFilterDIB(nullptr, s, o, km::kRankMedian);
  });
}

void BM_Mosaic8x8(benchmark::State& state) {
  Run(state, [](const km::Dib* s, km::DibHandle* o) { return km::MosaicDIB(nullptr, s, o, 8, 8); });
}

}  // namespace

BENCHMARK(BM_Copy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sharpen3x3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindEdges3x3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Blur5x5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Median)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mosaic8x8)->Unit(benchmark::kMillisecond);
