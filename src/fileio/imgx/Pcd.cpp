// Photo CD image packs (.PCD), read in 2048-byte sectors. Sector 1 starts with
// "PCD_IPI"; byte 0x0E02 holds the orientation in its low two bits (0 upright,
// 1 turned a quarter anticlockwise for display, 2 half a turn, 3 a quarter clockwise).
// The three small images are stored whole as YCC 4:2:0: for every pair of rows two
// luma rows of w bytes, then one C1 and one C2 row of w/2 bytes:
//   Base/16  192 x 128 at sector 4,   Base/4  384 x 256 at sector 23,
//   Base     768 x 512 at sector 96.
// The larger ones are Base (or 4Base) doubled by interpolation plus Huffman-coded
// residuals: 4Base (1536 x 1024, luma only) with its table at sector 388 and its data
// at sector 389; 16Base (3072 x 2048, luma and both chroma) with its three tables 12
// sectors and its data 14 sectors after the sector that follows the end of the 4Base
// data. A table is a count - 1 byte, then per code its length - 1, the code (16 bits,
// most significant bit first, left-aligned) and a signed delta. The data is a bit
// stream of rows, each after a sync code of 23 ones and a zero, 2 bits of plane (0
// luma, 2 C1, 3 C2), 13 bits of row number and one spare bit; a row number equal to
// the plane's height ends the stream.
//
// Interpolation when doubling: even positions copy, the others average their two (or
// four) neighbours rounding half up, with the last row and column repeated.
// Colours: L = 1.3584 Y, c1 = 2.2179 (C1 - 156), c2 = 1.8215 (C2 - 137);
// red = L + c2, green = L - 0.194 c1 - 0.509 c2, blue = L + c1, rounded to nearest
// and clipped to 0..255.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>

#include "fileio/imgx/CodecKit.h"
#include "fileio/imgx/Imgx.h"

namespace km::imgx {

namespace {

constexpr std::size_t kSector = 2048;
constexpr int kBaseWidth = 768;
constexpr int kBaseHeight = 512;
constexpr std::size_t kOrientationAt = 0x0E02;
constexpr std::size_t kPackSector[3] = {4, 23, 96};
constexpr std::size_t kResidualSector = 384;  // where the 4Base data area starts
constexpr std::uint32_t kSync = 0xFFFFFE;

// One image plane, row-major, top row first.
struct Plane {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> v;
  void resize(int w, int h) {
    width = w;
    height = h;
    v.assign(static_cast<std::size_t>(w) * h, 0);
  }
  std::uint8_t* row(int y) { return v.data() + static_cast<std::size_t>(y) * width; }
  const std::uint8_t* row(int y) const { return v.data() + static_cast<std::size_t>(y) * width; }
};

struct Ycc {
  Plane y, c1, c2;
};

Code ReadPack(const std::vector<std::uint8_t>& file, int level, Ycc* img) {
  const int w = kBaseWidth >> (2 - level);
  const int h = kBaseHeight >> (2 - level);
  const std::size_t offset = kPackSector[level] * kSector;
  const std::size_t bytes = static_cast<std::size_t>(w) * h * 3 / 2;
  if (file.size() < offset || file.size() - offset < bytes) {
    return kTruncated;
  }
  img->y.resize(w, h);
  img->c1.resize(w / 2, h / 2);
  img->c2.resize(w / 2, h / 2);
  const std::uint8_t* p = file.data() + offset;
  for (int r = 0; r < h / 2; ++r) {
    std::memcpy(img->y.row(2 * r), p, w);
    std::memcpy(img->y.row(2 * r + 1), p + w, w);
    std::memcpy(img->c1.row(r), p + 2 * w, w / 2);
    std::memcpy(img->c2.row(r), p + 2 * w + w / 2, w / 2);
    p += 3 * static_cast<std::size_t>(w);
  }
  return kOk;
}

// Doubles a plane in both directions.
Plane Upsample(const Plane& in) {
  Plane out;
  out.resize(in.width * 2, in.height * 2);
  for (int y = 0; y < in.height; ++y) {
    const std::uint8_t* a = in.row(y);
    const std::uint8_t* b = in.row(std::min(y + 1, in.height - 1));
    std::uint8_t* even = out.row(2 * y);
    std::uint8_t* odd = out.row(2 * y + 1);
    for (int x = 0; x < in.width; ++x) {
      const int x1 = std::min(x + 1, in.width - 1);
      even[2 * x] = a[x];
      even[2 * x + 1] = static_cast<std::uint8_t>((a[x] + a[x1] + 1) >> 1);
      odd[2 * x] = static_cast<std::uint8_t>((a[x] + b[x] + 1) >> 1);
      odd[2 * x + 1] = static_cast<std::uint8_t>((a[x] + a[x1] + b[x] + b[x1] + 2) >> 2);
    }
  }
  return out;
}

// Most-significant-bit-first reader over the whole file from a byte offset.
class BitReader {
public:
  BitReader(const std::vector<std::uint8_t>& data, std::size_t start) : data_(data), byte_(start) {}
  // The next n (<= 24) bits, or false when the data ends first.
  bool peek(int n, std::uint32_t* out) {
    while (count_ < n) {
      if (byte_ >= data_.size()) {
        return false;
      }
      bits_ = (bits_ << 8) | data_[byte_++];
      count_ += 8;
    }
    *out = static_cast<std::uint32_t>((bits_ >> (count_ - n)) & ((1ull << n) - 1));
    return true;
  }
  bool get(int n, std::uint32_t* out) {
    if (!peek(n, out)) {
      return false;
    }
    count_ -= n;
    return true;
  }
  void consume(int n) { count_ -= n; }  // after a peek of at least n
  // Byte offset just past the last bit consumed.
  std::size_t position() const { return byte_ - static_cast<std::size_t>(count_ / 8); }

private:
  const std::vector<std::uint8_t>& data_;
  std::size_t byte_;
  std::uint64_t bits_ = 0;
  int count_ = 0;
};

// A Huffman table as a direct lookup on the next 16 bits.
struct HuffTable {
  std::vector<std::uint8_t> length;  // 0 = no code
  std::vector<std::int8_t> delta;
};

Code ReadTable(const std::vector<std::uint8_t>& file, std::size_t* at, HuffTable* t) {
  ByteReader in(file.data(), file.size());
  if (!in.seek(*at)) {
    return kTruncated;
  }
  const int count = in.u8() + 1;
  t->length.assign(1u << 16, 0);
  t->delta.assign(1u << 16, 0);
  for (int i = 0; i < count; ++i) {
    const int length = in.u8() + 1;
    const std::uint32_t code = in.u16be();
    const auto delta = static_cast<std::int8_t>(in.u8());
    if (!in.ok()) {
      return kTruncated;
    }
    if (length > 16) {
      return kCorrupt;
    }
    const std::uint32_t span = 1u << (16 - length);
    if ((code & (span - 1)) != 0) {
      return kCorrupt;  // bits set below the code's length
    }
    for (std::uint32_t j = code; j < code + span; ++j) {
      t->length[j] = static_cast<std::uint8_t>(length);
      t->delta[j] = delta;
    }
  }
  *at = in.pos();
  return kOk;
}

// Adds the residual rows of `planes` tables (1: luma; 3: luma, C1, C2) to the planes,
// which are already at the new size. *end gets the byte offset after the stream.
Code AddResiduals(ProgressWindow progress, const std::vector<std::uint8_t>& file, std::size_t tableAt,
                  std::size_t dataAt, int planes, Ycc* img, std::size_t* end) {
  std::array<HuffTable, 3> tables;
  std::size_t at = tableAt;
  for (int i = 0; i < planes; ++i) {
    if (const Code c = ReadTable(file, &at, &tables[i]); c != kOk) {
      return c;
    }
  }
  if (dataAt >= file.size()) {
    return kTruncated;
  }
  BitReader bits(file, dataAt);
  std::uint32_t v = 0;
  for (;;) {  // the first sync
    if (!bits.peek(24, &v)) {
      return kTruncated;
    }
    if (v == kSync) {
      break;
    }
    bits.consume(1);
  }
  Plane* target = nullptr;
  const HuffTable* table = nullptr;
  std::uint8_t* row = nullptr;
  int col = 0;
  int rowWidth = 0;
  const int height = img->y.height;
  for (;;) {
    if (!bits.peek(24, &v)) {
      return kTruncated;
    }
    if (v == kSync) {
      bits.consume(24);
      std::uint32_t planeCode = 0, rowNumber = 0, spare = 0;
      if (!bits.get(2, &planeCode) || !bits.get(13, &rowNumber) || !bits.get(1, &spare)) {
        return kTruncated;
      }
      const int plane = planeCode == 0 ? 0 : planeCode == 2 ? 1 : planeCode == 3 ? 2 : -1;
      if (plane < 0 || plane >= planes) {
        return kCorrupt;
      }
      target = plane == 0 ? &img->y : plane == 1 ? &img->c1 : &img->c2;
      if (static_cast<int>(rowNumber) >= target->height) {
        if (static_cast<int>(rowNumber) == target->height) {
          *end = bits.position();
          return kOk;
        }
        return kCorrupt;
      }
      table = &tables[plane];
      row = target->row(static_cast<int>(rowNumber));
      rowWidth = target->width;
      col = 0;
      if (plane == 0 && ProgressStep(progress, rowNumber, height)) {
        return kCancelled;
      }
      continue;
    }
    if (row == nullptr || col >= rowWidth) {
      return kCorrupt;  // more deltas than the row has pixels
    }
    std::uint32_t code = 0;
    bits.peek(16, &code);  // present: 24 bits were
    const int len = table->length[code];
    if (len == 0) {
      return kCorrupt;  // a code the table does not have
    }
    bits.consume(len);
    row[col] = static_cast<std::uint8_t>(std::clamp(row[col] + table->delta[code], 0, 255));
    ++col;
  }
}

// Fixed-point colour tables (16 fraction bits).
struct YccTables {
  std::array<std::int32_t, 256> l{}, r2{}, g1{}, g2{}, b1{};
  YccTables() {
    auto fix = [](double v) { return static_cast<std::int32_t>(std::lround(v * 65536.0)); };
    for (int i = 0; i < 256; ++i) {
      const double c1 = 2.2179 * (i - 156);
      const double c2 = 1.8215 * (i - 137);
      l[i] = fix(1.3584 * i) + 32768;  // with the rounding half
      r2[i] = fix(c2);
      g1[i] = fix(-0.194 * c1);
      g2[i] = fix(-0.509 * c2);
      b1[i] = fix(c1);
    }
  }
};

std::uint8_t Clip(std::int32_t fixed) {
  const std::int32_t v = fixed >> 16;
  return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

Code ToDib(ProgressWindow progress, const Ycc& img, int orientation, DibHandle* out) {
  static const YccTables t;
  const Plane c1 = Upsample(img.c1);
  const Plane c2 = Upsample(img.c2);
  const int w = img.y.width;
  const int h = img.y.height;
  const bool turned = orientation == 1 || orientation == 3;
  DibHandle dib;
  if (Dib::Create(turned ? h : w, turned ? w : h, 24, 0, &dib) != kOk) {
    return kNoMemory;
  }
  const int outH = dib->height();
  for (int y = 0; y < h; ++y) {
    if (ProgressStep(progress, y, h)) {
      return kCancelled;
    }
    const std::uint8_t* ly = img.y.row(y);
    const std::uint8_t* a = c1.row(y);
    const std::uint8_t* b = c2.row(y);
    for (int x = 0; x < w; ++x) {
      const std::int32_t l = t.l[ly[x]];
      // Where picture pixel (x, y) goes, in display coordinates (top row 0).
      int dx = x, dy = y;
      switch (orientation) {
        case 1: dx = y; dy = w - 1 - x; break;
        case 2: dx = w - 1 - x; dy = h - 1 - y; break;
        case 3: dx = h - 1 - y; dy = x; break;
        default: break;
      }
      std::uint8_t* p = dib->row(outH - 1 - dy) + 3 * static_cast<std::size_t>(dx);
      p[0] = Clip(l + t.b1[a[x]]);
      p[1] = Clip(l + t.g1[a[x]] + t.g2[b[x]]);
      p[2] = Clip(l + t.r2[b[x]]);
    }
  }
  *out = std::move(dib);
  return kOk;
}

bool IsPcd(const std::vector<std::uint8_t>& file) {
  return file.size() > kOrientationAt && std::memcmp(file.data() + kSector, "PCD_IPI", 7) == 0;
}

Code ParsePcd(ProgressWindow progress, const std::vector<std::uint8_t>& file, int size, DibHandle* out) {
  if (!IsPcd(file)) {
    return kNotThisFormat;
  }
  if (size < 1 || size > 5) {
    size = 3;  // Base, the default size
  }
  const int orientation = file[kOrientationAt] & 3;
  Ycc img;
  if (const Code c = ReadPack(file, std::min(size, 3) - 1, &img); c != kOk) {
    return c;
  }
  if (size >= 4) {
    img.y = Upsample(img.y);
    img.c1 = Upsample(img.c1);  // the chroma stays at half the new size
    img.c2 = Upsample(img.c2);
    std::size_t end = 0;
    if (const Code c = AddResiduals(progress, file, (kResidualSector + 4) * kSector, (kResidualSector + 5) * kSector,
                                    1, &img, &end);
        c != kOk) {
      return c;
    }
    if (size == 5) {
      const std::size_t next = (end + kSector - 1) / kSector;
      img.y = Upsample(img.y);
      img.c1 = Upsample(img.c1);
      img.c2 = Upsample(img.c2);
      if (const Code c = AddResiduals(progress, file, (next + 12) * kSector, (next + 14) * kSector, 3, &img, &end);
          c != kOk) {
        return c;
      }
    }
  }
  return ToDib(progress, img, orientation, out);
}

}  // namespace

Code InfoPCD(const std::string& path, ImageInfo* info) {
  return InfoWholeFile(path, info, [](const std::vector<std::uint8_t>& file, ImageInfo* found) -> Code {
    if (!IsPcd(file)) {
      return kNotThisFormat;
    }
    const int orientation = file[kOrientationAt] & 3;
    const bool turned = orientation == 1 || orientation == 3;
    FillInfo(15, turned ? kBaseHeight : kBaseWidth, turned ? kBaseWidth : kBaseHeight, 24, found);
    return kOk;
  });
}

Code DecodePCD(ProgressWindow progress, const std::string& path, DibHandle* out, int size) {
  return DecodeWholeFile(path, out, [&](const std::vector<std::uint8_t>& file) { return ParsePcd(progress, file, size, out); });
}

}  // namespace km::imgx
