// Text and RIFF palette files. On success the count is 16 or 256; on a failure the
// count may be anything but the palette room is never written past its 256 entries.

#include <cstdlib>
#include <string>

#include "FuzzEntries.h"
#include "MemoryFile.h"
#include "imaging/palette/Palette.h"

namespace km::fuzz {

namespace {

using Reader = OpResult (*)(const std::string&, RgbQuad*, int*);

int RunReader(Reader read, const std::uint8_t* data, std::size_t size) {
  const std::string path = WriteMemoryFile(0, data, size);
  // The reader gets exactly 256 entries on the heap, so a write past them is caught.
  auto palette = std::make_unique<RgbQuad[]>(256);
  int count = -1;
  const OpResult r = read(path, palette.get(), &count);
  if (r == kOk && count != 16 && count != 256) {
    std::abort();
  }
  return 0;
}

}  // namespace

int FuzzTextPalette(const std::uint8_t* data, std::size_t size) {
  return RunReader(ReadTextPalette, data, size);
}

int FuzzRiffPalette(const std::uint8_t* data, std::size_t size) {
  return RunReader(ReadRiffPalette, data, size);
}

}  // namespace km::fuzz
