#include "batch/FileOrder.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <unordered_map>

namespace km {

namespace {

std::string PathKey(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return (ec ? std::filesystem::path(path) : absolute).lexically_normal().string();
}

// Who touched a path so far: the last file that wrote it and the files that read it
// since.
struct PathUse {
  int writer = -1;
  std::vector<int> readers;
};

}  // namespace

std::vector<std::vector<int>> SharedPathOrder(const std::vector<std::string>& inputs,
                                              const std::vector<std::string>& outputs) {
  const std::size_t count = std::min(inputs.size(), outputs.size());
  std::vector<std::vector<int>> waits(count);
  std::unordered_map<std::string, PathUse> uses;
  for (std::size_t i = 0; i < count; ++i) {
    const int self = static_cast<int>(i);
    PathUse& read = uses[PathKey(inputs[i])];
    std::vector<int>& wait = waits[i];
    if (read.writer >= 0) {
      wait.push_back(read.writer);
    }
    read.readers.push_back(self);
    PathUse& written = uses[PathKey(outputs[i])];
    if (written.writer >= 0) {
      wait.push_back(written.writer);
    }
    for (const int reader : written.readers) {
      if (reader != self) {
        wait.push_back(reader);
      }
    }
    written.writer = self;
    written.readers.clear();
    std::sort(wait.begin(), wait.end());
    wait.erase(std::unique(wait.begin(), wait.end()), wait.end());
  }
  return waits;
}

}  // namespace km
