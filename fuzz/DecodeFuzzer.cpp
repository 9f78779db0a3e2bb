// libFuzzer target for every decoder of the format library. The first byte chooses the
// file-type entry (so each decoder is reached whatever the contents say); the rest is
// the file. Any image that comes back must pass ValidateDib.
//
//   cmake --preset fuzz && cmake --build --preset fuzz && mkdir -p build/fuzz/corpus
//   build/fuzz/bin/fuzz_decode -max_total_time=300 build/fuzz/corpus tests/data/bad examples/images
// (new inputs go to the first folder; the others only seed it).

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "fileio/FileTypeTable.h"
#include "fileio/ReadImage.h"

namespace {

// One in-memory file, rewritten for every input and opened by path.
int MemoryFile() {
  static const int fd = ::memfd_create("kilnmark-fuzz", 0);
  return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) {
    return 0;
  }
  const int fd = MemoryFile();
  if (fd < 0 || ::ftruncate(fd, 0) != 0) {
    std::abort();
  }
  const std::size_t body = size - 1;
  if (body != 0 && ::pwrite(fd, data + 1, body, 0) != static_cast<ssize_t>(body)) {
    std::abort();
  }
  static const km::FileTypeTable types;
  static const km::InputPreferences preferences;
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  const int entry = 1 + data[0] % types.entryCount();

  const km::ReadResult read = km::ReadImageFile(nullptr, types, preferences, path, entry);
  if ((read.code == 0) != (read.image != nullptr)) {
    std::abort();  // a code with an image, or success without one
  }
  if (read.image && km::ValidateDib(read.image.get()) != km::kOk) {
    std::abort();
  }
  return 0;
}
