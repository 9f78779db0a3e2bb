#pragma once

// Shared pieces of the codec tests: a temporary folder per test, files written from
// bytes, and decoding a byte string through a decoder.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "fileio/imgx/Imgx.h"
#include "support/DibTestUtil.h"

namespace km::test {

using Bytes = std::vector<std::uint8_t>;
using Decoder = std::function<imgx::Code(const std::string&, DibHandle*)>;

class CodecTest : public testing::Test {
protected:
  void SetUp() override { dir_ = MakeTempDir("codec"); }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string Path(const std::string& name) const { return (std::filesystem::path(dir_) / name).string(); }

  static void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  static Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  // Writes the bytes under `name` and decodes them; a failed decode must leave no image.
  imgx::Code DecodeBytes(const Decoder& decode, const std::string& name, const Bytes& bytes, DibHandle* out) {
    const std::string path = Path(name);
    WriteBytes(path, bytes);
    const imgx::Code code = decode(path, out);
    if (code != imgx::kOk) {
      EXPECT_EQ(*out, nullptr) << name;
    } else {
      EXPECT_EQ(ValidateDib(out->get()), km::kOk) << name;
    }
    return code;
  }

  std::string dir_;
};

// Little- and big-endian byte builders for files made by hand.
inline void Put16le(Bytes& b, unsigned v) { b.push_back(v & 0xFF); b.push_back((v >> 8) & 0xFF); }
inline void Put16be(Bytes& b, unsigned v) { b.push_back((v >> 8) & 0xFF); b.push_back(v & 0xFF); }
inline void Put32le(Bytes& b, std::uint32_t v) { Put16le(b, v & 0xFFFF); Put16le(b, v >> 16); }
inline void Put32be(Bytes& b, std::uint32_t v) { Put16be(b, v >> 16); Put16be(b, v & 0xFFFF); }
inline void PutText(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

// A palette image with a table of `colors` distinct colours and random indices.
inline DibHandle RandomPaletteImage(int width, int height, int bits, int colors, std::uint32_t seed) {
  DibHandle dib = MakeDib(width, height, bits, colors);
  if (!dib) {
    return dib;
  }
  const int n = dib->colorCount();
  for (int i = 0; i < n; ++i) {
    dib->colors()[i] = RgbQuad{static_cast<std::uint8_t>(i * 37 + 5), static_cast<std::uint8_t>(255 - i * 11),
                               static_cast<std::uint8_t>(i * 7 + 100), 0};
  }
  FillRandom(*dib, seed);
  return dib;
}

}  // namespace km::test
