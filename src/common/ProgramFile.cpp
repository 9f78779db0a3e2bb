#include "common/ProgramFile.h"

#include <filesystem>
#include <system_error>

namespace km {

std::string ProgramFilePath(const std::string& name) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  const fs::path folder = ec ? fs::current_path(ec) : exe.parent_path();
  const fs::path beside = folder / name;
  if (fs::exists(beside, ec)) {
    return beside.string();
  }
  const fs::path installed = folder / ".." / "share" / "kilnmark" / name;
  if (fs::exists(installed, ec)) {
    return installed.lexically_normal().string();
  }
  return beside.string();
}

}  // namespace km
