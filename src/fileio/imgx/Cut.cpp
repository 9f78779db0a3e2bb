// CUT: a 6-byte header (width, height, a reserved zero word), then each row as a byte
// count (the coded bytes including the closing zero) followed by codes: n with bit 7
// set repeats the next byte n & 0x7F times, n in 1..127 introduces n literal bytes, and a
// code whose low seven bits are zero ends the row. Pixels are 8-bit indices.
//
// The colours live in a separate palette file beside the image, the same name with the
// extension ".pal" (also tried as ".PAL" and ".Pal"): "AH", version, size, file type,
// sub-type, board, mode, the highest index, the maximum of red, green and blue, a 20-byte
// name (40 bytes), then red, green, blue words per entry, an entry never crossing a
// 512-byte block (the rest of the block is skipped). A palette file that is not of this
// kind is ignored; without one the image gets a grey ramp. The encoder writes both files.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "fileio/imgx/Imgx.h"
#include "fileio/imgx/CodecKit.h"

namespace km::imgx {

namespace {

constexpr std::uint16_t kTypeCut = 3;
constexpr std::size_t kBlock = 512;

struct CutHeader {
  int width = 0;
  int height = 0;
};

Code ParseHeader(const std::vector<std::uint8_t>& bytes, CutHeader* h) {
  ByteReader in(bytes);
  h->width = in.u16le();
  h->height = in.u16le();
  const int reserved = in.u16le();
  if (!in.ok()) {
    return kTruncated;
  }
  if (reserved != 0) {
    return kNotThisFormat;
  }
  if (h->width == 0 || h->height == 0 || h->width > kMaxDibSide || h->height > kMaxDibSide) {
    return kBadDimensions;
  }
  return kOk;
}

std::string WithExtension(const std::string& path, const char* extension) {
  std::filesystem::path p(path);
  p.replace_extension(extension);
  return p.string();
}

struct CutPalette {
  int count = 0;  // 0: none found
  std::uint8_t rgb[256][3] = {};
};

// Reads the companion palette. kOk with count 0 when there is none (or it is of another
// kind); a Dr. Halo palette that breaks off is an error.
Code ReadPalette(const std::string& imagePath, CutPalette* pal) {
  std::vector<std::uint8_t> bytes;
  bool found = false;
  for (const char* ext : {".pal", ".PAL", ".Pal"}) {
    if (ReadFileBytes(WithExtension(imagePath, ext), &bytes) == kOk) {
      found = true;
      break;
    }
  }
  if (!found || bytes.size() < 2 || bytes[0] != 'A' || bytes[1] != 'H') {
    return kOk;
  }
  ByteReader in(bytes);
  in.skip(12);
  const int maxIndex = in.u16le();
  const int maxRgb[3] = {in.u16le(), in.u16le(), in.u16le()};
  in.skip(20);
  if (!in.ok()) {
    return kTruncated;
  }
  const int count = std::min(maxIndex + 1, 256);
  for (int i = 0; i < count; ++i) {
    if (in.pos() % kBlock > kBlock - 6) {
      in.seek((in.pos() / kBlock + 1) * kBlock);
    }
    for (int k = 0; k < 3; ++k) {
      const long v = in.u16le();
      const long max = maxRgb[k] == 0 ? 255 : maxRgb[k];
      pal->rgb[i][k] = static_cast<std::uint8_t>(std::min(255L, (v * 255 + max / 2) / max));
    }
    if (!in.ok()) {
      return kTruncated;
    }
  }
  pal->count = count;
  return kOk;
}

// The decoder over the file's bytes (its palette is read from beside `path`); sets *out
// only on success.
Code DecodeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes, ProgressWindow progress,
                 DibHandle* out) {
  CutHeader h;
  if (const Code c = ParseHeader(bytes, &h); c != kOk) {
    return c;
  }
  ByteReader in(bytes);
  in.seek(6);
  // Every row takes at least three bytes; two bytes of a run stand for 127 pixels.
  if (in.remaining() / 3 < static_cast<std::size_t>(h.height) ||
      !WithinBudget(static_cast<std::uint64_t>(h.width), static_cast<std::uint64_t>(h.height), in.remaining(), 64)) {
    return kTruncated;
  }
  auto palette = std::make_unique<CutPalette>();
  if (const Code c = ReadPalette(path, palette.get()); c != kOk) {
    return c;
  }
  const int colors = palette->count > 0 ? palette->count : 256;
  DibHandle dib;
  if (const Code c = NewDib(h.width, h.height, 8, colors, &dib); c != kOk) {
    return c;
  }
  if (palette->count > 0) {
    for (int i = 0; i < colors; ++i) {
      SetColor(*dib, i, palette->rgb[i][0], palette->rgb[i][1], palette->rgb[i][2]);
    }
  } else {
    SetGreyRamp(*dib, 256);
  }
  const std::size_t width = static_cast<std::size_t>(h.width);
  for (int y = 0; y < h.height; ++y) {
    if (RowCancelled(progress, y, h.height)) {
      return kCancelled;
    }
    std::uint8_t* row = TopRow(*dib, y);
    in.u16le();  // the row's byte count; the closing code is what ends the row
    std::size_t x = 0;
    for (;;) {
      const std::uint8_t code = in.u8();
      if (!in.ok()) {
        return kTruncated;
      }
      const std::size_t n = code & 0x7F;
      if (n == 0) {
        break;
      }
      if (n > width - x) {
        return kCorrupt;
      }
      if ((code & 0x80) != 0) {
        const std::uint8_t v = in.u8();
        std::memset(row + x, v, n);
      } else if (!in.read(row + x, n)) {
        return kTruncated;
      }
      if (!in.ok()) {
        return kTruncated;
      }
      x += n;
    }
    if (palette->count > 0) {
      for (std::size_t i = 0; i < x; ++i) {
        if (row[i] >= colors) {
          return kCorrupt;
        }
      }
    }
  }
  *out = std::move(dib);
  return kOk;
}

}  // namespace

Code InfoCUT(const std::string& path, ImageInfo* info) {
  return InfoWholeFile(path, info, [](const std::vector<std::uint8_t>& bytes, ImageInfo* found) -> Code {
    CutHeader h;
    if (const Code c = ParseHeader(bytes, &h); c != kOk) {
      return c;
    }
    FillInfo(kTypeCut, h.width, h.height, 8, found);
    return kOk;
  });
}

Code DecodeCUT(ProgressWindow progress, const std::string& path, DibHandle* out) {
  return DecodeWholeFile(path, out,
                         [&](const std::vector<std::uint8_t>& bytes) { return DecodeBytes(path, bytes, progress, out); });
}

namespace {

void PackRow(const std::uint8_t* row, std::size_t width, ByteWriter& w) {
  const std::size_t countAt = w.size();
  w.u16le(0);
  std::size_t i = 0;
  while (i < width) {
    std::size_t run = 1;
    while (i + run < width && run < 127 && row[i + run] == row[i]) {
      ++run;
    }
    if (run >= 3) {
      w.u8(0x80 | static_cast<unsigned>(run));
      w.u8(row[i]);
      i += run;
      continue;
    }
    std::size_t end = i;
    while (end < width && end - i < 127 &&
           !(end + 2 < width && row[end] == row[end + 1] && row[end] == row[end + 2])) {
      ++end;
    }
    w.u8(static_cast<unsigned>(end - i));
    w.bytes(row + i, end - i);
    i = end;
  }
  w.u8(0);
  w.put16le(countAt, static_cast<unsigned>(w.size() - countAt - 2));
}

std::vector<std::uint8_t> PaletteFile(const Dib& dib) {
  const int count = dib.colorCount();
  ByteWriter w;
  w.text("AH");
  w.u16le(0);      // version
  w.u16le(0);      // size, set below
  w.u8(0);         // file type
  w.u8(0);         // sub-type: palette
  w.u16le(0);      // board
  w.u16le(0);      // graphics mode
  w.u16le(static_cast<unsigned>(count - 1));
  w.u16le(255);
  w.u16le(255);
  w.u16le(255);
  w.fill(0, 20);
  for (int i = 0; i < count; ++i) {
    if (w.size() % kBlock > kBlock - 6) {
      w.fill(0, kBlock - w.size() % kBlock);
    }
    const RgbQuad q = dib.colors()[i];
    w.u16le(q.rgbRed);
    w.u16le(q.rgbGreen);
    w.u16le(q.rgbBlue);
  }
  w.put16le(4, static_cast<unsigned>(std::min<std::size_t>(w.size(), 0xFFFF)));
  return std::move(w.bytes());
}

}  // namespace

// 8-bit images only: the image, then its palette beside it (".pal").
Code EncodeCUT(ProgressWindow progress, const std::string& path, const Dib* dib) {
  if (const Code c = CheckSource(dib); c != kOk) {
    return c;
  }
  if (dib->bitCount() != 8) {
    return kDepthNotWritable;
  }
  const int width = dib->width();
  const int height = dib->height();
  ByteWriter w;
  w.u16le(static_cast<unsigned>(width));
  w.u16le(static_cast<unsigned>(height));
  w.u16le(0);
  for (int y = 0; y < height; ++y) {
    if (RowCancelled(progress, y, height)) {
      return kCancelled;
    }
    PackRow(TopRow(*dib, y), static_cast<std::size_t>(width), w);
  }
  const std::string palettePath = WithExtension(FinalPath(path), ".pal");
  if (palettePath == path || palettePath == FinalPath(path)) {
    return kCannotCreate;
  }
  if (const Code c = WriteFileBytes(path, w.bytes()); c != kOk) {
    return c;
  }
  // The palette goes under a hidden name and is renamed into place once whole, so a
  // failed or killed write never leaves a cut-off palette beside an earlier picture.
  const std::filesystem::path final(palettePath);
  const std::string paletteTemp = (final.parent_path() / ("." + final.filename().string() + ".part")).string();
  // WriteFileBytes removes what it wrote when it fails, and nothing that was there.
  Code c = WriteFileBytes(paletteTemp, PaletteFile(*dib));
  if (c == kOk && std::rename(paletteTemp.c_str(), palettePath.c_str()) != 0) {
    std::remove(paletteTemp.c_str());
    c = kWriteError;
  }
  if (c != kOk) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
  }
  return c;
}

}  // namespace km::imgx
