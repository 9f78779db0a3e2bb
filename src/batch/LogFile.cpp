#include "batch/LogFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "common/SystemError.h"
#include "common/UserFolders.h"

namespace km {

namespace fs = std::filesystem;

namespace {

bool WriteLines(std::FILE* f, const std::vector<std::string>& lines, std::size_t from) {
  bool ok = true;
  for (std::size_t i = from; ok && i < lines.size(); ++i) {
    const std::string& line = lines[i];
    ok = std::fwrite(line.data(), 1, line.size(), f) == line.size() && std::fwrite("\r\n", 1, 2, f) == 2;
  }
  return ok;
}

}  // namespace

bool SaveLogFile(const std::string& path, const std::vector<std::string>& lines, std::string* reason) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    if (reason != nullptr) {
      *reason = SystemErrorText(errno);
    }
    return false;
  }
  bool ok = WriteLines(f, lines, 0);
  const int err = errno;
  ok = std::fclose(f) == 0 && ok;
  if (!ok && reason != nullptr) {
    *reason = SystemErrorText(err);
  }
  return ok;
}

bool AppendLogFile(const std::string& path, const std::vector<std::string>& lines, std::size_t from) {
  std::FILE* f = std::fopen(path.c_str(), "ab");
  if (f == nullptr) {
    return false;
  }
  const bool ok = WriteLines(f, lines, from);
  return std::fclose(f) == 0 && ok;
}

std::string CurrentLogPath() {
  const fs::path folder = fs::path(UserBaseFolder("XDG_STATE_HOME", ".local/state")) / "kilnmark";
  std::error_code ec;
  fs::create_directories(folder, ec);
  return (folder / "CURRENT.LOG").string();
}

}  // namespace km
