// Windows metafiles: the information record from the headers. Reading and writing the
// pictures is the metafile renderer's (fileio/meta).
#include <cmath>

#include "fileio/imgx/CodecKit.h"
#include "fileio/meta/WmfReader.h"

namespace km::imgx {

// Placeable files give their size at 96 pixels per inch; plain ones have none (0).
Code InfoWMF(const std::string& path, ImageInfo* info) {
  return InfoWholeFile(path, info, [](const std::vector<std::uint8_t>& file, ImageInfo* found) -> Code {
    meta::WmfHeader header;
    if (const Code c = meta::ReadWmfHeader(file.data(), file.size(), &header); c != kOk) {
      return c;
    }
    int w = 0, h = 0;
    if (header.placeable) {
      w = static_cast<int>(std::lround(std::fabs(header.bounds.right - header.bounds.left) * 96.0 /
                                       header.unitsPerInch));
      h = static_cast<int>(std::lround(std::fabs(header.bounds.bottom - header.bounds.top) * 96.0 /
                                       header.unitsPerInch));
    }
    FillInfo(22, w, h, 24, found);
    return kOk;
  });
}

}  // namespace km::imgx
