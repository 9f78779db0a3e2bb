#include "batch/OutputFile.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <system_error>

#include "fileio/WriteImage.h"

namespace km {

namespace fs = std::filesystem;

namespace {

std::string NamePart(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

// Files an encoder writes beside its image (the CUT palette), named after the image.
std::vector<std::string> CompanionFiles(const std::string& imagePath) {
  std::vector<std::string> files;
  const auto dot = imagePath.find_last_of('.');
  const auto slash = imagePath.find_last_of('/');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    const std::string stem = imagePath.substr(0, dot);
    for (const char* ext : {".pal", ".PAL"}) {
      files.push_back(stem + ext);
    }
  }
  return files;
}

}  // namespace

std::string TemporaryOutputName(const std::string& outputPath) {
  static std::atomic<unsigned> counter{0};
  const auto slash = outputPath.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : outputPath.substr(0, slash + 1);
  const std::string name = NamePart(outputPath);
  const auto dot = name.find_last_of('.');
  const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
  return folder + ".kilnmark-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + extension;
}

std::vector<std::string> TemporaryFiles(const std::string& temp) {
  std::vector<std::string> files = {temp, PartialOutputPath(temp)};
  for (std::string& c : CompanionFiles(temp)) {
    files.push_back(std::move(c));
  }
  return files;
}

int FinishTemporary(const std::string& temp, const std::string& outputPath, int code) {
  const auto tempCompanions = CompanionFiles(temp);
  const auto finalCompanions = CompanionFiles(outputPath);
  std::error_code ec;
  if (code != 0 || !Exists(temp)) {
    fs::remove(temp, ec);
    for (const auto& c : tempCompanions) {
      fs::remove(c, ec);
    }
    // An encoder that answers 0 without a file has not written the output.
    return code != 0 ? code : imgx::kWriteError;
  }
  fs::rename(temp, outputPath, ec);
  if (ec) {
    fs::remove(temp, ec);
    for (const auto& c : tempCompanions) {
      fs::remove(c, ec);
    }
    return imgx::kWriteError;
  }
  for (std::size_t i = 0; i < tempCompanions.size(); ++i) {
    if (Exists(tempCompanions[i])) {
      fs::rename(tempCompanions[i], finalCompanions[i], ec);
    }
  }
  return 0;
}

}  // namespace km
