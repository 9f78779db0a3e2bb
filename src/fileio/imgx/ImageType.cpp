// Recognising a file's format from its first bytes. Signatures are tested strongest
// first; formats without a signature (Targa, Dr. Halo, headerless MacPaint) are
// accepted only when their headers hold together.

#include <cstring>
#include <vector>

#include "fileio/imgx/FileBytes.h"
#include "fileio/imgx/Imgx.h"

namespace km::imgx {

namespace {

// Enough for every header below, and for a whole headerless MacPaint picture.
constexpr std::size_t kPrefix = 65536;

struct Prefix {
  std::vector<std::uint8_t> b;
  std::size_t n = 0;
  bool has(std::size_t at, const char* sig, std::size_t len) const {
    return at + len <= n && std::memcmp(b.data() + at, sig, len) == 0;
  }
  unsigned u8(std::size_t at) const { return at < n ? b[at] : 0u; }
  unsigned u16le(std::size_t at) const { return u8(at) | (u8(at + 1) << 8); }
  unsigned u16be(std::size_t at) const { return (u8(at) << 8) | u8(at + 1); }
  std::uint32_t u32le(std::size_t at) const { return u16le(at) | (std::uint32_t{u16le(at + 2)} << 16); }
  std::uint32_t u32be(std::size_t at) const { return (std::uint32_t{u16be(at)} << 16) | u16be(at + 2); }
};

bool IsBmp(const Prefix& p) {
  if (!p.has(0, "BM", 2) || p.n < 26) {
    return false;
  }
  const std::uint32_t h = p.u32le(14);
  return h == 12 || h == 16 || h == 40 || h == 52 || h == 56 || h == 64 || h == 108 || h == 124;
}

// A packed DIB without the "BM" file header (".dib" files, clipboard dumps): a known
// info header size, one plane, a bit count a bitmap can have and a non-zero size.
bool IsPackedDib(const Prefix& p) {
  const std::uint32_t size = p.u32le(0);
  const bool core = size == 12;
  if (p.n < 16 || !(core || size == 16 || size == 40 || size == 52 || size == 56 || size == 64 || size == 108 ||
                    size == 124)) {
    return false;
  }
  const std::uint32_t width = core ? p.u16le(4) : p.u32le(4);
  const std::uint32_t height = core ? p.u16le(6) : p.u32le(8);
  const unsigned planes = core ? p.u16le(8) : p.u16le(12);
  const unsigned bits = core ? p.u16le(10) : p.u16le(14);
  return width != 0 && height != 0 && planes == 1 &&
         (bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32);
}

bool IsPcx(const Prefix& p) {
  const unsigned v = p.u8(1);
  const unsigned bpp = p.u8(3);
  return p.n >= 128 && p.u8(0) == 0x0A && (v == 0 || v == 2 || v == 3 || v == 4 || v == 5) && p.u8(2) <= 1 &&
         (bpp == 1 || bpp == 2 || bpp == 4 || bpp == 8) && p.u16le(8) >= p.u16le(4) && p.u16le(10) >= p.u16le(6);
}

bool IsPnm(const Prefix& p, std::uint16_t* type) {
  if (p.n < 3 || p.u8(0) != 'P' || p.u8(1) < '1' || p.u8(1) > '6') {
    return false;
  }
  const unsigned c = p.u8(2);
  if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '#') {
    return false;
  }
  static constexpr std::uint16_t kTypes[] = {107, 108, 109, 107, 108, 109};
  *type = kTypes[p.u8(1) - '1'];
  return true;
}

bool IsGemImg(const Prefix& p) {
  const unsigned words = p.u16be(2);
  const unsigned planes = p.u16be(4);
  const unsigned pattern = p.u16be(6);
  return p.n >= 16 && p.u16be(0) <= 2 && words >= 8 && words <= 64 && planes >= 1 && planes <= 8 && pattern >= 1 &&
         pattern <= 8 && p.u16be(12) >= 1 && p.u16be(14) >= 1;
}

bool IsPict(const Prefix& p, std::size_t base) {
  // picture size, frame, then the version opcode: 0x11 0x01, or 0x0011 0x02FF.
  return p.has(base + 10, "\x11\x01", 2) || p.has(base + 10, "\x00\x11\x02\xFF", 4);
}

bool IsWmf(const Prefix& p) {
  if (p.u32le(0) == 0x9AC6CDD7u) {
    return true;
  }
  const unsigned kind = p.u16le(0);
  const unsigned version = p.u16le(4);
  return p.n >= 18 && (kind == 1 || kind == 2) && p.u16le(2) == 9 && (version == 0x0300 || version == 0x0100);
}

bool IsCgm(const Prefix& p) {
  // Binary: the first element is BEGIN METAFILE (class 0, id 1). Clear text: BEGMF.
  const unsigned first = p.u16be(0);
  if (p.n >= 4 && (first & 0xFFE0) == 0x0020) {
    return true;
  }
  std::size_t i = 0;
  while (i < p.n && (p.b[i] == ' ' || p.b[i] == '\r' || p.b[i] == '\n' || p.b[i] == '\t')) {
    ++i;
  }
  return p.n - i >= 5 && (std::memcmp(p.b.data() + i, "BEGMF", 5) == 0 || std::memcmp(p.b.data() + i, "begmf", 5) == 0);
}

// Headerless MacPaint: a version word of 0, 2 or 3, a 512-byte header, then 720 rows
// of 72 bytes in PackBits that end inside the file.
bool IsHeaderlessMacPaint(const Prefix& p) {
  const std::uint32_t version = p.u32be(0);
  if (p.n <= 512 || (version != 0 && version != 2 && version != 3)) {
    return false;
  }
  std::size_t at = 512;
  for (int row = 0; row < 720; ++row) {
    int left = 72;
    while (left > 0) {
      if (at >= p.n) {
        return false;
      }
      const int c = static_cast<std::int8_t>(p.b[at++]);
      if (c >= 0) {
        left -= c + 1;
        at += static_cast<std::size_t>(c) + 1;
      } else if (c != -128) {
        left -= 1 - c;
        at += 1;
      }
      if (left < 0 || at > p.n) {
        return false;
      }
    }
  }
  return true;
}

bool IsHaloCut(const Prefix& p) {
  // width, height, a reserved zero word, then per row a byte count and runs ending in 0.
  const unsigned w = p.u16le(0);
  const unsigned h = p.u16le(2);
  if (p.n < 9 || w == 0 || h == 0 || w > 32767 || h > 32767 || p.u16le(4) != 0) {
    return false;
  }
  const unsigned count = p.u16le(6);
  return count >= 2 && 8 + count <= p.n && p.u8(8 + count - 1) == 0;
}

bool IsTarga(const Prefix& p) {
  if (p.n < 18) {
    return false;
  }
  const unsigned mapType = p.u8(1);
  const unsigned kind = p.u8(2);
  const unsigned mapBits = p.u8(7);
  const unsigned depth = p.u8(16);
  const bool kindOk = kind == 1 || kind == 2 || kind == 3 || kind == 9 || kind == 10 || kind == 11;
  const bool depthOk = depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
  const bool mapped = kind == 1 || kind == 9;
  const bool mapOk = mapType == 0 ? !mapped
                                  : mapType == 1 && (mapBits == 15 || mapBits == 16 || mapBits == 24 || mapBits == 32);
  return kindOk && depthOk && mapOk && (!mapped || depth == 8) && p.u16le(12) > 0 && p.u16le(14) > 0 &&
         (p.u8(17) & 0xC0) == 0;
}

std::uint16_t Recognise(const Prefix& p) {
  if (p.has(0, "\x89PNG\r\n\x1A\n", 8)) return 110;
  if (p.has(0, "GIF87a", 6) || p.has(0, "GIF89a", 6)) return 6;
  if (p.has(0, "\xFF\xD8\xFF", 3)) return 11;
  if (p.has(0, "II*\0", 4) || p.has(0, "MM\0*", 4)) return 21;
  if (IsBmp(p)) return 0;
  if (p.has(0, "8BPS", 4)) return 106;
  if (p.has(0, "\x59\xA6\x6A\x95", 4)) return 18;
  if (p.has(0, "\x1BGH", 3) || p.has(0, "\x1BGM", 3)) return 19;
  if (p.has(0, "FORM", 4) && (p.has(8, "ILBM", 4) || p.has(8, "PBM ", 4))) return 7;
  if (p.has(0, "DanM", 4) || p.has(0, "LinS", 4)) return 14;
  if (p.has(2048, "PCD_IPI", 7)) return 15;
  if (p.has(0, "\xFFWPC", 4)) return 23;
  if (p.u16le(0) == 0x1234 && p.n >= 17) return 17;
  if (p.has(0, "\x01\x00\x00\x00\x01\x00\x08\x00", 8)) return kTypeLotusPic;
  if (p.has(65, "PNTG", 4)) return 13;
  const unsigned clp = p.u16le(0);
  if (p.n >= 4 && (clp == 0xC350 || clp == 0xC351 || clp == 0xC352)) return 2;
  if (IsWmf(p)) return 22;
  std::uint16_t pnm = 0;
  if (IsPnm(p, &pnm)) return pnm;
  if (IsPcx(p)) return 16;
  if (IsPict(p, 512) || IsPict(p, 0)) return 113;
  if (IsGemImg(p)) return 8;
  if (IsHeaderlessMacPaint(p)) return 13;
  if (IsPackedDib(p)) return 4;
  if (IsTarga(p)) return 20;
  if (IsHaloCut(p)) return 3;
  if (IsCgm(p)) return 111;
  return kNoReader;
}

}  // namespace

Code ImageType(const std::string& path, std::uint16_t* type) {
  if (type == nullptr) {
    return kInvalidParameter;
  }
  *type = kNoReader;
  Prefix p;
  if (const Code c = ReadFileHead(path, kPrefix, &p.b); c != kOk) {
    return c;
  }
  p.n = p.b.size();
  *type = Recognise(p);
  return kOk;
}

}  // namespace km::imgx
