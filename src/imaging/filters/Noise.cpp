// Noise from the C library's rand(). The generator is never seeded here, so every run of
// a process draws the same sequence from the library's default seed and a batch run can
// be repeated exactly. The draw order per pixel is part of that contract.

#include <cstdint>
#include <cstdlib>

#include "imaging/filters/Filters.h"
#include "imaging/filters/PaddedRows.h"

namespace km {

namespace {

// A signed offset -128..127 from bits 7 to 14 of one rand() value.
inline int Offset(int r) { return ((r >> 7) & 0xFF) - 128; }

// "Random" noise touches a pixel when a draw, scaled to 0..100, falls below the amount.
inline bool Hit(int amount) { return (std::rand() & 0x7FFF) / 327 < amount; }

inline std::uint8_t Uniform(std::uint8_t v, int amount, int r) {
  return filters::ClampByte(v + amount * Offset(r) / 100);
}

void UniformRow(std::uint8_t* row, int width, int bpp, int amount) {
  if (bpp == 3) {
    for (int x = 0; x < width; ++x, row += 3) {
      const int r1 = std::rand();
      const int r2 = std::rand();
      const int r3 = std::rand();
      row[0] = Uniform(row[0], amount, r1);
      row[1] = Uniform(row[1], amount, r2);
      row[2] = Uniform(row[2], amount, r3);
    }
  } else {
    for (int x = 0; x < width; ++x) {
      row[x] = Uniform(row[x], amount, std::rand());
    }
  }
}

void RandomRow(std::uint8_t* row, int width, int bpp, int amount) {
  if (bpp == 3) {
    for (int x = 0; x < width; ++x, row += 3) {
      if (Hit(amount)) {
        const int r1 = std::rand();
        const int r2 = std::rand();
        const int r3 = std::rand();
        row[0] = filters::ClampByte(row[0] + Offset(r1));
        row[1] = filters::ClampByte(row[1] + Offset(r2));
        row[2] = filters::ClampByte(row[2] + Offset(r3));
      }
    }
  } else {
    for (int x = 0; x < width; ++x) {
      if (Hit(amount)) {
        row[x] = filters::ClampByte(row[x] + Offset(std::rand()));
      }
    }
  }
}

}  // namespace

OpResult AddNoiseDIB(ProgressWindow progress, const Dib* source, DibHandle* result, int type,
                     int amount) {
  if (const OpResult r = PrepareOp(source, result); r != kOk) {
    return r;
  }
  const int bits = source->bitCount();
  if ((bits != 8 && bits != 24) || (type != kNoiseRandom && type != kNoiseUniform) ||
      amount < 0 || amount > 100) {
    return kInvalidArgument;
  }
  filters::ReportOnly(progress, 0);
  DibHandle out;
  if (const OpResult r = CopyDIB(source, &out); r != kOk) {
    return r;
  }
  const int width = source->width();
  const int height = source->height();
  for (int y = 0; y < height; ++y) {
    if (ProgressStep(progress, y, height)) {
      return kCancelled;
    }
    if (type == kNoiseUniform) {
      UniformRow(out->row(y), width, bits / 8, amount);
    } else {
      RandomRow(out->row(y), width, bits / 8, amount);
    }
  }
  filters::ReportOnly(progress, 100);
  *result = std::move(out);
  return kOk;
}

}  // namespace km
