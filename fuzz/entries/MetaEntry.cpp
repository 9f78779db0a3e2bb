// The metafile readers on their own: the first byte picks the Windows metafile, CGM or
// Lotus graph reader (the rest is the file), and a metafile that comes back is drawn at
// a small size through MetaToDIB, so the display list each reader builds is played
// too. Any image that comes back must pass ValidateDib, and a code never comes with an
// image.

#include <cstdlib>
#include <string>

#include "FuzzEntries.h"
#include "MemoryFile.h"
#include "fileio/meta/Meta.h"

namespace km::fuzz {

namespace {

void CheckImage(imgx::Code code, const DibHandle& image) {
  if ((code == imgx::kOk) != (image != nullptr)) {
    std::abort();
  }
  if (image && ValidateDib(image.get()) != kOk) {
    std::abort();
  }
}

}  // namespace

int FuzzMeta(const std::uint8_t* data, std::size_t size) {
  if (size < 1) {
    return 0;
  }
  const std::string path = WriteMemoryFile(0, data + 1, size - 1);
  const int reader = data[0] % 3;
  if (reader == 0) {
    DibHandle image;
    CheckImage(imgx::DecodeWMF(nullptr, path, &image, 64, 48, 0), image);
    return 0;
  }
  imgx::MetafileHandle metafile;
  int width = 0;
  int height = 0;
  const imgx::Code read = reader == 1 ? imgx::DecodeCGM(nullptr, path, &metafile, &width, &height)
                                      : imgx::DecodeLPIC(nullptr, path, &metafile, &width, &height);
  if ((read == imgx::kOk) != (metafile != nullptr)) {
    std::abort();
  }
  if (metafile) {
    DibHandle image;
    const int bits = (data[0] / 3) % 2 == 0 ? 8 : 24;
    CheckImage(imgx::MetaToDIB(nullptr, metafile.get(), &image, bits, 0, 0, width, height, 64, 48, 0), image);
  }
  return 0;
}

}  // namespace km::fuzz
