// Windows metafiles: the information record from the headers. Reading and writing the
// pictures is the metafile renderer's (fileio/meta).
#include <cmath>

#include "fileio/imgx/FileBytes.h"
#include "fileio/imgx/Imgx.h"
#include "fileio/meta/WmfReader.h"

namespace km::imgx {

// Placeable files give their size at 96 pixels per inch; plain ones have none (0).
Code InfoWMF(const std::string& path, ImageInfo* info) {
  if (info == nullptr) {
    return kNotThisFormat;
  }
  std::vector<std::uint8_t> file;
  if (const Code c = ReadFileBytes(path, &file); c != kOk) {
    return c;
  }
  meta::WmfHeader header;
  if (const Code c = meta::ReadWmfHeader(file.data(), file.size(), &header); c != kOk) {
    return c;
  }
  ImageInfo found;
  found.name = path;
  found.fileSize = file.size();
  found.type = 22;
  found.bits = 24;
  if (header.placeable) {
    found.width = static_cast<int>(std::lround(std::fabs(header.bounds.right - header.bounds.left) * 96.0 /
                                               header.unitsPerInch));
    found.height = static_cast<int>(std::lround(std::fabs(header.bounds.bottom - header.bounds.top) * 96.0 /
                                                header.unitsPerInch));
  }
  *info = found;
  return kOk;
}

}  // namespace km::imgx
