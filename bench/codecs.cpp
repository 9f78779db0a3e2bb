// Decode and encode speed of the JPEG, PNG and TIFF codecs on a 12-megapixel (4000 x
// 3000) 24-bit picture. The files are made once in a temporary folder at start-up.
// Each benchmark reports megapixels a second.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "fileio/imgx/Imgx.h"

namespace {

using km::DibHandle;
namespace imgx = km::imgx;

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr double kMegapixels = kWidth * kHeight / 1e6;

// A photo-like picture: smooth gradients with a little deterministic noise, so the
// compressors see neither flat colour nor pure noise.
DibHandle MakePicture() {
  DibHandle dib;
  if (km::Dib::Create(kWidth, kHeight, 24, 0, &dib) != km::kOk) {
    std::abort();
  }
  std::uint32_t seed = 12345;
  for (int y = 0; y < kHeight; ++y) {
    std::uint8_t* p = dib->row(y);
    for (int x = 0; x < kWidth; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int noise = static_cast<int>(seed >> 29);
      p[3 * x] = static_cast<std::uint8_t>((x / 16 + noise) & 0xFF);
      p[3 * x + 1] = static_cast<std::uint8_t>((y / 12 + noise) & 0xFF);
      p[3 * x + 2] = static_cast<std::uint8_t>(((x + y) / 28 + noise) & 0xFF);
    }
  }
  return dib;
}

struct Fixture {
  std::string dir;
  DibHandle picture;
  std::string jpg, png, tif;

  Fixture() {
    char tmpl[] = "/tmp/kilnmark-bench-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) {
      std::abort();
    }
    dir = tmpl;
    picture = MakePicture();
    jpg = dir + "/in.jpg";
    png = dir + "/in.png";
    tif = dir + "/in.tif";
    if (imgx::EncodeJPG(nullptr, jpg, picture.get(), 85, 300, 0) != imgx::kOk ||
        imgx::EncodePNG(nullptr, png, picture.get(), nullptr, 5, 0, 0, -1) != imgx::kOk ||
        imgx::EncodeTIF(nullptr, tif, picture.get(), nullptr, 5, 0, 300) != imgx::kOk) {
      std::abort();
    }
  }
  ~Fixture() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

Fixture& Files() {
  static Fixture f;
  return f;
}

void Report(benchmark::State& state) {
  state.counters["Mpx/s"] =
      benchmark::Counter(kMegapixels * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_DecodeJPEG(benchmark::State& state) {
  const std::string& path = Files().jpg;
  for (auto _ : state) {
    DibHandle dib;
    if (imgx::DecodeJPG(nullptr, path, &dib) != imgx::kOk) {
      state.SkipWithError("decode failed");
    }
    benchmark::DoNotOptimize(dib);
  }
  Report(state);
}

void BM_EncodeJPEG(benchmark::State& state) {
  Fixture& f = Files();
  const std::string out = f.dir + "/out.jpg";
  for (auto _ : state) {
    if (imgx::EncodeJPG(nullptr, out, f.picture.get(), 85, 300, static_cast<int>(state.range(0))) != imgx::kOk) {
      state.SkipWithError("encode failed");
    }
  }
  Report(state);
}

void BM_DecodePNG(benchmark::State& state) {
  const std::string& path = Files().png;
  for (auto _ : state) {
    DibHandle dib;
    imgx::ExtraHandle extra;
    std::int16_t t = -1;
    if (imgx::DecodePNG(nullptr, path, &dib, &extra, &t) != imgx::kOk) {
      state.SkipWithError("decode failed");
    }
    benchmark::DoNotOptimize(dib);
  }
  Report(state);
}

void BM_EncodePNG(benchmark::State& state) {
  Fixture& f = Files();
  const std::string out = f.dir + "/out.png";
  for (auto _ : state) {
    if (imgx::EncodePNG(nullptr, out, f.picture.get(), nullptr, 5, 0, 0, -1) != imgx::kOk) {
      state.SkipWithError("encode failed");
    }
  }
  Report(state);
}

void BM_DecodeTIFF(benchmark::State& state) {
  const std::string& path = Files().tif;
  for (auto _ : state) {
    DibHandle dib;
    imgx::ExtraHandle extra;
    if (imgx::DecodeTIF(nullptr, path, &dib, &extra) != imgx::kOk) {
      state.SkipWithError("decode failed");
    }
    benchmark::DoNotOptimize(dib);
  }
  Report(state);
}

void BM_EncodeTIFF(benchmark::State& state) {
  Fixture& f = Files();
  const std::string out = f.dir + "/out.tif";
  for (auto _ : state) {
    // range(0): the TIFF compression code (1 none, 5 LZW, 32773 PackBits)
    if (imgx::EncodeTIF(nullptr, out, f.picture.get(), nullptr, static_cast<int>(state.range(0)), 0, 300) !=
        imgx::kOk) {
      state.SkipWithError("encode failed");
    }
  }
  Report(state);
}

BENCHMARK(BM_DecodeJPEG)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeJPEG)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePNG)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodePNG)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeTIFF)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeTIFF)->Arg(1)->Arg(5)->Arg(32773)->Unit(benchmark::kMillisecond);

}  // namespace
