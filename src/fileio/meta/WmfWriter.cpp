// Writing an image as a placeable Windows metafile: the 22-byte placeable header (bounds
// 0, 0, width, height at 96 units per inch), the metafile header, the window, the
// image's logical palette, one StretchDIBits record holding the image as a packed DIB,
// and the end record.

#include <algorithm>
#include <cstring>
#include <new>

#include "fileio/WriteImage.h"
#include "fileio/imgx/ByteIO.h"
#include "fileio/imgx/CodecKit.h"
#include "fileio/meta/Meta.h"

namespace km::imgx {

namespace {

constexpr std::uint16_t kUnitsPerInch = 96;

// Starts a record; returns its position so the size can be filled in.
std::size_t BeginRecord(ByteWriter& w, std::uint16_t function) {
  const std::size_t at = w.size();
  w.u32le(0);
  w.u16le(function);
  return at;
}

void EndRecord(ByteWriter& w, std::size_t at, std::uint32_t* largest) {
  const std::uint32_t words = static_cast<std::uint32_t>((w.size() - at) / 2);
  w.put32le(at, words);
  *largest = std::max(*largest, words);
}

}  // namespace

Code EncodeWMF(ProgressWindow progress, const std::string& path, const Dib* dib, const LogPalette* palette) {
  if (const Code c = CheckSource(dib); c != kOk) {
    return c;
  }
  if (ProgressStep(progress, 0, 1)) {
    return kCancelled;
  }
  try {
    const int width = dib->width();
    const int height = dib->height();
    ByteWriter w;
    // Placeable header.
    w.u32le(0x9AC6CDD7u);
    w.u16le(0);
    w.u16le(0);
    w.u16le(0);
    w.u16le(static_cast<unsigned>(width));
    w.u16le(static_cast<unsigned>(height));
    w.u16le(kUnitsPerInch);
    w.u32le(0);
    unsigned checksum = 0;
    for (std::size_t i = 0; i < 20; i += 2) {
      checksum ^= w.bytes()[i] | (w.bytes()[i + 1] << 8);
    }
    w.u16le(checksum);
    // Metafile header; the file size and largest record are filled in at the end.
    const std::size_t header = w.size();
    w.u16le(1);       // in a file
    w.u16le(9);       // header words
    w.u16le(0x0300);  // version
    w.u32le(0);
    w.u16le(1);       // objects: the palette
    w.u32le(0);
    w.u16le(0);
    std::uint32_t largest = 0;

    std::size_t r = BeginRecord(w, 0x0103);  // SetMapMode(MM_ANISOTROPIC)
    w.u16le(8);
    EndRecord(w, r, &largest);
    r = BeginRecord(w, 0x020B);  // SetWindowOrg(0, 0)
    w.u16le(0);
    w.u16le(0);
    EndRecord(w, r, &largest);
    r = BeginRecord(w, 0x020C);  // SetWindowExt(height, width)
    w.u16le(static_cast<unsigned>(height));
    w.u16le(static_cast<unsigned>(width));
    EndRecord(w, r, &largest);
    if (palette != nullptr && !palette->entries.empty()) {
      r = BeginRecord(w, 0x00F7);  // CreatePalette
      w.u16le(palette->version);
      const std::size_t n = std::min<std::size_t>(palette->entries.size(), 65535);
      w.u16le(static_cast<unsigned>(n));
      for (std::size_t i = 0; i < n; ++i) {
        const LogPalette::Entry& e = palette->entries[i];
        w.u8(e.red);
        w.u8(e.green);
        w.u8(e.blue);
        w.u8(e.flags);
      }
      EndRecord(w, r, &largest);
      r = BeginRecord(w, 0x0234);  // SelectPalette(0)
      w.u16le(0);
      EndRecord(w, r, &largest);
      r = BeginRecord(w, 0x0035);  // RealizePalette
      EndRecord(w, r, &largest);
    }
    r = BeginRecord(w, 0x0F43);  // StretchDIBits
    w.u32le(0x00CC0020);         // source copy
    w.u16le(0);                  // colour table of RGB values
    w.u16le(static_cast<unsigned>(height));
    w.u16le(static_cast<unsigned>(width));
    w.u16le(0);
    w.u16le(0);
    w.u16le(static_cast<unsigned>(height));
    w.u16le(static_cast<unsigned>(width));
    w.u16le(0);
    w.u16le(0);
    // The packed DIB: a 40-byte header (with the size of the rows), the table, the rows.
    BitmapInfoHeader bh = dib->header();
    const std::size_t rows = dib->stride() * static_cast<std::size_t>(height);
    bh.biSize = 40;
    bh.biCompression = 0;
    bh.biSizeImage = static_cast<std::uint32_t>(rows);
    w.bytes(&bh, sizeof bh);
    w.bytes(dib->colors(), 4u * static_cast<std::size_t>(dib->colorCount()));
    w.bytes(dib->pixels(), rows);
    EndRecord(w, r, &largest);
    r = BeginRecord(w, 0x0000);  // end
    EndRecord(w, r, &largest);

    w.put32le(header + 6, static_cast<std::uint32_t>((w.size() - header) / 2));
    w.put32le(header + 12, largest);
    if (ProgressStep(progress, 1, 1)) {
      return kCancelled;
    }
    return WriteFileBytes(path, w.bytes());
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
}

}  // namespace km::imgx
