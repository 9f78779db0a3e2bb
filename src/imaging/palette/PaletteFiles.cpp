// Palette files: the text palette ("TAVO-PAL", version "0100", a count of 16 or 256,
// then one "red green blue" line per colour, CR LF line ends) and the RIFF "PAL "
// palette (a "data" chunk holding a version, an entry count n and n red, green, blue,
// flags quadruples). Both readers treat the file as hostile: every read is bounded by
// what the file holds.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "imaging/palette/Palette.h"

namespace km {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// A text palette never needs more than 21 header bytes and 256 lines of 13 bytes.
constexpr std::size_t kTextPaletteMax = 4096;

// Reads the file's first bytes in order, as the text palette is read in pieces.
class Pieces {
public:
  explicit Pieces(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  // The next n bytes, or null when the file ends before them (nothing is consumed).
  const std::uint8_t* take(std::size_t n) {
    if (n > bytes_.size() - pos_) {
      return nullptr;
    }
    const std::uint8_t* p = bytes_.data() + pos_;
    pos_ += n;
    return p;
  }
  std::size_t remaining() const { return bytes_.size() - pos_; }
  const std::uint8_t* cursor() const { return bytes_.data() + pos_; }
  void skip(std::size_t n) { pos_ += std::min(n, remaining()); }

private:
  std::vector<std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

bool SameIgnoringCase(const std::uint8_t* a, const char* b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (std::toupper(a[i]) != std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// A number of 1 to 3 characters: an optional minus sign and digits. False for anything
// else. Values are clamped to 0..255.
bool ParseChannel(const std::uint8_t* s, std::size_t n, std::uint8_t* value) {
  std::size_t i = 0;
  const bool negative = s[0] == '-';
  if (negative) {
    i = 1;
  }
  if (i == n) {
    return false;
  }
  int v = 0;
  for (; i < n; ++i) {
    if (!std::isdigit(s[i])) {
      return false;
    }
    v = v * 10 + (s[i] - '0');
  }
  *value = static_cast<std::uint8_t>(negative ? 0 : std::min(v, 255));
  return true;
}

// One number followed by its separator: two characters, then a third and a fourth as
// long as the separator has not come.
bool ReadNumber(Pieces& in, char separator, std::uint8_t* value) {
  const std::uint8_t* start = in.cursor();
  if (in.take(2) == nullptr) {
    return false;
  }
  std::size_t digits = 1;
  while (start[digits] != separator) {
    if (digits == 3 || in.take(1) == nullptr) {
      return false;
    }
    ++digits;
  }
  return ParseChannel(start, digits, value);
}

OpResult ReadSmallFile(const std::string& path, std::size_t limit, std::vector<std::uint8_t>* bytes) {
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    return kFileCannotOpen;
  }
  try {
    bytes->resize(limit);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  bytes->resize(std::fread(bytes->data(), 1, limit, f.get()));
  return kOk;
}

}  // namespace

OpResult ReadTextPalette(const std::string& path, RgbQuad* palette, int* count) {
  if (path.empty() || palette == nullptr || count == nullptr) {
    return kInvalidArgument;
  }
  *count = 0;
  std::vector<std::uint8_t> bytes;
  OpResult rc = ReadSmallFile(path, kTextPaletteMax, &bytes);
  if (rc != kOk) {
    return rc;
  }
  Pieces in(std::move(bytes));

  // Line 1: a file too short for it is still told apart from one that is no palette.
  const std::size_t have = std::min<std::size_t>(in.remaining(), 8);
  if (!SameIgnoringCase(in.cursor(), "TAVO-PAL", have)) {
    return kNotAPalette;
  }
  if (in.take(10) == nullptr) {
    return kFileShortRead;
  }
  const std::uint8_t* version = in.take(6);
  if (version == nullptr) {
    return kFileShortRead;
  }
  if (!SameIgnoringCase(version, "0100", 4)) {
    return kBadPaletteVersion;
  }
  const std::uint8_t* digits = in.take(3);
  if (digits == nullptr) {
    return kFileShortRead;
  }
  const std::size_t countDigits = digits[2] == '\r' ? 2 : 3;
  if (in.take(countDigits == 2 ? 1 : 2) == nullptr) {
    return kFileShortRead;
  }
  int n = 0;
  for (std::size_t i = 0; i < countDigits; ++i) {
    n = std::isdigit(digits[i]) ? n * 10 + (digits[i] - '0') : -1000;
  }
  if (n != 16 && n != 256) {
    return kBadPaletteCount;
  }

  RgbQuad read[kPaletteEntries];
  for (int i = 0; i < n; ++i) {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    if (!ReadNumber(in, ' ', &red) || !ReadNumber(in, ' ', &green) || !ReadNumber(in, '\r', &blue)) {
      return kNotAPalette;
    }
    in.skip(1);  // the LF after the blue number's CR
    read[i] = RgbQuad{blue, green, red, 0};
  }
  std::memcpy(palette, read, static_cast<std::size_t>(n) * sizeof(RgbQuad));
  *count = n;
  return kOk;
}

namespace {

// A RIFF file read chunk by chunk: every chunk header and body is checked against the
// file's size before it is read.
class RiffReader {
public:
  explicit RiffReader(std::FILE* f) : f_(f) {
    if (std::fseek(f_, 0, SEEK_END) == 0) {
      const long end = std::ftell(f_);
      size_ = end > 0 ? static_cast<std::uint64_t>(end) : 0;
    }
  }
  std::uint64_t size() const { return size_; }

  bool readAt(std::uint64_t offset, void* dst, std::size_t n) {
    if (offset > size_ || n > size_ - offset || std::fseek(f_, static_cast<long>(offset), SEEK_SET) != 0) {
      return false;
    }
    return std::fread(dst, 1, n, f_) == n;
  }

  // Finds the first chunk with the given id between begin and end (chunks are padded
  // to an even size). On success *body is the offset of its contents, *length their
  // declared length.
  bool find(std::uint64_t begin, std::uint64_t end, const char* id, std::uint64_t* body,
            std::uint32_t* length) {
    std::uint64_t at = begin;
    while (at + 8 <= end) {
      std::uint8_t h[8];
      if (!readAt(at, h, 8)) {
        return false;
      }
      const std::uint32_t len = static_cast<std::uint32_t>(h[4]) | (static_cast<std::uint32_t>(h[5]) << 8) |
                                (static_cast<std::uint32_t>(h[6]) << 16) | (static_cast<std::uint32_t>(h[7]) << 24);
      if (std::memcmp(h, id, 4) == 0) {
        *body = at + 8;
        *length = len;
        return true;
      }
      at += 8 + std::uint64_t{len} + (len & 1);
    }
    return false;
  }

private:
  std::FILE* f_;
  std::uint64_t size_ = 0;
};

}  // namespace

OpResult ReadRiffPalette(const std::string& path, RgbQuad* palette, int* count) {
  if (path.empty() || palette == nullptr || count == nullptr) {
    return kInvalidArgument;
  }
  *count = 0;
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    return kFileCannotOpen;
  }
  RiffReader riff(f.get());

  // The "RIFF" form of type "PAL " among the top-level chunks.
  std::uint64_t at = 0;
  std::uint64_t formBody = 0;
  std::uint32_t formLength = 0;
  for (;;) {
    if (!riff.find(at, riff.size(), "RIFF", &formBody, &formLength)) {
      return kNotAPalette;
    }
    char type[4];
    if (formLength >= 4 && riff.readAt(formBody, type, 4) && std::memcmp(type, "PAL ", 4) == 0) {
      break;
    }
    at = formBody + formLength + (formLength & 1);
  }
  const std::uint64_t formEnd = std::min(riff.size(), formBody + formLength);
  std::uint64_t dataBody = 0;
  std::uint32_t dataLength = 0;
  if (!riff.find(formBody + 4, formEnd, "data", &dataBody, &dataLength)) {
    return kNotAPalette;
  }
  // The whole chunk must be in the file; nothing is allocated for a size it cannot hold.
  if (dataLength > riff.size() - dataBody) {
    return kFileShortRead;
  }
  std::vector<std::uint8_t> chunk;
  try {
    chunk.resize(dataLength);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  if (!riff.readAt(dataBody, chunk.data(), chunk.size())) {
    return kFileShortRead;
  }
  const std::size_t n = chunk.size() >= 4 ? static_cast<std::size_t>(chunk[2] | (chunk[3] << 8)) : 0;
  // An entry count the chunk does not hold is refused like any other bad count.
  if (n == 0 || n > kPaletteEntries || chunk.size() % 4 != 0 || 4 + 4 * n > chunk.size()) {
    return kBadPaletteCount;
  }
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t* e = chunk.data() + 4 + 4 * i;
    palette[i] = RgbQuad{e[2], e[1], e[0], 0};
  }
  *count = n <= 16 ? 16 : 256;
  return kOk;
}

}  // namespace km
