// Encode and decode throughput of the PC Paint, Macintosh picture and WordPerfect codecs
// on a 3-megapixel image (2000 x 1500), the EPS writer, and the Photo CD reader at Base
// and 4Base. Items are megapixels; files go to the system temporary folder.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fileio/imgx/FileBytes.h"
#include "fileio/imgx/Imgx.h"
#include "imaging/Dib.h"

namespace {

using km::imgx::Code;

constexpr int kWidth = 2000;
constexpr int kHeight = 1500;

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("kilnmark_bench_" + name)).string();
}

// Smooth areas with some noise, as in scanned or painted pictures.
const km::Dib& Picture(int bits) {
  static km::DibHandle images[25];
  km::DibHandle& d = images[bits];
  if (!d) {
    km::Dib::Create(kWidth, kHeight, bits, bits == 24 ? 0 : 1 << bits, &d);
    for (int i = 0; i < d->colorCount(); ++i) {
      const auto v = static_cast<std::uint8_t>(i * 255 / (d->colorCount() - 1));
      d->colors()[i] = km::RgbQuad{v, static_cast<std::uint8_t>(255 - v), v, 0};
    }
    std::uint32_t state = 99;
    for (int y = 0; y < kHeight; ++y) {
      std::uint8_t* row = d->row(y);
      for (std::size_t x = 0; x < d->stride(); ++x) {
        state = state * 1664525u + 1013904223u;
        row[x] = static_cast<std::uint8_t>(((x / 64 + y / 64) * 37) ^ ((state >> 30) == 0 ? state >> 24 : 0));
      }
    }
  }
  return *d;
}

void Report(benchmark::State& state) {
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth * kHeight);
}

template <typename Encode>
void BenchEncode(benchmark::State& state, int bits, const std::string& name, Encode encode) {
  const km::Dib& src = Picture(bits);
  const std::string path = TempPath(name);
  for (auto _ : state) {
    if (encode(path, &src) != km::imgx::kOk) {
      state.SkipWithError("encode failed");
      return;
    }
  }
  Report(state);
}

template <typename Encode, typename Decode>
void BenchDecode(benchmark::State& state, int bits, const std::string& name, Encode encode, Decode decode) {
  const std::string path = TempPath(name);
  if (encode(path, &Picture(bits)) != km::imgx::kOk) {
    state.SkipWithError("encode failed");
    return;
  }
  for (auto _ : state) {
    km::DibHandle out;
    if (decode(path, &out) != km::imgx::kOk) {
      state.SkipWithError("decode failed");
      return;
    }
  }
  Report(state);
}

Code Pic(const std::string& p, const km::Dib* d) { return km::imgx::EncodePIC(nullptr, p, d); }
Code Pict(const std::string& p, const km::Dib* d) { return km::imgx::EncodePICT(nullptr, p, d, 1); }
Code Wpg(const std::string& p, const km::Dib* d) { return km::imgx::EncodeWPG(nullptr, p, d, 51, 300); }
Code EpsColour(const std::string& p, const km::Dib* d) { return km::imgx::EncodeEPS(nullptr, p, d, 0, 0, 1); }
Code ReadPic(const std::string& p, km::DibHandle* o) { return km::imgx::DecodePIC(nullptr, p, o); }
Code ReadPict(const std::string& p, km::DibHandle* o) { return km::imgx::DecodePICT(nullptr, p, o); }
Code ReadWpg(const std::string& p, km::DibHandle* o) { return km::imgx::DecodeWPG(nullptr, p, o); }

void BM_EncodePic8(benchmark::State& s) { BenchEncode(s, 8, "enc.pic", Pic); }
void BM_DecodePic8(benchmark::State& s) { BenchDecode(s, 8, "dec.pic", Pic, ReadPic); }
void BM_EncodePict24(benchmark::State& s) { BenchEncode(s, 24, "enc.pct", Pict); }
void BM_DecodePict24(benchmark::State& s) { BenchDecode(s, 24, "dec.pct", Pict, ReadPict); }
void BM_EncodeWpg8(benchmark::State& s) { BenchEncode(s, 8, "enc.wpg", Wpg); }
void BM_DecodeWpg8(benchmark::State& s) { BenchDecode(s, 8, "dec.wpg", Wpg, ReadWpg); }
void BM_EncodeEps24WithPreview(benchmark::State& s) { BenchEncode(s, 24, "enc.eps", EpsColour); }

// A Photo CD image pack with the three stored packs and an empty 4Base stream.
const std::string& PcdFile() {
  static const std::string path = [] {
    std::vector<std::uint8_t> f(400 * 2048, 0);
    std::memcpy(f.data() + 2048, "PCD_IPI", 7);
    std::uint32_t state = 7;
    for (std::size_t i = 4 * 2048; i < 384 * 2048; ++i) {
      state = state * 1664525u + 1013904223u;
      f[i] = static_cast<std::uint8_t>(96 + (state >> 28));
    }
    const std::uint8_t table[] = {0, 0, 0, 0, 0};  // one code "0" -> +0
    std::memcpy(f.data() + 388 * 2048, table, sizeof table);
    const std::uint8_t end[] = {0xFF, 0xFF, 0xFE, 0x08, 0x00};  // sync, luma row 1024
    std::memcpy(f.data() + 389 * 2048, end, sizeof end);
    const std::string p = TempPath("bench.pcd");
    km::imgx::WriteFileBytes(p, f);
    return p;
  }();
  return path;
}

void BM_DecodePcd(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  for (auto _ : state) {
    km::DibHandle out;
    if (km::imgx::DecodePCD(nullptr, PcdFile(), &out, size) != km::imgx::kOk) {
      state.SkipWithError("decode failed");
      return;
    }
  }
  const std::int64_t pixels = size == 3 ? 768 * 512 : 1536 * 1024;
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * pixels);
}

}  // namespace

BENCHMARK(BM_EncodePic8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePic8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodePict24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePict24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeWpg8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeWpg8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeEps24WithPreview)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePcd)->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond);
