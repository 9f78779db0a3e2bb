// TGA: an 18-byte header, the image ID, the colour map, then pixels, raw or in
// run-length packets (a count byte with bit 7 set repeats one pixel, else introduces
// count + 1 raw pixels). Packets may continue from one row into the next; a packet past
// the last pixel is corrupt. Files of version 2 end with a footer that points to an
// extension area holding the author and comments.
//
// The extra handle keeps what the encoder can write back: the image ID (text "ImageID")
// and the author and comments of the extension area ("Author", "Comment").

#include <algorithm>
#include <cstring>

#include "fileio/imgx/Imgx.h"
#include "fileio/imgx/CodecKit.h"

namespace km::imgx {

namespace {

constexpr std::uint16_t kTypeTga = 20;
constexpr char kFooterSignature[] = "TRUEVISION-XFILE.";  // then '\0'
constexpr std::size_t kFooterSize = 26;
constexpr std::size_t kExtensionSize = 495;

struct TgaHeader {
  int idLength = 0;
  int mapType = 0;
  int imageType = 0;
  int mapFirst = 0;
  int mapLength = 0;
  int mapEntryBits = 0;
  int width = 0;
  int height = 0;
  int pixelBits = 0;
  int descriptor = 0;
  bool rle() const { return imageType >= 9; }
  int kind() const { return imageType & 7; }  // 1 mapped, 2 true colour, 3 grey
};

Code ParseHeader(const std::vector<std::uint8_t>& bytes, TgaHeader* h) {
  ByteReader in(bytes);
  h->idLength = in.u8();
  h->mapType = in.u8();
  h->imageType = in.u8();
  h->mapFirst = in.u16le();
  h->mapLength = in.u16le();
  h->mapEntryBits = in.u8();
  in.skip(4);
  h->width = in.u16le();
  h->height = in.u16le();
  h->pixelBits = in.u8();
  h->descriptor = in.u8();
  if (!in.ok()) {
    return bytes.size() < 3 ? kNotThisFormat : kTruncated;
  }
  const int t = h->imageType;
  if (h->mapType > 1 || !(t == 1 || t == 2 || t == 3 || t == 9 || t == 10 || t == 11)) {
    return kNotThisFormat;
  }
  const int kind = h->kind();
  const int pb = h->pixelBits;
  const bool supported = (kind == 1 && pb == 8 && h->mapType == 1) ||
                         (kind == 2 && (pb == 15 || pb == 16 || pb == 24 || pb == 32)) ||
                         (kind == 3 && (pb == 8 || pb == 16));
  if (!supported) {
    return kUnsupportedVariant;
  }
  if (h->mapType == 1) {
    const int eb = h->mapEntryBits;
    if (eb != 15 && eb != 16 && eb != 24 && eb != 32) {
      return kUnsupportedVariant;
    }
  }
  if (h->width == 0 || h->height == 0) {
    return kBadDimensions;
  }
  return kOk;
}

// A 16-bit A1R5G5B5 value as blue, green, red with each 5-bit level widened to 8 bits.
void From555(unsigned v, std::uint8_t* bgr) {
  auto widen = [](unsigned c) { return static_cast<std::uint8_t>((c << 3) | (c >> 2)); };
  bgr[0] = widen(v & 31);
  bgr[1] = widen((v >> 5) & 31);
  bgr[2] = widen((v >> 10) & 31);
}

// One stored pixel to the DIB's own pixel: an index, a grey level or blue, green, red.
void StorePixel(const TgaHeader& h, const std::uint8_t* src, std::uint8_t* dst) {
  switch (h.pixelBits) {
    case 8:
      dst[0] = src[0];
      break;
    case 15:
    case 16:
      if (h.kind() == 3) {
        dst[0] = src[0];
      } else {
        From555(static_cast<unsigned>(src[0] | (src[1] << 8)), dst);
      }
      break;
    default:
      dst[0] = src[0];
      dst[1] = src[1];
      dst[2] = src[2];
      break;
  }
}

std::string FixedText(const std::uint8_t* p, std::size_t n) {
  std::size_t len = 0;
  while (len < n && p[len] != 0) {
    ++len;
  }
  return std::string(reinterpret_cast<const char*>(p), len);
}

void ReadExtra(const std::vector<std::uint8_t>& bytes, const TgaHeader& h, ImageExtra* extra) {
  if (h.idLength > 0) {
    extra->text.emplace_back("ImageID", FixedText(bytes.data() + 18, static_cast<std::size_t>(h.idLength)));
  }
  const std::size_t size = bytes.size();
  if (size < 18 + kFooterSize ||
      std::memcmp(bytes.data() + size - 18, kFooterSignature, sizeof kFooterSignature) != 0) {
    return;
  }
  ByteReader footer(bytes.data() + size - kFooterSize, kFooterSize);
  const std::size_t offset = footer.u32le();
  if (offset < 18 || offset > size - kFooterSize || size - kFooterSize - offset < kExtensionSize) {
    return;
  }
  const std::uint8_t* ext = bytes.data() + offset;
  if (static_cast<std::size_t>(ext[0] | (ext[1] << 8)) < kExtensionSize) {
    return;
  }
  const std::string author = FixedText(ext + 2, 41);
  if (!author.empty()) {
    extra->text.emplace_back("Author", author);
  }
  std::string comment;
  for (int line = 0; line < 4; ++line) {
    const std::string part = FixedText(ext + 43 + 81 * line, 81);
    if (!part.empty()) {
      comment += (comment.empty() ? "" : "\n") + part;
    }
  }
  if (!comment.empty()) {
    extra->text.emplace_back("Comment", comment);
  }
}

// The decoder over the file's bytes; sets *out (and *extra) only on success.
Code DecodeBytes(const std::vector<std::uint8_t>& bytes, ProgressWindow progress, DibHandle* out, ExtraHandle* extra) {
  TgaHeader h;
  if (const Code c = ParseHeader(bytes, &h); c != kOk) {
    return c;
  }
  ByteReader in(bytes);
  in.seek(18);
  in.skip(static_cast<std::size_t>(h.idLength));
  const std::size_t entryBytes = static_cast<std::size_t>(h.mapEntryBits + 7) / 8;
  const std::uint8_t* map = h.mapType == 1 ? in.take(entryBytes * static_cast<std::size_t>(h.mapLength)) : nullptr;
  if (!in.ok()) {
    return kTruncated;
  }
  const std::size_t pixelBytes = static_cast<std::size_t>(h.pixelBits + 7) / 8;
  const std::size_t pixels = static_cast<std::size_t>(h.width) * static_cast<std::size_t>(h.height);
  // A run packet of 1 + pixelBytes bytes stands for at most 128 pixels.
  if (!WithinBudget(pixels, pixelBytes, in.remaining(), h.rle() ? 128 : 1)) {
    return kTruncated;
  }
  const int bits = h.kind() == 2 ? 24 : 8;
  const int colors = h.kind() == 1 ? std::clamp(h.mapFirst + h.mapLength, 1, 256) : (bits == 8 ? 256 : 0);
  DibHandle dib;
  if (const Code c = NewDib(h.width, h.height, bits, colors, &dib); c != kOk) {
    return c;
  }
  if (h.kind() == 3) {
    SetGreyRamp(*dib, 256);
  } else if (h.kind() == 1) {
    for (int i = 0; i < h.mapLength && h.mapFirst + i < 256; ++i) {
      const std::uint8_t* e = map + entryBytes * static_cast<std::size_t>(i);
      std::uint8_t bgr[3];
      if (entryBytes == 2) {
        From555(static_cast<unsigned>(e[0] | (e[1] << 8)), bgr);
      } else {
        std::memcpy(bgr, e, 3);
      }
      SetColor(*dib, h.mapFirst + i, bgr[2], bgr[1], bgr[0]);
    }
  }

  const bool topDown = (h.descriptor & 0x20) != 0;
  const bool rightToLeft = (h.descriptor & 0x10) != 0;
  // Interleaved files (bits 6-7: 1 two-way, 2 four-way) store every second (fourth) line
  // first, then the lines after those, and so on; 3 is reserved and read as 0.
  const int interleave = (h.descriptor >> 6) == 2 ? 4 : (h.descriptor >> 6) == 1 ? 2 : 1;
  int line = 0;      // the stored row's line, counted in the file's vertical order
  int firstLine = 0;  // where the current pass began
  const std::size_t outBytes = bits == 24 ? 3 : 1;
  int runLeft = 0;       // pixels left in the current packet
  bool runRepeat = false;
  const std::uint8_t* runPixel = nullptr;
  for (int r = 0; r < h.height; ++r, line += interleave) {
    if (RowCancelled(progress, r, h.height)) {
      return kCancelled;
    }
    if (line >= h.height) {
      line = ++firstLine;
    }
    std::uint8_t* row = topDown ? TopRow(*dib, line) : dib->row(line);
    for (int i = 0; i < h.width; ++i) {
      const std::uint8_t* src = nullptr;
      if (!h.rle()) {
        src = in.take(pixelBytes);
      } else {
        if (runLeft == 0) {
          const std::uint8_t control = in.u8();
          runLeft = (control & 0x7F) + 1;
          runRepeat = (control & 0x80) != 0;
          const std::size_t remainingPixels = pixels - (static_cast<std::size_t>(r) * h.width + i);
          if (static_cast<std::size_t>(runLeft) > remainingPixels) {
            return kCorrupt;
          }
          if (runRepeat) {
            runPixel = in.take(pixelBytes);
          }
        }
        src = runRepeat ? runPixel : in.take(pixelBytes);
        --runLeft;
      }
      if (!in.ok()) {
        return kTruncated;
      }
      const int x = rightToLeft ? h.width - 1 - i : i;
      if (h.kind() == 1) {
        const int index = src[0];
        if (index < h.mapFirst || index >= h.mapFirst + h.mapLength) {
          return kCorrupt;
        }
      }
      std::uint8_t* dst = row + outBytes * static_cast<std::size_t>(x);
      StorePixel(h, src, dst);
    }
  }
  if (extra != nullptr) {
    auto e = std::make_unique<ImageExtra>();
    ReadExtra(bytes, h, e.get());
    *extra = std::move(e);
  }
  *out = std::move(dib);
  return kOk;
}

}  // namespace

Code InfoTGA(const std::string& path, ImageInfo* info) {
  return InfoWholeFile(path, info, [](const std::vector<std::uint8_t>& bytes, ImageInfo* found) -> Code {
    TgaHeader h;
    if (const Code c = ParseHeader(bytes, &h); c != kOk) {
      return c;
    }
    FillInfo(kTypeTga, h.width, h.height, h.pixelBits, found);
    return kOk;
  });
}

Code DecodeTGA(ProgressWindow progress, const std::string& path, DibHandle* out, ExtraHandle* extra) {
  if (extra != nullptr) {
    extra->reset();
  }
  return DecodeWholeFile(path, out, [&](const std::vector<std::uint8_t>& bytes) {
    return DecodeBytes(bytes, progress, out, extra);
  });
}

namespace {

const std::string* FindText(const ImageExtra* extra, const char* key) {
  if (extra == nullptr) {
    return nullptr;
  }
  for (const auto& kv : extra->text) {
    if (kv.first == key) {
      return &kv.second;
    }
  }
  return nullptr;
}

void PutFixed(ByteWriter& w, const std::string& s, std::size_t field) {
  const std::size_t n = std::min(s.size(), field - 1);
  w.bytes(s.data(), n);
  w.fill(0, field - n);
}

void WriteExtension(ByteWriter& w, const std::string* author, const std::string* comment) {
  const std::size_t offset = w.size();
  w.u16le(kExtensionSize);
  PutFixed(w, author != nullptr ? *author : std::string(), 41);
  std::string rest = comment != nullptr ? *comment : std::string();
  for (int line = 0; line < 4; ++line) {
    const std::size_t cut = std::min({rest.find('\n'), rest.size(), std::size_t{80}});
    PutFixed(w, rest.substr(0, cut), 81);
    rest.erase(0, cut < rest.size() && rest[cut] == '\n' ? cut + 1 : cut);
  }
  w.fill(0, offset + kExtensionSize - w.size());
  w.u32le(static_cast<std::uint32_t>(offset));
  w.u32le(0);
  w.bytes(kFooterSignature, sizeof kFooterSignature);
}

// Pixels of one picture row in the stored form.
void StoredRow(const Dib& dib, int y, int bits, std::vector<std::uint8_t>& bgr, std::uint8_t* out) {
  const int width = dib.width();
  if (bits == 8) {
    std::memcpy(out, TopRow(dib, y), static_cast<std::size_t>(width));
    return;
  }
  RowToBgr(dib, y, bgr.data());
  if (bits == 24) {
    std::memcpy(out, bgr.data(), 3 * static_cast<std::size_t>(width));
    return;
  }
  for (int x = 0; x < width; ++x) {
    const unsigned v = (bgr[3 * x] >> 3) | ((bgr[3 * x + 1] >> 3) << 5) | ((bgr[3 * x + 2] >> 3) << 10);
    out[2 * x] = static_cast<std::uint8_t>(v & 0xFF);
    out[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
  }
}

void PackRow(const std::uint8_t* row, int width, std::size_t pb, ByteWriter& w) {
  auto same = [&](int a, int b) { return std::memcmp(row + pb * a, row + pb * b, pb) == 0; };
  int i = 0;
  while (i < width) {
    int run = 1;
    while (i + run < width && run < 128 && same(i, i + run)) {
      ++run;
    }
    if (run >= 2) {
      w.u8(0x80 | static_cast<unsigned>(run - 1));
      w.bytes(row + pb * i, pb);
      i += run;
      continue;
    }
    int end = i + 1;
    while (end < width && end - i < 128 && !(end + 1 < width && same(end, end + 1))) {
      ++end;
    }
    w.u8(static_cast<unsigned>(end - i - 1));
    w.bytes(row + pb * i, pb * static_cast<std::size_t>(end - i));
    i = end;
  }
}

}  // namespace

// 8 bits: a colour-mapped image of an 8-bit source. 16 bits (5 bits a channel) and 24
// bits: true colour from any depth. Rows are stored bottom first.
Code EncodeTGA(ProgressWindow progress, const std::string& path, const Dib* dib, const ImageExtra* extra, int bits,
               int compressed) {
  if (const Code c = CheckSource(dib); c != kOk) {
    return c;
  }
  if ((bits == 8 && dib->bitCount() != 8) || (bits != 8 && bits != 16 && bits != 24)) {
    return kDepthNotWritable;
  }
  const int width = dib->width();
  const int height = dib->height();
  const std::string* id = FindText(extra, "ImageID");
  const std::string* author = FindText(extra, "Author");
  const std::string* comment = FindText(extra, "Comment");
  const std::size_t idLength = id != nullptr ? std::min<std::size_t>(id->size(), 255) : 0;
  const int mapLength = bits == 8 ? dib->colorCount() : 0;

  ByteWriter w;
  w.u8(static_cast<unsigned>(idLength));
  w.u8(bits == 8 ? 1 : 0);
  w.u8((bits == 8 ? 1 : 2) + (compressed ? 8 : 0));
  w.u16le(0);
  w.u16le(static_cast<unsigned>(mapLength));
  w.u8(bits == 8 ? 24 : 0);
  w.u16le(0);
  w.u16le(0);
  w.u16le(static_cast<unsigned>(width));
  w.u16le(static_cast<unsigned>(height));
  w.u8(static_cast<unsigned>(bits));
  w.u8(0);
  if (idLength > 0) {
    w.bytes(id->data(), idLength);
  }
  for (int i = 0; i < mapLength; ++i) {
    const RgbQuad q = dib->colors()[i];
    w.u8(q.rgbBlue);
    w.u8(q.rgbGreen);
    w.u8(q.rgbRed);
  }
  const std::size_t pb = static_cast<std::size_t>(bits / 8);
  std::vector<std::uint8_t> bgr(3 * static_cast<std::size_t>(width));
  std::vector<std::uint8_t> row(pb * static_cast<std::size_t>(width));
  for (int r = 0; r < height; ++r) {
    if (RowCancelled(progress, r, height)) {
      return kCancelled;
    }
    StoredRow(*dib, height - 1 - r, bits, bgr, row.data());
    if (compressed) {
      PackRow(row.data(), width, pb, w);
    } else {
      w.bytes(row.data(), row.size());
    }
  }
  if (author != nullptr || comment != nullptr) {
    WriteExtension(w, author, comment);
  }
  return WriteFileBytes(path, w.bytes());
}

}  // namespace km::imgx
