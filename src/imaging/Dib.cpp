#include "imaging/Dib.h"

#include <cstring>
#include <new>

namespace km {

namespace {

bool ValidDepth(int bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 24; }

int TableEntries(int bits, std::uint32_t clrUsed) {
  if (bits > 8) {
    return 0;
  }
  return clrUsed != 0 ? static_cast<int>(clrUsed) : (1 << bits);
}

}  // namespace

BitmapInfoHeader Dib::header() const {
  BitmapInfoHeader h;
  std::memcpy(&h, bytes_.data(), sizeof h);
  return h;
}

void Dib::setHeader(const BitmapInfoHeader& h) {
  BitmapInfoHeader copy = h;
  copy.biSize = headerSize();
  std::memcpy(bytes_.data(), &copy, sizeof copy);
}

int Dib::colorCount() const {
  const BitmapInfoHeader h = header();
  return TableEntries(h.biBitCount, h.biClrUsed);
}

OpResult Dib::Create(int width, int height, int bits, int clrUsed, DibHandle* out) {
  if (out == nullptr) {
    return kInvalidArgument;
  }
  out->reset();
  if (width < 1 || width > kMaxDibSide || height < 1 || height > kMaxDibSide || !ValidDepth(bits) ||
      clrUsed < 0 || (bits <= 8 && clrUsed > (1 << bits)) || (bits == 24 && clrUsed != 0)) {
    return kInvalidArgument;
  }
  const int entries = TableEntries(bits, static_cast<std::uint32_t>(clrUsed));
  const std::size_t image = Stride(width, bits) * static_cast<std::size_t>(height);
  const std::size_t total = sizeof(BitmapInfoHeader) + 4u * static_cast<std::size_t>(entries) + image;
  MemoryCharge charge;
  if (!MemoryCharge::Take(total, &charge)) {
    return kOutOfMemory;
  }
  try {
    std::vector<std::uint8_t> bytes(total);
    BitmapInfoHeader h;
    h.biWidth = width;
    h.biHeight = height;
    h.biBitCount = static_cast<std::uint16_t>(bits);
    h.biSizeImage = static_cast<std::uint32_t>(image);
    h.biClrUsed = static_cast<std::uint32_t>(clrUsed);
    std::memcpy(bytes.data(), &h, sizeof h);
    out->reset(new Dib(std::move(bytes), std::move(charge)));
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  return kOk;
}

OpResult Dib::FromBytes(std::vector<std::uint8_t> bytes, DibHandle* out) {
  if (out == nullptr) {
    return kInvalidArgument;
  }
  out->reset();
  MemoryCharge charge;
  if (!MemoryCharge::Take(bytes.size(), &charge)) {
    return kOutOfMemory;
  }
  try {
    auto dib = std::unique_ptr<Dib>(new Dib(std::move(bytes), std::move(charge)));
    if (ValidateDib(dib.get()) != kOk) {
      return kInvalidArgument;
    }
    *out = std::move(dib);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  return kOk;
}

OpResult ValidateDib(const Dib* dib) {
  if (dib == nullptr || dib->size() < sizeof(BitmapInfoHeader)) {
    return kInvalidArgument;
  }
  const BitmapInfoHeader h = dib->header();
  if (h.biSize < 40 || h.biSize > dib->size() || h.biWidth < 1 || h.biWidth > kMaxDibSide ||
      h.biHeight < 1 || h.biHeight > kMaxDibSide || !ValidDepth(h.biBitCount)) {
    return kInvalidArgument;
  }
  if (h.biBitCount <= 8 && h.biClrUsed > (1u << h.biBitCount)) {
    return kInvalidArgument;
  }
  const std::size_t needed = std::size_t{h.biSize} +
                             4u * static_cast<std::size_t>(TableEntries(h.biBitCount, h.biClrUsed)) +
                             Dib::Stride(h.biWidth, h.biBitCount) * static_cast<std::size_t>(h.biHeight);
  return dib->size() >= needed ? kOk : kInvalidArgument;
}

OpResult PrepareOp(const Dib* source, DibHandle* result) {
  if (result == nullptr) {
    return kInvalidArgument;
  }
  result->reset();
  return ValidateDib(source);
}

OpResult CopyDIB(const Dib* source, DibHandle* out) {
  if (source == nullptr || out == nullptr) {
    return kInvalidArgument;
  }
  out->reset();
  if (!FitsMemoryCeiling(source->size())) {
    return kOutOfMemory;
  }
  try {
    std::vector<std::uint8_t> bytes(source->data(), source->data() + source->size());
    return Dib::FromBytes(std::move(bytes), out);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
}

int NearestColorIndex(const RgbQuad* table, int count, int red, int green, int blue) {
  int best = 0;
  long bestDistance = -1;
  for (int i = 0; i < count; ++i) {
    const long dr = table[i].rgbRed - red;
    const long dg = table[i].rgbGreen - green;
    const long db = table[i].rgbBlue - blue;
    const long d = dr * dr + dg * dg + db * db;
    if (d == 0) {
      return i;
    }
    if (bestDistance < 0 || d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return best;
}

bool IsDIBGreyScaled(const Dib* dib) {
  if (ValidateDib(dib) != kOk || dib->bitCount() != 8) {
    return false;
  }
  const RgbQuad* table = dib->colors();
  const int n = dib->colorCount();
  for (int i = 0; i < n; ++i) {
    if (table[i].rgbRed != i || table[i].rgbGreen != i || table[i].rgbBlue != i) {
      return false;
    }
  }
  return true;
}

}  // namespace km
