#include "fileio/imgx/CodecKit.h"

#include <algorithm>

namespace km::imgx {

bool WithinBudget(std::uint64_t rowBytes, std::uint64_t rows, std::uint64_t available, std::uint64_t ratio) {
  std::uint64_t bytes = 0;
  if (__builtin_mul_overflow(rowBytes, rows, &bytes)) {
    return false;
  }
  // bytes <= available * ratio, without forming the product.
  return bytes <= kFreeDecodeBytes || (ratio > 0 && bytes / ratio + (bytes % ratio != 0 ? 1 : 0) <= available);
}

Code NewDib(long long width, long long height, int bits, int colors, DibHandle* out) {
  out->reset();
  if (!ValidSize(width, height)) {
    return kBadDimensions;
  }
  const OpResult r = Dib::Create(static_cast<int>(width), static_cast<int>(height), bits, colors, out);
  if (r == kOutOfMemory) {
    return kNoMemory;
  }
  return r == km::kOk ? kOk : kUnsupportedVariant;
}

Code CheckSource(const Dib* dib) { return ValidateDib(dib) == km::kOk ? kOk : kInvalidParameter; }

void PackIndices(const std::uint8_t* indices, int width, int bits, std::uint8_t* row) {
  switch (bits) {
    case 1:
      std::fill(row, row + (width + 7) / 8, 0);
      for (int x = 0; x < width; ++x) {
        row[x >> 3] = static_cast<std::uint8_t>(row[x >> 3] | ((indices[x] & 1u) << (7 - (x & 7))));
      }
      break;
    case 4:
      std::fill(row, row + (width + 1) / 2, 0);
      for (int x = 0; x < width; ++x) {
        row[x >> 1] = static_cast<std::uint8_t>(row[x >> 1] | ((indices[x] & 0x0Fu) << ((x & 1) ? 0 : 4)));
      }
      break;
    default:
      std::copy(indices, indices + width, row);
      break;
  }
}

void UnpackIndices(const std::uint8_t* row, int width, int bits, std::uint8_t* indices) {
  switch (bits) {
    case 1:
      for (int x = 0; x < width; ++x) {
        indices[x] = static_cast<std::uint8_t>((row[x >> 3] >> (7 - (x & 7))) & 1u);
      }
      break;
    case 4:
      for (int x = 0; x < width; ++x) {
        indices[x] = static_cast<std::uint8_t>((x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4));
      }
      break;
    default:
      std::copy(row, row + width, indices);
      break;
  }
}

void PlanesToIndices(const std::uint8_t* planes, std::size_t planeStride, int planeCount, int width,
                     std::uint8_t* indices) {
  std::fill(indices, indices + width, 0);
  for (int p = 0; p < planeCount; ++p) {
    const std::uint8_t* plane = planes + static_cast<std::size_t>(p) * planeStride;
    for (int x = 0; x < width; ++x) {
      indices[x] = static_cast<std::uint8_t>(indices[x] | (((plane[x >> 3] >> (7 - (x & 7))) & 1u) << p));
    }
  }
}

void IndicesToPlanes(const std::uint8_t* indices, int width, int planeCount, std::size_t planeStride,
                     std::uint8_t* planes) {
  std::fill(planes, planes + planeStride * static_cast<std::size_t>(planeCount), 0);
  for (int p = 0; p < planeCount; ++p) {
    std::uint8_t* plane = planes + static_cast<std::size_t>(p) * planeStride;
    for (int x = 0; x < width; ++x) {
      plane[x >> 3] = static_cast<std::uint8_t>(plane[x >> 3] | (((indices[x] >> p) & 1u) << (7 - (x & 7))));
    }
  }
}

void SetColor(Dib& dib, int index, int red, int green, int blue) {
  dib.colors()[index] = RgbQuad{static_cast<std::uint8_t>(blue), static_cast<std::uint8_t>(green),
                                static_cast<std::uint8_t>(red), 0};
}

void SetGreyRamp(Dib& dib, int count) {
  for (int i = 0; i < count; ++i) {
    const int v = count > 1 ? i * 255 / (count - 1) : 0;
    SetColor(dib, i, v, v, v);
  }
}

namespace {
int Luma(const RgbQuad& q) { return q.rgbRed * 30 + q.rgbGreen * 59 + q.rgbBlue * 11; }
}  // namespace

void DarkIndices(const Dib& dib, bool dark[2]) {
  const RgbQuad* t = dib.colors();
  const int count = dib.colorCount();
  const int l0 = count > 0 ? Luma(t[0]) : 0;
  const int l1 = count > 1 ? Luma(t[1]) : 25500;
  if (l0 == l1) {
    dark[0] = dark[1] = l0 < 12750;
  } else {
    dark[0] = l0 < l1;
    dark[1] = l1 < l0;
  }
}

bool IsBlackAndWhite(const Dib& dib) {
  if (dib.colorCount() != 2) {
    return false;
  }
  const RgbQuad* t = dib.colors();
  auto is = [](const RgbQuad& q, int v) { return q.rgbRed == v && q.rgbGreen == v && q.rgbBlue == v; };
  return (is(t[0], 0) && is(t[1], 255)) || (is(t[0], 255) && is(t[1], 0));
}

void RowToBgr(const Dib& dib, int y, std::uint8_t* bgr) {
  const std::uint8_t* row = TopRow(dib, y);
  const int width = dib.width();
  const int bits = dib.bitCount();
  if (bits == 24) {
    std::copy(row, row + 3 * static_cast<std::size_t>(width), bgr);
    return;
  }
  const RgbQuad* table = dib.colors();
  const int count = dib.colorCount();
  for (int x = 0; x < width; ++x) {
    int i = 0;
    switch (bits) {
      case 1: i = (row[x >> 3] >> (7 - (x & 7))) & 1; break;
      case 4: i = (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4); break;
      default: i = row[x]; break;
    }
    const RgbQuad q = i < count ? table[i] : RgbQuad{};
    bgr[3 * x] = q.rgbBlue;
    bgr[3 * x + 1] = q.rgbGreen;
    bgr[3 * x + 2] = q.rgbRed;
  }
}

bool IndicesWithinTable(const Dib& dib, int count) {
  const int bits = dib.bitCount();
  if (bits > 8 || count >= (1 << bits)) {
    return true;
  }
  const int w = dib.width();
  for (int y = 0; y < dib.height(); ++y) {
    const std::uint8_t* p = dib.row(y);
    for (int x = 0; x < w; ++x) {
      int v = 0;
      if (bits == 8) {
        v = p[x];
      } else if (bits == 4) {
        v = (x & 1) ? (p[x >> 1] & 0x0F) : (p[x >> 1] >> 4);
      } else {
        v = (p[x >> 3] >> (7 - (x & 7))) & 1;
      }
      if (v >= count) {
        return false;
      }
    }
  }
  return true;
}

std::string FinalPath(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
  const std::string suffix = ".part";
  if (path.size() > name + 1 + suffix.size() && path[name] == '.' &&
      path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0) {
    return path.substr(0, name) + path.substr(name + 1, path.size() - name - 1 - suffix.size());
  }
  return path;
}

}  // namespace km::imgx
