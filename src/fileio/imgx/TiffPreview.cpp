#include "fileio/imgx/TiffPreview.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fileio/imgx/FileBytes.h"
#include "fileio/imgx/Imgx.h"

namespace km::imgx {

namespace {
constexpr int kUncompressed = 1;  // the TIFF compression code
constexpr int kPreviewDpi = 72;   // the PostScript draws one pixel a point
}  // namespace

Code BuildTiffPreview(const Dib& dib, bool grey, std::vector<std::uint8_t>* out) {
  std::error_code ec;
  const std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
  if (ec) {
    return kCannotCreate;
  }
  std::string name = (dir / "kilnmark-preview-XXXXXX").string();
  const int fd = mkstemp(name.data());
  if (fd < 0) {
    return kCannotCreate;
  }
  close(fd);
  Code c = EncodeTIF(nullptr, name, &dib, nullptr, kUncompressed, grey ? 1 : 0, kPreviewDpi);
  if (c == kOk) {
    c = ReadFileBytes(name, out);
  }
  std::remove(name.c_str());
  return c;
}

}  // namespace km::imgx
