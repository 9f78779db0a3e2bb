// MacPaint: 576 x 720 pixels, 1 bit (1 is black). An optional 128-byte MacBinary header,
// a 512-byte header (version and patterns), then 720 rows of 72 bytes in PackBits. Real
// files carry runs that continue from one row into the next, so the rows are unpacked as
// one stream of 51840 bytes; a run past its end is corrupt.

#include <algorithm>
#include <cstring>

#include "fileio/imgx/Imgx.h"
#include "fileio/imgx/PackBits.h"
#include "fileio/imgx/CodecKit.h"

namespace km::imgx {

namespace {

constexpr std::uint16_t kTypeMac = 13;
constexpr int kWidth = 576;
constexpr int kHeight = 720;
constexpr std::size_t kRowBytes = kWidth / 8;
constexpr std::size_t kMacBinarySize = 128;
constexpr std::size_t kHeaderSize = 512;

// A MacBinary header starts with a zero byte and a file name of 1 to 63 characters, and
// keeps zeros at offsets 74 and 82; a bare MacPaint header starts with a zero version word.
bool HasMacBinary(const std::vector<std::uint8_t>& bytes) {
  return bytes.size() >= kMacBinarySize + kHeaderSize && bytes[0] == 0 && bytes[1] >= 1 && bytes[1] <= 63 &&
         bytes[74] == 0 && bytes[82] == 0;
}

std::size_t DataOffset(const std::vector<std::uint8_t>& bytes) {
  return (HasMacBinary(bytes) ? kMacBinarySize : 0) + kHeaderSize;
}

// CRC-16 of MacBinary II (polynomial 0x1021, start 0).
unsigned Crc16(const std::uint8_t* p, std::size_t n) {
  unsigned crc = 0;
  for (std::size_t i = 0; i < n; ++i) {
    crc ^= static_cast<unsigned>(p[i]) << 8;
    for (int b = 0; b < 8; ++b) {
      crc = (crc & 0x8000) ? ((crc << 1) ^ 0x1021) : (crc << 1);
      crc &= 0xFFFF;
    }
  }
  return crc;
}

// The decoder over the file's bytes; sets *out only on success.
Code DecodeBytes(const std::vector<std::uint8_t>& bytes, ProgressWindow progress, DibHandle* out) {
  const std::size_t offset = DataOffset(bytes);
  if (bytes.size() <= offset) {
    return kTruncated;
  }
  std::vector<std::uint8_t> data(kRowBytes * kHeight);
  ByteReader in(bytes);
  in.seek(offset);
  const RunResult r = UnpackBits(in, data.data(), data.size());
  if (r != RunResult::kOk) {
    return r == RunResult::kOverrun ? kCorrupt : kTruncated;
  }
  DibHandle dib;
  if (const Code c = NewDib(kWidth, kHeight, 1, 2, &dib); c != kOk) {
    return c;
  }
  SetColor(*dib, 0, 255, 255, 255);
  SetColor(*dib, 1, 0, 0, 0);
  for (int y = 0; y < kHeight; ++y) {
    if (RowCancelled(progress, y, kHeight)) {
      return kCancelled;
    }
    std::memcpy(TopRow(*dib, y), data.data() + kRowBytes * y, kRowBytes);
  }
  *out = std::move(dib);
  return kOk;
}

}  // namespace

Code InfoMAC(const std::string& path, ImageInfo* info) {
  return InfoWholeFile(path, info, [](const std::vector<std::uint8_t>& bytes, ImageInfo* found) -> Code {
    if (bytes.size() < kHeaderSize) {
      return kTruncated;
    }
    FillInfo(kTypeMac, kWidth, kHeight, 1, found);
    return kOk;
  });
}

Code DecodeMAC(ProgressWindow progress, const std::string& path, DibHandle* out) {
  return DecodeWholeFile(path, out,
                         [&](const std::vector<std::uint8_t>& bytes) { return DecodeBytes(bytes, progress, out); });
}

// 576 x 720 1-bit images only; the darker colour is written black. withoutHeader 0 puts
// a MacBinary II header (type "PNTG", creator "MPNT") before the picture.
Code EncodeMAC(ProgressWindow progress, const std::string& path, const Dib* dib, int withoutHeader) {
  if (const Code c = CheckSource(dib); c != kOk) {
    return c;
  }
  if (dib->bitCount() != 1) {
    return kDepthNotWritable;
  }
  if (dib->width() != kWidth || dib->height() != kHeight) {
    return kBadDimensions;
  }
  bool dark[2];
  DarkIndices(*dib, dark);
  const std::uint8_t flip = dark[0] ? 0xFF : 0x00;  // index 0 dark: invert every bit
  const bool allSame = dark[0] == dark[1];

  std::vector<std::uint8_t> body(kHeaderSize, 0);
  std::uint8_t line[kRowBytes];
  for (int y = 0; y < kHeight; ++y) {
    if (RowCancelled(progress, y, kHeight)) {
      return kCancelled;
    }
    const std::uint8_t* row = TopRow(*dib, y);
    for (std::size_t i = 0; i < kRowBytes; ++i) {
      line[i] = allSame ? (dark[0] ? 0xFF : 0x00) : static_cast<std::uint8_t>(row[i] ^ flip);
    }
    PackBits(line, kRowBytes, &body);
  }
  if (withoutHeader != 0) {
    return WriteFileBytes(path, body);
  }
  std::vector<std::uint8_t> file(kMacBinarySize, 0);
  std::string name = FinalPath(path);
  name = name.substr(name.find_last_of('/') + 1);
  name = name.substr(0, 63);
  file[1] = static_cast<std::uint8_t>(name.size());
  std::memcpy(file.data() + 2, name.data(), name.size());
  std::memcpy(file.data() + 65, "PNTGMPNT", 8);
  const std::uint32_t length = static_cast<std::uint32_t>(body.size());
  file[83] = static_cast<std::uint8_t>(length >> 24);
  file[84] = static_cast<std::uint8_t>(length >> 16);
  file[85] = static_cast<std::uint8_t>(length >> 8);
  file[86] = static_cast<std::uint8_t>(length);
  file[122] = 129;
  file[123] = 129;
  const unsigned crc = Crc16(file.data(), 124);
  file[124] = static_cast<std::uint8_t>(crc >> 8);
  file[125] = static_cast<std::uint8_t>(crc);
  file.insert(file.end(), body.begin(), body.end());
  return WriteFileBytes(path, file);
}

}  // namespace km::imgx
