#include "batch/SkipExisting.h"

#include <filesystem>
#include <system_error>

namespace km {

namespace fs = std::filesystem;

bool OutputIsCurrent(const std::string& input, const std::string& output) {
  std::error_code ec;
  if (!fs::is_regular_file(output, ec) || ec) {
    return false;
  }
  const fs::file_time_type written = fs::last_write_time(output, ec);
  if (ec) {
    return false;
  }
  const fs::file_time_type changed = fs::last_write_time(input, ec);
  if (ec) {
    return false;
  }
  return written > changed;
}

}  // namespace km
