// PBM, PGM and PPM: "P1".."P6", then width, height and (except for bitmaps) the maximum
// sample value as decimal text separated by white space and "#" comments, one white
// space character, then the samples: decimal text (P1..P3) or binary (P4..P6, one byte
// a sample, two bytes big-endian when the maximum exceeds 255). Bitmaps: 1 is black.
// Samples are scaled to 0..255 with rounding.

#include <algorithm>
#include <cstring>

#include "fileio/imgx/Imgx.h"
#include "fileio/imgx/CodecKit.h"

namespace km::imgx {

namespace {

constexpr std::uint16_t kTypePbm = 107;
constexpr std::uint16_t kTypePgm = 108;
constexpr std::uint16_t kTypePpm = 109;

struct PnmHeader {
  int format = 0;  // 1..6
  int width = 0;
  int height = 0;
  int maxval = 1;
  std::size_t dataOffset = 0;
  bool ascii() const { return format <= 3; }
  int kind() const { return (format - 1) % 3; }  // 0 bitmap, 1 grey, 2 colour
};

bool IsSpace(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Steps over white space and "#" comments (which run to the end of their line).
void SkipSpace(const std::vector<std::uint8_t>& bytes, std::size_t* pos) {
  std::size_t p = *pos;
  while (p < bytes.size()) {
    if (bytes[p] == '#') {
      while (p < bytes.size() && bytes[p] != '\n' && bytes[p] != '\r') {
        ++p;
      }
    } else if (IsSpace(bytes[p])) {
      ++p;
    } else {
      break;
    }
  }
  *pos = p;
}

Code ParseHeader(const std::vector<std::uint8_t>& bytes, PnmHeader* h) {
  if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] < '1' || bytes[1] > '6') {
    return kNotThisFormat;
  }
  h->format = bytes[1] - '0';
  long width = 0;
  long height = 0;
  long maxval = 1;
  std::size_t pos = 2;
  auto number = [&](long limit, long* value) -> Code {
    SkipSpace(bytes, &pos);
    if (pos >= bytes.size()) {
      return kTruncated;
    }
    if (bytes[pos] < '0' || bytes[pos] > '9') {
      return kCorrupt;
    }
    long v = 0;
    while (pos < bytes.size() && bytes[pos] >= '0' && bytes[pos] <= '9') {
      v = v * 10 + (bytes[pos] - '0');
      ++pos;
      if (v > limit) {
        return kBadDimensions;
      }
    }
    *value = v;
    return kOk;
  };
  if (pos < bytes.size() && !IsSpace(bytes[pos]) && bytes[pos] != '#') {
    return kNotThisFormat;
  }
  if (const Code c = number(kMaxDibSide, &width); c != kOk) {
    return c;
  }
  if (const Code c = number(kMaxDibSide, &height); c != kOk) {
    return c;
  }
  if (h->kind() != 0) {
    if (const Code c = number(65535, &maxval); c != kOk) {
      return c == kBadDimensions ? kCorrupt : c;
    }
    if (maxval < 1) {
      return kCorrupt;
    }
  }
  if (width < 1 || height < 1) {
    return kBadDimensions;
  }
  // Exactly one white space character ends the header.
  if (pos >= bytes.size()) {
    return kTruncated;
  }
  if (!IsSpace(bytes[pos])) {
    return kCorrupt;
  }
  ++pos;
  h->width = static_cast<int>(width);
  h->height = static_cast<int>(height);
  h->maxval = static_cast<int>(maxval);
  h->dataOffset = pos;
  return kOk;
}

std::uint16_t TypeOf(const PnmHeader& h) {
  return h.kind() == 0 ? kTypePbm : (h.kind() == 1 ? kTypePgm : kTypePpm);
}

Code ReadAscii(const std::vector<std::uint8_t>& bytes, const PnmHeader& h, Dib& dib, ProgressWindow progress) {
  const int channels = h.kind() == 2 ? 3 : 1;
  std::size_t pos = h.dataOffset;
  auto next = [&](long* value, bool bitDigit) -> Code {
    SkipSpace(bytes, &pos);
    if (pos >= bytes.size()) {
      return kTruncated;
    }
    if (bytes[pos] < '0' || bytes[pos] > '9') {
      return kCorrupt;
    }
    if (bitDigit) {
      *value = bytes[pos++] - '0';
      return *value <= 1 ? kOk : kCorrupt;
    }
    long v = 0;
    while (pos < bytes.size() && bytes[pos] >= '0' && bytes[pos] <= '9') {
      v = v * 10 + (bytes[pos] - '0');
      ++pos;
      if (v > h.maxval) {
        return kCorrupt;
      }
    }
    *value = v;
    return kOk;
  };
  const long maxval = h.maxval;
  for (int y = 0; y < h.height; ++y) {
    if (RowCancelled(progress, y, h.height)) {
      return kCancelled;
    }
    std::uint8_t* row = TopRow(dib, y);
    for (int x = 0; x < h.width; ++x) {
      if (h.kind() == 0) {
        long v = 0;
        if (const Code c = next(&v, true); c != kOk) {
          return c;
        }
        if (v != 0) {
          row[x >> 3] = static_cast<std::uint8_t>(row[x >> 3] | (0x80u >> (x & 7)));
        }
        continue;
      }
      for (int ch = 0; ch < channels; ++ch) {
        long v = 0;
        if (const Code c = next(&v, false); c != kOk) {
          return c;
        }
        const int scaled = static_cast<int>((v * 255 + maxval / 2) / maxval);
        if (channels == 1) {
          row[x] = static_cast<std::uint8_t>(scaled);
        } else {
          row[3 * x + 2 - ch] = static_cast<std::uint8_t>(scaled);
        }
      }
    }
  }
  return kOk;
}

Code ReadBinary(const std::vector<std::uint8_t>& bytes, const PnmHeader& h, Dib& dib, ProgressWindow progress) {
  const std::size_t channels = h.kind() == 2 ? 3 : 1;
  const std::size_t sampleBytes = h.maxval > 255 ? 2 : 1;
  const std::size_t rowBytes = h.kind() == 0 ? (static_cast<std::size_t>(h.width) + 7) / 8
                                             : static_cast<std::size_t>(h.width) * channels * sampleBytes;
  ByteReader in(bytes);
  in.seek(h.dataOffset);
  std::uint8_t scale[256];
  const bool scaled = h.maxval != 255 && sampleBytes == 1;
  for (int v = 0; v < 256; ++v) {
    scale[v] = static_cast<std::uint8_t>(std::min(255, (v * 255 + h.maxval / 2) / h.maxval));
  }
  for (int y = 0; y < h.height; ++y) {
    if (RowCancelled(progress, y, h.height)) {
      return kCancelled;
    }
    const std::uint8_t* src = in.take(rowBytes);
    if (src == nullptr) {
      return kTruncated;
    }
    std::uint8_t* row = TopRow(dib, y);
    if (h.kind() == 0) {
      std::memcpy(row, src, rowBytes);
      continue;
    }
    const std::size_t samples = static_cast<std::size_t>(h.width) * channels;
    for (std::size_t i = 0; i < samples; ++i) {
      unsigned v = 0;
      if (sampleBytes == 2) {
        v = static_cast<unsigned>((src[2 * i] << 8) | src[2 * i + 1]);
        if (v > static_cast<unsigned>(h.maxval)) {
          return kCorrupt;
        }
        v = (v * 255u + static_cast<unsigned>(h.maxval) / 2) / static_cast<unsigned>(h.maxval);
      } else {
        v = src[i];
        if (v > static_cast<unsigned>(h.maxval)) {
          return kCorrupt;
        }
        if (scaled) {
          v = scale[v];
        }
      }
      // PPM stores red, green, blue; the DIB blue, green, red.
      const std::size_t at = channels == 3 ? (i - i % 3) + (2 - i % 3) : i;
      row[at] = static_cast<std::uint8_t>(v);
    }
  }
  return kOk;
}

// The decoder over the file's bytes; sets *out only on success.
Code DecodeBytes(const std::vector<std::uint8_t>& bytes, ProgressWindow progress, DibHandle* out) {
  PnmHeader h;
  if (const Code c = ParseHeader(bytes, &h); c != kOk) {
    return c;
  }
  const std::size_t channels = h.kind() == 2 ? 3 : 1;
  // Every sample takes at least one byte of text, or a bit of a binary bitmap.
  const std::size_t available = bytes.size() - h.dataOffset;
  const std::size_t ratio = h.format == 4 ? 8 : 1;
  if (!WithinBudget(static_cast<std::uint64_t>(h.width) * channels, static_cast<std::uint64_t>(h.height), available, ratio)) {
    return kTruncated;
  }
  const int bits = h.kind() == 0 ? 1 : (h.kind() == 1 ? 8 : 24);
  DibHandle dib;
  if (const Code c = NewDib(h.width, h.height, bits, bits == 24 ? 0 : (bits == 1 ? 2 : 256), &dib);
      c != kOk) {
    return c;
  }
  if (bits == 1) {
    SetColor(*dib, 0, 255, 255, 255);
    SetColor(*dib, 1, 0, 0, 0);
  } else if (bits == 8) {
    SetGreyRamp(*dib, 256);
  }
  const Code c = h.ascii() ? ReadAscii(bytes, h, *dib, progress) : ReadBinary(bytes, h, *dib, progress);
  if (c != kOk) {
    return c;
  }
  *out = std::move(dib);
  return kOk;
}

}  // namespace

Code InfoPXM(const std::string& path, ImageInfo* info) {
  return InfoWholeFile(path, info, [](const std::vector<std::uint8_t>& bytes, ImageInfo* found) -> Code {
    PnmHeader h;
    if (const Code c = ParseHeader(bytes, &h); c != kOk) {
      return c;
    }
    const int bits = h.kind() == 0 ? 1 : (h.kind() == 1 ? 8 : 24);
    FillInfo(TypeOf(h), h.width, h.height, bits, found);
    return kOk;
  });
}

Code DecodePXM(ProgressWindow progress, const std::string& path, DibHandle* out) {
  return DecodeWholeFile(path, out,
                         [&](const std::vector<std::uint8_t>& bytes) { return DecodeBytes(bytes, progress, out); });
}

// 1 bit: PBM (the darker colour black); 8-bit grey: PGM; anything else: PPM through the
// colour table. Maximum 255; text lines stay under 70 characters.
Code EncodePXM(ProgressWindow progress, const std::string& path, const Dib* dib, int subType,
               const std::string& creator) {
  if (const Code c = CheckSource(dib); c != kOk) {
    return c;
  }
  if (subType != 0 && subType != 1) {
    return kUnsupportedVariant;
  }
  const bool ascii = subType == 0;
  const int bits = dib->bitCount();
  const int kind = bits == 1 ? 0 : (bits == 8 && IsDIBGreyScaled(dib) ? 1 : 2);
  const int width = dib->width();
  const int height = dib->height();
  ByteWriter w;
  w.text("P" + std::to_string(kind + 1 + (ascii ? 0 : 3)) + "\n");
  if (!creator.empty()) {
    std::string line = creator.substr(0, creator.find_first_of("\r\n"));
    w.text("# CREATOR: " + line + "\n");
  }
  w.text(std::to_string(width) + " " + std::to_string(height) + "\n");
  if (kind != 0) {
    w.text("255\n");
  }
  bool dark[2] = {false, true};
  if (kind == 0) {
    DarkIndices(*dib, dark);
  }
  std::vector<std::uint8_t> bgr(3 * static_cast<std::size_t>(width));
  std::vector<std::uint8_t> line;
  for (int y = 0; y < height; ++y) {
    if (RowCancelled(progress, y, height)) {
      return kCancelled;
    }
    const std::uint8_t* row = TopRow(*dib, y);
    line.clear();
    if (kind == 0) {
      line.assign((static_cast<std::size_t>(width) + 7) / 8, 0);
      for (int x = 0; x < width; ++x) {
        if (dark[(row[x >> 3] >> (7 - (x & 7))) & 1]) {
          line[x >> 3] = static_cast<std::uint8_t>(line[x >> 3] | (0x80u >> (x & 7)));
        }
      }
    } else if (kind == 1) {
      line.assign(row, row + width);
    } else {
      RowToBgr(*dib, y, bgr.data());
      line.resize(3 * static_cast<std::size_t>(width));
      for (int x = 0; x < width; ++x) {
        line[3 * x] = bgr[3 * x + 2];
        line[3 * x + 1] = bgr[3 * x + 1];
        line[3 * x + 2] = bgr[3 * x];
      }
    }
    if (!ascii) {
      w.bytes(line.data(), line.size());
      continue;
    }
    std::string text;
    std::size_t column = 0;
    const std::size_t count = kind == 0 ? static_cast<std::size_t>(width) : line.size();
    for (std::size_t i = 0; i < count; ++i) {
      const std::string item =
          kind == 0 ? std::string(1, ((line[i >> 3] >> (7 - (i & 7))) & 1) ? '1' : '0') : std::to_string(line[i]);
      if (column > 0 && column + 1 + item.size() > 69) {
        text += '\n';
        column = 0;
      } else if (column > 0) {
        text += ' ';
        ++column;
      }
      text += item;
      column += item.size();
    }
    text += '\n';
    w.text(text);
  }
  return WriteFileBytes(path, w.bytes());
}

}  // namespace km::imgx
