// The WebP import filter: decodes a still WebP picture (lossy or lossless, with or
// without alpha; libwebp refuses animations) and hands it over as a bitmap metafile,
// laid over white where it is transparent.

#include <webp/decode.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "../shared/BitmapMetafile.h"

namespace {

using namespace km::filterkit;

// WebP files are capped by their format at 16383 pixels a side; the file is read
// whole, up to a bound well above any such picture.
constexpr long kMaxFileBytes = 1L << 30;

int ReadFile(const char* path, std::vector<std::uint8_t>* out) {
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) {
    return kCannotOpen;
  }
  int r = kOk;
  if (std::fseek(f, 0, SEEK_END) != 0) {
    r = kCannotRead;
  } else {
    const long size = std::ftell(f);
    if (size <= 0 || size > kMaxFileBytes || std::fseek(f, 0, SEEK_SET) != 0) {
      r = kCannotRead;
    } else {
      out->resize(static_cast<std::size_t>(size));
      if (std::fread(out->data(), 1, out->size(), f) != out->size()) {
        r = kCannotRead;
      }
    }
  }
  std::fclose(f);
  return r;
}

int Import(const char* path, KmPictInfo* picture) {
  std::vector<std::uint8_t> file;
  if (const int r = ReadFile(path, &file); r != kOk) {
    return r;
  }
  int width = 0, height = 0;
  if (!WebPGetInfo(file.data(), file.size(), &width, &height)) {
    return kCannotRead;
  }
  if (static_cast<long long>(width) * height > kMaxPixels) {
    return kTooLarge;
  }
  std::uint8_t* bgra = WebPDecodeBGRA(file.data(), file.size(), &width, &height);
  if (bgra == nullptr) {
    return kCannotRead;
  }
  const int r = MakeBitmapMetafile(bgra, width, height, 4L * width, false, picture);
  WebPFree(bgra);
  return r;
}

}  // namespace

extern "C" {

KM_FILTER_EXPORT int ImportGr(void* /*deviceContext*/, const KmImportFile* file, KmPictInfo* picture,
                              KmFilterMemory /*preferences*/) {
  try {
    return Import(ImportPath(file), picture);
  } catch (...) {  // nothing may cross the C interface
    return kNoMemory;
  }
}

}  // extern "C"
