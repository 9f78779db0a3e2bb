#include "MemoryFile.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>

namespace km::fuzz {

std::string WriteMemoryFile(int slot, const std::uint8_t* data, std::size_t size) {
  static int files[4] = {-1, -1, -1, -1};
  if (slot < 0 || slot > 3) {
    std::abort();
  }
  int& fd = files[slot];
  if (fd < 0) {
    fd = ::memfd_create("kilnmark-fuzz", 0);
  }
  if (fd < 0 || ::ftruncate(fd, 0) != 0) {
    std::abort();
  }
  if (size != 0 && ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) {
    std::abort();
  }
  return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace km::fuzz
