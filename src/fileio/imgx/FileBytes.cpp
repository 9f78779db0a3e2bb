#include "fileio/imgx/FileBytes.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>

namespace km::imgx {

namespace {
struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;
}  // namespace

Code ReadFileHead(const std::string& path, std::size_t most, std::vector<std::uint8_t>* bytes) {
  bytes->clear();
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    return kCannotOpen;
  }
  try {
    std::uint8_t chunk[65536];
    while (bytes->size() < most) {
      const std::size_t want = std::min(sizeof chunk, most - bytes->size());
      const std::size_t n = std::fread(chunk, 1, want, f.get());
      bytes->insert(bytes->end(), chunk, chunk + n);
      if (n < want) {
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

Code ReadFileBytes(const std::string& path, std::vector<std::uint8_t>* bytes) {
  return ReadFileHead(path, std::numeric_limits<std::size_t>::max(), bytes);
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
