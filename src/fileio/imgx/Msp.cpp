// Microsoft Paint: a 32-byte little-endian header (key words "DanM" for version 1,
// "LinS" for version 2, width, height, aspect ratios, printer size, a checksum that makes
// the XOR of the first 13 words zero), then rows top first, 1 bit a pixel, 1 = white.
// Version 1 stores the rows as they are. Version 2 puts a map of each row's coded size
// after the header, then codes each row: a zero byte, a count and a value repeat the
// value; any other byte n introduces n literal bytes. A row must come out exactly full.
// A row whose map entry is 0 has no coded bytes and is blank (white), as Paint itself
// and the other readers show it.

#include <algorithm>
#include <cstring>

#include "fileio/imgx/Imgx.h"
#include "fileio/imgx/CodecKit.h"

namespace km::imgx {

namespace {

constexpr std::uint16_t kTypeMsp = 14;
constexpr std::uint16_t kKey1V1 = 0x6144;  // "Da"
constexpr std::uint16_t kKey2V1 = 0x4D6E;  // "nM"
constexpr std::uint16_t kKey1V2 = 0x694C;  // "Li"
constexpr std::uint16_t kKey2V2 = 0x536E;  // "nS"
constexpr std::size_t kHeaderSize = 32;

struct MspHeader {
  int version = 0;
  int width = 0;
  int height = 0;
};

Code ParseHeader(const std::vector<std::uint8_t>& bytes, MspHeader* h) {
  ByteReader in(bytes);
  const std::uint16_t key1 = in.u16le();
  const std::uint16_t key2 = in.u16le();
  h->width = in.u16le();
  h->height = in.u16le();
  if (!in.ok()) {
    return bytes.size() < 4 ? kNotThisFormat : kTruncated;
  }
  if (key1 == kKey1V1 && key2 == kKey2V1) {
    h->version = 1;
  } else if (key1 == kKey1V2 && key2 == kKey2V2) {
    h->version = 2;
  } else {
    return kNotThisFormat;
  }
  if (bytes.size() < kHeaderSize) {
    return kTruncated;
  }
  if (h->width == 0 || h->height == 0 || h->width > kMaxDibSide || h->height > kMaxDibSide) {
    return kBadDimensions;
  }
  return kOk;
}

Code UnpackRow(const std::uint8_t* data, std::size_t size, std::uint8_t* out, std::size_t rowBytes) {
  ByteReader in(data, size);
  std::size_t done = 0;
  while (done < rowBytes) {
    if (in.remaining() == 0) {
      return kCorrupt;  // the row's coded bytes end before the row does
    }
    const std::uint8_t type = in.u8();
    if (type == 0) {
      const std::size_t count = in.u8();
      const std::uint8_t v = in.u8();
      if (!in.ok()) {
        return kCorrupt;
      }
      if (count > rowBytes - done) {
        return kCorrupt;
      }
      std::memset(out + done, v, count);
      done += count;
    } else {
      if (type > rowBytes - done) {
        return kCorrupt;
      }
      if (!in.read(out + done, type)) {
        return kCorrupt;
      }
      done += type;
    }
  }
  return kOk;
}

// The decoder over the file's bytes; sets *out only on success.
Code DecodeBytes(const std::vector<std::uint8_t>& bytes, ProgressWindow progress, DibHandle* out) {
  MspHeader h;
  if (const Code c = ParseHeader(bytes, &h); c != kOk) {
    return c;
  }
  const std::size_t rowBytes = (static_cast<std::size_t>(h.width) + 7) / 8;
  ByteReader in(bytes);
  in.seek(kHeaderSize);
  std::vector<std::uint16_t> map;
  if (h.version == 1) {
    if (!WithinBudget(rowBytes, static_cast<std::uint64_t>(h.height), in.remaining(), 1)) {
      return kTruncated;
    }
  } else {
    if (in.remaining() / 2 < static_cast<std::size_t>(h.height)) {
      return kTruncated;
    }
    map.resize(static_cast<std::size_t>(h.height));
    std::size_t total = 0;
    for (std::uint16_t& size : map) {
      size = in.u16le();
      // Three bytes of a run stand for at most 255.
      if (size != 0 && rowBytes > static_cast<std::size_t>(size) * 85) {
        return kCorrupt;
      }
      total += size;
    }
    if (total > in.remaining()) {
      return kTruncated;
    }
  }
  DibHandle dib;
  if (const Code c = NewDib(h.width, h.height, 1, 2, &dib); c != kOk) {
    return c;
  }
  SetColor(*dib, 0, 0, 0, 0);
  SetColor(*dib, 1, 255, 255, 255);
  for (int y = 0; y < h.height; ++y) {
    if (RowCancelled(progress, y, h.height)) {
      return kCancelled;
    }
    std::uint8_t* row = TopRow(*dib, y);
    if (h.version == 1) {
      if (!in.read(row, rowBytes)) {
        return kTruncated;
      }
    } else {
      const std::size_t size = map[static_cast<std::size_t>(y)];
      if (size == 0) {
        std::memset(row, 0xFF, rowBytes);
        continue;
      }
      if (const Code c = UnpackRow(in.take(size), size, row, rowBytes); c != kOk) {
        return c;
      }
    }
  }
  *out = std::move(dib);
  return kOk;
}

}  // namespace

Code InfoMSP(const std::string& path, ImageInfo* info) {
  return InfoWholeFile(path, info, [](const std::vector<std::uint8_t>& bytes, ImageInfo* found) -> Code {
    MspHeader h;
    if (const Code c = ParseHeader(bytes, &h); c != kOk) {
      return c;
    }
    FillInfo(kTypeMsp, h.width, h.height, 1, found);
    return kOk;
  });
}

Code DecodeMSP(ProgressWindow progress, const std::string& path, DibHandle* out) {
  return DecodeWholeFile(path, out,
                         [&](const std::vector<std::uint8_t>& bytes) { return DecodeBytes(bytes, progress, out); });
}

// Written as version 2 (run-length rows); the lighter colour becomes white.
Code EncodeMSP(ProgressWindow progress, const std::string& path, const Dib* dib) {
  if (const Code c = CheckSource(dib); c != kOk) {
    return c;
  }
  if (dib->bitCount() != 1) {
    return kDepthNotWritable;
  }
  const int width = dib->width();
  const int height = dib->height();
  const std::size_t rowBytes = (static_cast<std::size_t>(width) + 7) / 8;
  std::uint16_t words[16] = {kKey1V2, kKey2V2, static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height),
                             1, 1, 1, 1, static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height),
                             0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 12; ++i) {
    words[12] ^= words[i];
  }
  ByteWriter w;
  for (std::uint16_t word : words) {
    w.u16le(word);
  }
  const std::size_t mapAt = w.size();
  w.fill(0, 2 * static_cast<std::size_t>(height));

  bool dark[2];
  DarkIndices(*dib, dark);
  std::vector<std::uint8_t> line(rowBytes);
  for (int y = 0; y < height; ++y) {
    if (RowCancelled(progress, y, height)) {
      return kCancelled;
    }
    const std::uint8_t* row = TopRow(*dib, y);
    for (std::size_t i = 0; i < rowBytes; ++i) {
      // Set bits are white: index 1 unless index 1 is the dark one.
      std::uint8_t v = dark[1] ? static_cast<std::uint8_t>(~row[i]) : row[i];
      if (dark[0] == dark[1]) {
        v = dark[0] ? 0x00 : 0xFF;
      }
      line[i] = v;
    }
    if (width % 8 != 0) {
      line[rowBytes - 1] = static_cast<std::uint8_t>(line[rowBytes - 1] | (0xFFu >> (width % 8)));
    }
    const std::size_t start = w.size();
    std::size_t i = 0;
    while (i < rowBytes) {
      std::size_t run = 1;
      while (i + run < rowBytes && run < 255 && line[i + run] == line[i]) {
        ++run;
      }
      if (run >= 3) {
        w.u8(0);
        w.u8(static_cast<unsigned>(run));
        w.u8(line[i]);
        i += run;
        continue;
      }
      std::size_t end = i;
      while (end < rowBytes && end - i < 255 &&
             !(end + 2 < rowBytes && line[end] == line[end + 1] && line[end] == line[end + 2])) {
        ++end;
      }
      w.u8(static_cast<unsigned>(end - i));
      w.bytes(line.data() + i, end - i);
      i = end;
    }
    w.put16le(mapAt + 2 * static_cast<std::size_t>(y), static_cast<unsigned>(w.size() - start));
  }
  return WriteFileBytes(path, w.bytes());
}

}  // namespace km::imgx
