// Encapsulated PostScript output: one image at 72 dpi (one pixel a point) with its
// bounding box, the samples as hexadecimal text read by the image operator, top row
// first. With a preview the file starts with the 30-byte binary header (C5 D0 D3 C6,
// offset and length of the PostScript, of a metafile (none) and of the TIFF preview,
// and a checksum of FFFF), then the PostScript, then the TIFF.
//
// What goes into the image operator:
// - monochrome: one channel. A 1-bit image at 1 bit a sample, each colour-table entry
//   black or white by its grey level; other depths as 8-bit grey levels.
// - colour: an image flagged greyscale as 8-bit grey levels (one channel), any other
//   image as 8-bit red, green and blue through colorimage.
// Grey level of a colour: (30 red + 59 green + 11 blue) / 100, truncated, which keeps
// every grey (i, i, i) at i.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>

#include "fileio/imgx/ByteIO.h"
#include "fileio/imgx/FileBytes.h"
#include "fileio/imgx/Imgx.h"
#include "fileio/imgx/TiffPreview.h"

namespace km::imgx {

namespace {

constexpr std::size_t kBinaryHeader = 30;
constexpr std::size_t kHexBytesPerLine = 36;

std::uint8_t GreyOf(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return static_cast<std::uint8_t>((30 * r + 59 * g + 11 * b) / 100);
}

enum class Samples { kOneBit, kGrey, kRgb };

// Emits the samples of one picture row (y = 0 the top) as bytes for the image operator.
void RowSamples(const Dib& dib, int y, Samples kind, const std::uint8_t* greyOfIndex, std::vector<std::uint8_t>& out) {
  const int width = dib.width();
  const std::uint8_t* src = dib.row(dib.height() - 1 - y);
  const int bits = dib.bitCount();
  out.clear();
  if (kind == Samples::kOneBit) {
    out.assign((static_cast<std::size_t>(width) + 7) / 8, 0);
    for (int x = 0; x < width; ++x) {
      const int index = (src[x / 8] >> (7 - x % 8)) & 1;
      if (greyOfIndex[index] >= 128) {
        out[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));  // 1 is white
      }
    }
    return;
  }
  const RgbQuad* table = dib.colors();
  for (int x = 0; x < width; ++x) {
    std::uint8_t r, g, b;
    if (bits == 24) {
      b = src[3 * x];
      g = src[3 * x + 1];
      r = src[3 * x + 2];
    } else {
      int index = 0;
      switch (bits) {
        case 1: index = (src[x / 8] >> (7 - x % 8)) & 1; break;
        case 4: index = x % 2 == 0 ? src[x / 2] >> 4 : src[x / 2] & 0x0F; break;
        default: index = src[x]; break;
      }
      const RgbQuad c = index < dib.colorCount() ? table[index] : RgbQuad{};
      r = c.rgbRed;
      g = c.rgbGreen;
      b = c.rgbBlue;
    }
    if (kind == Samples::kGrey) {
      out.push_back(GreyOf(r, g, b));
    } else {
      out.push_back(r);
      out.push_back(g);
      out.push_back(b);
    }
  }
}

void PutHex(ByteWriter& w, const std::vector<std::uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    w.u8(static_cast<unsigned char>(kDigits[bytes[i] >> 4]));
    w.u8(static_cast<unsigned char>(kDigits[bytes[i] & 0x0F]));
    if ((i + 1) % kHexBytesPerLine == 0 || i + 1 == bytes.size()) {
      w.u8('\n');
    }
  }
}

Code BuildPostScript(ProgressWindow progress, const std::string& title, const Dib& dib, Samples kind,
                     ByteWriter& w) {
  const int width = dib.width();
  const int height = dib.height();
  const std::size_t rowLength = kind == Samples::kOneBit ? (static_cast<std::size_t>(width) + 7) / 8
                                : kind == Samples::kGrey ? static_cast<std::size_t>(width)
                                                         : static_cast<std::size_t>(width) * 3;
  const std::string w_ = std::to_string(width);
  const std::string h_ = std::to_string(height);
  std::string head;
  head += "%!PS-Adobe-3.0 EPSF-3.0\n";
  head += "%%Creator: Kilnmark\n";
  head += "%%Title: " + title + "\n";
  head += "%%BoundingBox: 0 0 " + w_ + " " + h_ + "\n";
  head += "%%LanguageLevel: 1\n";
  head += "%%Pages: 1\n";
  head += "%%EndComments\n";
  head += "%%Page: 1 1\n";
  head += "save\n";
  head += "/picstr " + std::to_string(rowLength) + " string def\n";
  head += w_ + " " + h_ + " scale\n";
  head += w_ + " " + h_ + (kind == Samples::kOneBit ? " 1" : " 8") + " [" + w_ + " 0 0 -" + h_ + " 0 " + h_ + "]\n";
  head += "{currentfile picstr readhexstring pop}\n";
  head += kind == Samples::kRgb ? "false 3 colorimage\n" : "image\n";
  w.text(head);

  std::uint8_t greyOfIndex[2] = {0, 255};
  if (kind == Samples::kOneBit) {
    for (int i = 0; i < 2; ++i) {
      const RgbQuad c = i < dib.colorCount() ? dib.colors()[i] : RgbQuad{};
      greyOfIndex[i] = GreyOf(c.rgbRed, c.rgbGreen, c.rgbBlue);
    }
  }
  std::vector<std::uint8_t> row;
  row.reserve(rowLength);
  for (int y = 0; y < height; ++y) {
    if (ProgressStep(progress, y, height)) {
      return kCancelled;
    }
    RowSamples(dib, y, kind, greyOfIndex, row);
    PutHex(w, row);
  }
  w.text("restore\nshowpage\n%%Trailer\n%%EOF\n");
  return kOk;
}

}  // namespace

Code EncodeEPS(ProgressWindow progress, const std::string& path, const Dib* dib, int grey, int monochrome,
               int preview) {
  if (ValidateDib(dib) != kOk) {
    return static_cast<Code>(km::kInvalidArgument);  // no image, or a broken one
  }
  Samples kind = Samples::kRgb;
  if (monochrome != 0) {
    kind = dib->bitCount() == 1 ? Samples::kOneBit : Samples::kGrey;
  } else if (grey != 0) {
    kind = Samples::kGrey;
  }
  try {
    ByteWriter ps;
    std::string title = std::filesystem::path(path).filename().string();
    for (char& ch : title) {
      if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) {
        ch = '?';  // a comment line must stay one line
      }
    }
    if (const Code c = BuildPostScript(progress, title, *dib, kind, ps); c != kOk) {
      return c;
    }
    if (preview == 0) {
      return WriteFileBytes(path, ps.bytes());
    }
    std::vector<std::uint8_t> tiff;
    if (const Code c = BuildTiffPreview(*dib, grey != 0 && IsDIBGreyScaled(dib), &tiff); c != kOk) {
      return c;
    }
    if (ps.size() + tiff.size() + kBinaryHeader > 0xFFFFFFFFu) {
      return kDepthNotWritable;
    }
    ByteWriter w;
    w.u32le(0xC6D3D0C5);
    w.u32le(static_cast<std::uint32_t>(kBinaryHeader));
    w.u32le(static_cast<std::uint32_t>(ps.size()));
    w.u32le(0);
    w.u32le(0);
    w.u32le(static_cast<std::uint32_t>(kBinaryHeader + ps.size()));
    w.u32le(static_cast<std::uint32_t>(tiff.size()));
    w.u16le(0xFFFF);
    w.bytes(ps.bytes().data(), ps.size());
    w.bytes(tiff.data(), tiff.size());
    return WriteFileBytes(path, w.bytes());
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
}

}  // namespace km::imgx
