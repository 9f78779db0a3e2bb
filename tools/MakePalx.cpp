// Writes PALX.DAT, the lookup file of the standard-palette converter: for every
// ColorKey15, the nearest entry of the 16-colour palette (bytes 0..32767), then of the
// 256-colour palette (bytes 32768..65535).
//
// Usage: kilnmark_make_palx <output path>

#include <cstdio>
#include <vector>

#include "imaging/palette/StandardTables.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output path>\n", argv[0]);
    return 2;
  }
  std::vector<std::uint8_t> bytes(km::kLookupFileSize);
  km::BuildStandardLookup(16, bytes.data());
  km::BuildStandardLookup(256, bytes.data() + km::kLookupTableSize);
  std::FILE* f = std::fopen(argv[1], "wb");
  if (f == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !ok) {
    std::perror(argv[1]);
    std::remove(argv[1]);
    return 1;
  }
  return 0;
}
