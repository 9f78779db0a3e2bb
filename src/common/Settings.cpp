#include "common/Settings.h"

#include <cstdlib>

namespace km::settings {

std::string DefaultFolder() {
  const char* home = std::getenv("HOME");
  return home && *home ? std::string(home) : std::string("/");
}

}  // namespace km::settings
