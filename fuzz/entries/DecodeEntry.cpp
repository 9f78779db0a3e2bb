// Every decoder of the format library. The first byte chooses the file-type entry (so
// each decoder is reached whatever the contents say); the rest is the file. Any image
// that comes back must pass ValidateDib, and a code never comes with an image.

#include <cstdlib>
#include <string>

#include "FuzzEntries.h"
#include "MemoryFile.h"
#include "fileio/FileTypeTable.h"
#include "fileio/ReadImage.h"

namespace km::fuzz {

int FuzzDecode(const std::uint8_t* data, std::size_t size) {
  if (size < 1) {
    return 0;
  }
  const std::string path = WriteMemoryFile(0, data + 1, size - 1);
  static const FileTypeTable types;
  static const InputPreferences preferences;
  const int entry = 1 + data[0] % types.entryCount();

  const ReadResult read = ReadImageFile(nullptr, types, preferences, path, entry);
  if ((read.code == 0) != (read.image != nullptr)) {
    std::abort();
  }
  if (read.image && ValidateDib(read.image.get()) != kOk) {
    std::abort();
  }
  return 0;
}

}  // namespace km::fuzz
