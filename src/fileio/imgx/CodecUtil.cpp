#include "fileio/imgx/CodecUtil.h"

#include <filesystem>
#include <system_error>

#include "fileio/imgx/Imgx.h"

namespace km::imgx {

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

void FillInfo(const std::string& path, std::uint16_t type, int width, int height, int bits, ImageInfo* info) {
  info->name = path;
  info->type = type;
  info->width = width;
  info->height = height;
  info->bits = bits;
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  info->fileSize = ec ? 0 : static_cast<std::uint64_t>(size);
}

}  // namespace km::imgx
