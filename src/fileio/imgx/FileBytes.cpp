#include "fileio/imgx/FileBytes.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <new>

#include "imaging/MemoryCeiling.h"

namespace km::imgx {

namespace {
struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;
}  // namespace

Code ReadFileBytes(const std::string& path, std::vector<std::uint8_t>* bytes) {
  bytes->clear();
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    return kCannotOpen;
  }
  // A file whose bytes alone would pass the memory ceiling is not read at all.
  struct stat info {};
  if (::fstat(::fileno(f.get()), &info) == 0 && S_ISREG(info.st_mode) &&
      !FitsMemoryCeiling(static_cast<std::uint64_t>(info.st_size))) {
    return kNoMemory;
  }
  try {
    std::uint8_t chunk[65536];
    for (;;) {
      const std::size_t n = std::fread(chunk, 1, sizeof chunk, f.get());
      bytes->insert(bytes->end(), chunk, chunk + n);
      if (n < sizeof chunk) {
        break;
      }
    }
  } catch (const std::bad_alloc&) {
    bytes->clear();
    return kNoMemory;
  }
  if (std::ferror(f.get())) {
    bytes->clear();
    return kReadError;
  }
  return kOk;
}

Code WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    return kCannotCreate;
  }
  const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed) {
    std::remove(path.c_str());
    return kWriteError;
  }
  return kOk;
}

}  // namespace km::imgx
