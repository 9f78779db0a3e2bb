#include "common/UserFolders.h"

#include <cstdlib>
#include <filesystem>

namespace km {

std::string UserBaseFolder(const char* variable, const char* underHome) {
  const char* value = std::getenv(variable);
  if (value != nullptr && value[0] == '/') {
    return value;
  }
  const char* home = std::getenv("HOME");
  const std::filesystem::path base = home != nullptr && home[0] != '\0' ? home : "/tmp";
  return (base / underHome).string();
}

}  // namespace km
